// A copy of the sample host database (version 1.25) in a fresh folder, the
// session opened on it, and the update wired to fakes, for each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "UpdateFakes.h"
#include "console/QueryScript.h"
#include "db/DatabaseSession.h"
#include "db/VariantToText.h"
#include "engine/Engine.h"
#include "host/TargetDatabase.h"
#include "support/FakeCursor.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeMessagePump.h"
#include "support/SampleDatabase.h"
#include "support/TempFolder.h"
#include "update/UpdateDriver.h"
#include "update/UpdateScriptRunner.h"
#include "update/Version126Script.h"
#include "update/VersionFacts.h"

namespace updatetest {

inline const std::string kApplicationTitle = "VantolyPatch";
inline const std::string kReleaseDate(update::kReleaseDate);

inline std::string JetConnectionText(const std::string& path, const std::string& password = "") {
    return engine::DatabaseConnectionText(engine::kJetProvider, path, password);
}

using testsupport::BuildSampleDatabase;

// The sample built once per test program and copied for each test.
inline const std::string& PristineSample() {
    static testsupport::TempFolder folder;
    static const std::string path = [] {
        std::string built = folder.Folder() + "sample.mdb";
        BuildSampleDatabase(built);
        return built;
    }();
    return path;
}

// Everything a test can compare of a database: each user table's columns,
// keys, indexes and rows, leaving out the values of the time-stamp columns.
inline std::string DumpDatabase(const std::string& path, const std::string& password = "") {
    std::ostringstream dump;
    auto catalog = engine::Catalog::create();
    catalog->putActiveConnection(JetConnectionText(path, password));
    auto connection = engine::Connection::create();
    connection->Open(JetConnectionText(path, password));
    const auto& tables = catalog->Tables();
    for (long t = 0; t < tables.Count(); ++t) {
        auto table = tables.Item(t);
        if (table->Type() != "TABLE") continue;
        dump << "TABLE " << table->Name() << "\n";
        for (long c = 0; c < table->Columns().Count(); ++c) {
            auto column = table->Columns().Item(c);
            dump << "  column " << column->Name() << " " << column->Type() << " "
                 << column->DefinedSize() << " " << column->Attributes() << " "
                 << column->defaultValue.value_or("-") << (column->autoIncrement ? " auto" : "")
                 << "\n";
        }
        for (long k = 0; k < table->Keys().Count(); ++k) {
            auto key = table->Keys().Item(k);
            dump << "  key " << key->Name() << " " << key->Type() << " " << key->RelatedTable();
            for (long c = 0; c < key->Columns().Count(); ++c) {
                dump << " " << key->Columns().Item(c)->Name() << ">"
                     << key->Columns().Item(c)->RelatedColumn();
            }
            dump << "\n";
        }
        for (long i = 0; i < table->Indexes().Count(); ++i) {
            auto index = table->Indexes().Item(i);
            dump << "  index " << index->Name() << (index->Unique() ? " U" : "")
                 << (index->PrimaryKey() ? " P" : "");
            for (long c = 0; c < index->Columns().Count(); ++c)
                dump << " " << index->Columns().Item(c)->Name();
            dump << "\n";
        }
        auto rows = connection->Execute("SELECT * FROM [" + table->Name() + "]", nullptr, -1);
        auto fields = rows->GetFields();
        for (; !rows->IsEOF(); rows->MoveNext()) {
            dump << "  row";
            for (long f = 0; f < fields->Count(); ++f) {
                const std::string name = fields->Item(f).Name();
                const bool stamp = name == "CreateDateTime" || name == "UpdateDateTime";
                dump << " " << name << "=" << (stamp ? "*" : db::VariantToText(rows->Collect(f)));
            }
            dump << "\n";
        }
    }
    return dump.str();
}

class UpdateFixture : public ::testing::Test {
  protected:
    UpdateFixture() {
        target_.PathName = folder_.Folder();
        target_.FileName = "host";
        target_.Extension = ".mdb";
    }

    void SetUp() override { std::filesystem::copy_file(PristineSample(), target_.FilePath()); }

    void OpenSession() {
        session_.SetPassword(target_.Password);
        session_.OpenDatabase(target_.PathName, target_.FileName, target_.Extension);
        ASSERT_TRUE(session_.Connected()) << session_.LastOpenErrorText().value_or("");
        boxes_.Clear();
        window_.States.clear();
    }

    // Runs a statement on a connection of the test's own.
    void Exec(const std::string& sql) {
        auto connection = engine::Connection::create();
        connection->Open(JetConnectionText(target_.FilePath(), target_.Password));
        connection->Execute(sql, nullptr, -1);
        connection->Close();
    }

    // The first column of the first row, as text; "EOF" when there is no row.
    std::string Value(const std::string& sql) {
        auto connection = engine::Connection::create();
        connection->Open(JetConnectionText(target_.FilePath(), target_.Password));
        auto rows = connection->Execute(sql, nullptr, -1);
        return rows->IsEOF() ? "EOF" : db::VariantToText(rows->Collect(0L));
    }

    // Presses the update button with Yes to the last confirmation.
    void PressUpdate() {
        boxes_.ScriptAnswers({platform::MessageAnswer::Yes});
        driver_.OnUpdateCommand();
    }

    std::string Dump() { return DumpDatabase(target_.FilePath(), target_.Password); }

    std::vector<std::string> ShownTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes_.Shown()) texts.push_back(box.text);
        return texts;
    }

    static update::UpdateTexts Texts() { return {kApplicationTitle, kReleaseDate}; }

    testsupport::TempFolder folder_;
    host::TargetDatabase target_;
    FakeMainWindow window_;
    testsupport::FakeMessageBoxes boxes_;
    testsupport::FakeCursor cursor_;
    testsupport::FakeMessagePump pump_;
    db::DatabaseSession session_{window_, boxes_, {kApplicationTitle, kReleaseDate}};
    update::UpdateScriptRunner runner_{
        window_, window_, session_, target_, {boxes_, cursor_, pump_}, Texts()};
    update::UpdateDriver driver_{window_, window_, session_, runner_, boxes_, Texts()};
};

}  // namespace updatetest
