// A database file in a fresh temporary folder, with helpers to run
// statements and read single values.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/QueryScript.h"
#include "engine/Engine.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"

namespace enginetest {

inline std::string jetText(const std::string& path, const std::string& password = "") {
    return engine::DatabaseConnectionText(engine::kJetProvider, path, password);
}

// What the sqlite3 program, run on its own, prints for a query on the file:
// the values as stored, not as the engine presents them.
inline std::string sqliteAnswer(const std::string& path, const std::string& query) {
    const std::string command = "sqlite3 -readonly '" + path + "' \"" + query + "\" 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "(sqlite3 did not start)";
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

class EngineFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = folder_.Folder() + "test.mdb";
        engine::CreateDatabase(path_);
        conn_ = engine::Connection::create();
        conn_->Open(jetText(path_));
    }

    long exec(const std::string& sql) {
        engine::Variant affected;
        conn_->Execute(sql, &affected, -1);
        return static_cast<long>(affected.intValue());
    }

    // The first column of the first row.
    engine::Variant value(const std::string& sql) {
        auto rs = conn_->Execute(sql, nullptr, -1);
        if (rs->IsEOF()) return engine::Variant();
        return rs->Collect(0L);
    }

    // Runs a statement expected to be refused; returns the error.
    engine::ComError refused(const std::string& sql) {
        try {
            conn_->Execute(sql, nullptr, -1);
        } catch (const engine::ComError& e) {
            return e;
        }
        ADD_FAILURE() << "not refused: " << sql;
        return engine::ComError(0, std::nullopt, std::nullopt);
    }

    // Runs a script file split as the query console splits it.
    void runScript(const std::string& file) {
        const std::string text = testsupport::ReadFileBytes(file);
        ASSERT_FALSE(text.empty()) << file;
        auto split = console::SplitQueries(console::SplitLines(text));
        ASSERT_EQ(split.status, console::SplitStatus::kOk);
        conn_->BeginTrans();
        for (const auto& st : split.statements) {
            try {
                conn_->Execute(st.text, nullptr, -1);
            } catch (const engine::ComError& e) {
                FAIL() << "line " << st.lineNumber << ": " << e.what() << "\n" << st.text;
            }
        }
        conn_->CommitTrans();
    }

    testsupport::TempFolder folder_;
    std::string path_;
    std::shared_ptr<engine::Connection> conn_;
};

}  // namespace enginetest
