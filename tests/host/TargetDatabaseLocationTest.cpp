#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/TargetDatabaseLocation.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeRegistry.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

namespace {

using host::kDatabaseKey;
using host::TargetDatabase;

class FakeLocationWindow : public host::LocationWindow {
  public:
    void SetWindowTitle(const std::string& title) override { Title = title; }
    void EnableUpdateButton() override { UpdateButtonEnabled = true; }
    void ShowVersionText(const std::string& versionText) override { VersionText = versionText; }
    void RefreshControlState(db::ControlState state) override { StatesRefreshed.push_back(state); }
    void ShowLocationFields(const TargetDatabase& record) override {
        ShownFields = record.PathName + "|" + record.FileName + "|" + record.Extension;
    }

    std::optional<std::string> Title;
    bool UpdateButtonEnabled = false;
    std::optional<std::string> VersionText;
    std::vector<db::ControlState> StatesRefreshed;
    std::optional<std::string> ShownFields;  // "PathName|FileName|Extension"
};

void MakeDatabase(const std::string& path, const std::string& password = "") {
    testsupport::MakeVersionDatabase(path, password);
}

// What is on disk in the folder, what the registry holds, and what the
// window and record show afterwards. "<dir>" in a value stands for the
// test's folder.
struct LocationCase {
    const char* name;
    std::vector<std::string> databases;   // files made as real databases
    std::vector<std::string> otherFiles;  // files that are not databases
    bool keyPresent;
    std::optional<std::string> fileName, pathName, password;
    std::string expectedTitle;
    std::optional<std::string> expectedFields;
    std::string expectedExtension;
    bool connected;

    friend void PrintTo(const LocationCase& c, std::ostream* out) { *out << c.name; }
};

const char kConnectedTitle[] = "データベース更新(2020/05/24)";

std::vector<LocationCase> Cases() {
    using std::nullopt;
    return {
        {"mdbFoundAndOpened",
         {"Toll.mdb"},
         {},
         true,
         "Toll",
         "<dir>",
         "",
         kConnectedTitle,
         "<dir>|Toll|.mdb",
         ".mdb",
         true},
        {"accdbWhenNoMdb",
         {"Toll.accdb"},
         {},
         true,
         "Toll",
         "<dir>",
         "",
         kConnectedTitle,
         "<dir>|Toll|.accdb",
         ".accdb",
         true},
        {"mdbChosenWhenBothExist",
         {"Toll.mdb", "Toll.accdb"},
         {},
         true,
         "Toll",
         "<dir>",
         "",
         kConnectedTitle,
         "<dir>|Toll|.mdb",
         ".mdb",
         true},
        {"neitherFile",
         {"Other.mdb"},
         {},
         true,
         "Toll",
         "<dir>",
         "",
         host::kNoDatabaseTitle,
         nullopt,
         ".accdb",
         false},
        {"pathWithoutTrailingSlash",
         {"Toll.mdb"},
         {},
         true,
         "Toll",
         "<dir-no-slash>",
         "",
         host::kNoDatabaseTitle,
         nullopt,
         ".accdb",
         false},
        {"missingFileNameLooksForDotMdb",
         {".mdb"},
         {},
         true,
         nullopt,
         "<dir>",
         nullopt,
         kConnectedTitle,
         "<dir>||.mdb",
         ".mdb",
         true},
        {"fileThatIsNoDatabase",
         {},
         {"Toll.mdb"},
         true,
         "Toll",
         "<dir>",
         "",
         "データベース接続に失敗しました - 対象DB名 ･･･ Toll.mdb",
         "<dir>|Toll|.mdb",
         ".mdb",
         false},
        {"wrongPassword",
         {"Toll.mdb:secret"},
         {},
         true,
         "Toll",
         "<dir>",
         "guess",
         "データベース接続に失敗しました - 対象DB名 ･･･ Toll.mdb",
         "<dir>|Toll|.mdb",
         ".mdb",
         false},
        {"rightPassword",
         {"Toll.mdb:it's"},
         {},
         true,
         "Toll",
         "<dir>",
         "it's",
         kConnectedTitle,
         "<dir>|Toll|.mdb",
         ".mdb",
         true},
        {"noKey",
         {"Toll.mdb"},
         {},
         false,
         nullopt,
         nullopt,
         nullopt,
         host::kNoDatabaseTitle,
         nullopt,
         ".accdb",
         false},
    };
}

class LocationCases : public ::testing::TestWithParam<LocationCase> {
  protected:
    std::string Expand(std::string text) const {
        for (const auto& [marker, value] :
             {std::pair<std::string, std::string>{"<dir-no-slash>", folder_.Path().string()},
              {"<dir>", folder_.Folder()}}) {
            for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker)) {
                text.replace(at, marker.size(), value);
            }
        }
        return text;
    }

    testsupport::TempFolder folder_;
};

