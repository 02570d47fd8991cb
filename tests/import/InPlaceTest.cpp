// import without paths: the registry's genuine Access database converted in
// place by the real program, the genuine file kept beside it byte for byte.
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "import/ImportSupport.h"

namespace {

using namespace importtest;

// A registry export naming FOLDER/host.mdb, and a copy of a genuine file there.
class InPlaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::WriteFileBytes(folder.Path() / "host.mdb", genuine);
        ::chmod((folder.Path() / "host.mdb").c_str(), 0640);
        testsupport::WriteFileBytes(registry,
                                    "Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]\r\n"
                                    "\"FileName\"=\"host\"\r\n\"PathName\"=\"" +
                                        folder.Folder() + "\"\r\n\"Password\"=\"\"\r\n");
    }
    testsupport::ProcessResult Run(const std::vector<std::string>& arguments) {
        testsupport::ProcessOptions options;
        options.environment = {"VANTOLY_REGISTRY=" + registry.string()};
        return RunPatch(arguments, options);
    }

    const std::string genuine = testsupport::ReadFileBytes(Genuine("indexTestV2003.mdb"));
    testsupport::TempFolder folder;
    testsupport::TempFolder registryFolder;
    const fs::path registry = registryFolder.Path() / "registry.reg";
};

TEST_F(InPlaceTest, ConvertsAfterYesAndKeepsTheGenuineFile) {
    const auto declined = Run({"import"});
    EXPECT_EQ(declined.exitStatus, 1);
    EXPECT_NE(declined.err.find("is a genuine Access database"), std::string::npos) << declined.err;
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "host.mdb"), genuine);

    const auto converted = Run({"--yes", "import"});
    ASSERT_EQ(converted.exitStatus, 0) << converted.out << converted.err;
    const fs::path kept = folder.Path() / "host.access-original.mdb";
    EXPECT_NE(converted.out.find("kept unchanged as " + kept.string()), std::string::npos)
        << converted.out;
    EXPECT_EQ(testsupport::ReadFileBytes(kept), genuine);
    struct stat info {};
    ASSERT_EQ(::stat((folder.Path() / "host.mdb").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // The working name now opens as a database of this program, with the rows.
    const auto status = Run({"status"});
    EXPECT_EQ(status.exitStatus, 0) << status.err;
    testsupport::ProcessOptions options;
    options.input = "SELECT COUNT(*) FROM Table1;\n";
    const auto rows = RunPatch({"--db", (folder.Path() / "host.mdb").string(), "query"}, options);
    EXPECT_NE(rows.out.find("4"), std::string::npos) << rows.out << rows.err;

    // A second run finds nothing genuine to convert and changes nothing.
    const std::string after = testsupport::ReadFileBytes(folder.Path() / "host.mdb");
    const auto again = Run({"--yes", "import"});
    EXPECT_EQ(again.exitStatus, 1);
    EXPECT_NE(again.err.find("not a genuine Access file"), std::string::npos) << again.err;
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "host.mdb"), after);
    EXPECT_EQ(testsupport::ReadFileBytes(kept), genuine);
}

TEST_F(InPlaceTest, AnEarlierKeptOriginalIsNeverOverwritten) {
    testsupport::WriteFileBytes(folder.Path() / "host.access-original.mdb",
                                "kept from an earlier run");
    const auto converted = Run({"--yes", "import"});
    ASSERT_EQ(converted.exitStatus, 0) << converted.out << converted.err;
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "host.access-original.mdb"),
              "kept from an earlier run");
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "host.access-original-2.mdb"), genuine);
    EXPECT_NE(converted.out.find("host.access-original-2.mdb"), std::string::npos) << converted.out;
}

TEST_F(InPlaceTest, AFullDiskLeavesTheGenuineFileInPlace) {
    testsupport::ProcessOptions options;
    options.environment = {"VANTOLY_REGISTRY=" + registry.string()};
    options.fileSizeLimit = 16384;
    const auto run = RunPatch({"--yes", "import"}, options);
    EXPECT_EQ(run.exitStatus, 1) << run.out;
    EXPECT_NE(run.err.find("Nothing was left there"), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "host.mdb"), genuine);
    for (const auto& name : FolderEntries(folder.Path())) {
        EXPECT_TRUE(name == "host.mdb" || name.rfind("データベース", 0) == 0)
            << "left behind: " << name;
    }
}

// --json: one object on standard output for every way an import ends, read
// by Qt's JSON parser; the table lines go to standard error.
TEST_F(InPlaceTest, JsonReportsEveryOutcome) {
    const fs::path dest = folder.Path() / "new.mdb";
    const fs::path text = folder.Path() / "notes.txt";
    testsupport::WriteFileBytes(text, "not a database\n");
    struct Case {
        std::vector<std::string> arguments;
        int exitStatus;
        const char* outcome;
    } cases[] = {
        {{"--json", "import", Genuine("indexTestV2003.mdb").string(), dest.string()},
         0,
         "imported"},
        {{"--json", "import", Genuine("indexTestV2003.mdb").string(), dest.string()}, 2, "refused"},
        {{"--json", "import", text.string(), (folder.Path() / "other.mdb").string()}, 1, "failed"},
        {{"--json", "import"}, 1, "declined"},
        {{"--yes", "--json", "import"}, 0, "imported"},
        {{"--yes", "--json", "import"}, 1, "refused"},  // converted already: nothing to convert
    };
    for (const Case& c : cases) {
        const auto run = Run(c.arguments);
        const std::string label = c.outcome + std::string(" ") + std::to_string(c.exitStatus);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << label << "\n" << run.err;
        QJsonParseError error;
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << label << ": " << run.out;
        const QJsonObject report = document.object();
        EXPECT_EQ(report.value("version").toInt(), 1) << label;
        EXPECT_EQ(report.value("command").toString(), "import") << label;
        EXPECT_EQ(report.value("outcome").toString().toStdString(), c.outcome) << label;
        const bool failed =
            std::string(c.outcome) == "refused" || std::string(c.outcome) == "failed";
        EXPECT_EQ(report.value("error").isNull(), !failed) << label;
        if (c.exitStatus == 0) {
            EXPECT_EQ(report.value("tables").toArray().size(), 3) << label;
            EXPECT_EQ(report.value("rows").toInt(), 11) << label;
        }
    }
    EXPECT_TRUE(fs::exists(folder.Path() / "host.access-original.mdb"));
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "host.access-original.mdb"), genuine);
}

}  // namespace