TEST_P(LocationCases, ShowsWhatWasFound) {
    const LocationCase& c = GetParam();
    for (const std::string& spec : c.databases) {
        const auto colon = spec.find(':');
        MakeDatabase(folder_.Folder() + spec.substr(0, colon),
                     colon == std::string::npos ? "" : spec.substr(colon + 1));
    }
    for (const std::string& name : c.otherFiles)
        std::ofstream(folder_.Folder() + name) << "not a database";

    testsupport::FakeRegistry registry;
    if (c.keyPresent) registry.Keys.insert(kDatabaseKey);
    if (c.fileName) registry.SetValue(kDatabaseKey, "FileName", *c.fileName);
    if (c.pathName) registry.SetValue(kDatabaseKey, "PathName", Expand(*c.pathName));
    if (c.password) registry.SetValue(kDatabaseKey, "Password", *c.password);

    FakeLocationWindow window;
    testsupport::FakeMessageBoxes boxes;
    db::DatabaseSession session(window, boxes, {"VantolyPatch", "2020/05/24"});
    TargetDatabase record;
    host::LoadTargetDatabaseLocation(record, registry, session, window);

    EXPECT_EQ(window.Title, c.expectedTitle);
    EXPECT_EQ(window.ShownFields,
              c.expectedFields ? std::optional(Expand(*c.expectedFields)) : std::nullopt);
    EXPECT_EQ(record.Extension, c.expectedExtension);
    EXPECT_EQ(session.Connected(), c.connected);
    EXPECT_EQ(window.UpdateButtonEnabled, c.connected);
    EXPECT_EQ(window.VersionText,
              c.connected ? std::optional<std::string>("ver.1.25") : std::nullopt);
    EXPECT_TRUE(boxes.Shown().empty()) << boxes.Shown().front().text;
    if (!c.connected) {
        EXPECT_EQ(window.StatesRefreshed, std::vector{db::ControlState::Idle});
    }
    if (c.keyPresent) {
        using Read = std::pair<std::string, std::string>;
        EXPECT_EQ(registry.Reads, (std::vector<Read>{{kDatabaseKey, "FileName"},
                                                     {kDatabaseKey, "PathName"},
                                                     {kDatabaseKey, "Password"}}));
        EXPECT_EQ(record.Password, c.password.value_or(""));
    } else {
        EXPECT_TRUE(registry.Reads.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Location, LocationCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// With no registry entry the names are relative: a ".mdb" in the working
// folder is found.
TEST(TargetDatabaseLocationTest, AbsentKeyProbesTheWorkingFolder) {
    testsupport::TempFolder folder;
    MakeDatabase(folder.Folder() + ".mdb");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    testsupport::FakeRegistry registry;
    FakeLocationWindow window;
    testsupport::FakeMessageBoxes boxes;
    db::DatabaseSession session(window, boxes, {"VantolyPatch", "2020/05/24"});
    TargetDatabase record;
    host::LoadTargetDatabaseLocation(record, registry, session, window);
    std::filesystem::current_path(previous);
    EXPECT_EQ(window.ShownFields, "||.mdb");
    EXPECT_TRUE(session.Connected());
}

}  // namespace
