// import without paths: the registry's genuine Access database converted in
// place by the real program, the genuine file kept beside it byte for byte.
#include <sys/stat.h>

#include "import/ImportSupport.h"

namespace {

using namespace importtest;
using reliability::ReadFile;
using reliability::WriteFile;

// A registry export naming FOLDER/host.mdb, and a copy of a genuine file there.
class InPlaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(folder.Path() / "host.mdb", genuine);
        ::chmod((folder.Path() / "host.mdb").c_str(), 0640);
        WriteFile(registry,
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]\r\n"
                  "\"FileName\"=\"host\"\r\n\"PathName\"=\"" +
                      folder.Folder() + "\"\r\n\"Password\"=\"\"\r\n");
    }
    reliability::ProcessResult Run(const std::vector<std::string>& arguments) {
        reliability::ProcessOptions options;
        options.environment = {"VANTOLY_REGISTRY=" + registry.string()};
        return RunPatch(arguments, options);
    }

    const std::string genuine = ReadFile(Genuine("indexTestV2003.mdb"));
    testsupport::TempFolder folder;
    testsupport::TempFolder registryFolder;
    const fs::path registry = registryFolder.Path() / "registry.reg";
};

TEST_F(InPlaceTest, ConvertsAfterYesAndKeepsTheGenuineFile) {
    const auto declined = Run({"import"});
    EXPECT_EQ(declined.exitStatus, 1);
    EXPECT_NE(declined.err.find("is a genuine Access database"), std::string::npos) << declined.err;
    EXPECT_EQ(ReadFile(folder.Path() / "host.mdb"), genuine);

    const auto converted = Run({"--yes", "import"});
    ASSERT_EQ(converted.exitStatus, 0) << converted.out << converted.err;
    const fs::path kept = folder.Path() / "host.access-original.mdb";
    EXPECT_NE(converted.out.find("kept unchanged as " + kept.string()), std::string::npos)
        << converted.out;
    EXPECT_EQ(ReadFile(kept), genuine);
    struct stat info {};
    ASSERT_EQ(::stat((folder.Path() / "host.mdb").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // The working name now opens as a database of this program, with the rows.
    const auto status = Run({"status"});
    EXPECT_EQ(status.exitStatus, 0) << status.err;
    reliability::ProcessOptions options;
    options.input = "SELECT COUNT(*) FROM Table1;\n";
    const auto rows = RunPatch({"--db", (folder.Path() / "host.mdb").string(), "query"}, options);
    EXPECT_NE(rows.out.find("4"), std::string::npos) << rows.out << rows.err;

    // A second run finds nothing genuine to convert and changes nothing.
    const std::string after = ReadFile(folder.Path() / "host.mdb");
    const auto again = Run({"--yes", "import"});
    EXPECT_EQ(again.exitStatus, 1);
    EXPECT_NE(again.err.find("not a genuine Access file"), std::string::npos) << again.err;
    EXPECT_EQ(ReadFile(folder.Path() / "host.mdb"), after);
    EXPECT_EQ(ReadFile(kept), genuine);
}

TEST_F(InPlaceTest, AnEarlierKeptOriginalIsNeverOverwritten) {
    WriteFile(folder.Path() / "host.access-original.mdb", "kept from an earlier run");
    const auto converted = Run({"--yes", "import"});
    ASSERT_EQ(converted.exitStatus, 0) << converted.out << converted.err;
    EXPECT_EQ(ReadFile(folder.Path() / "host.access-original.mdb"), "kept from an earlier run");
    EXPECT_EQ(ReadFile(folder.Path() / "host.access-original-2.mdb"), genuine);
    EXPECT_NE(converted.out.find("host.access-original-2.mdb"), std::string::npos) << converted.out;
}

TEST_F(InPlaceTest, AFullDiskLeavesTheGenuineFileInPlace) {
    reliability::ProcessOptions options;
    options.environment = {"VANTOLY_REGISTRY=" + registry.string()};
    options.fileSizeLimit = 16384;
    const auto run = RunPatch({"--yes", "import"}, options);
    EXPECT_EQ(run.exitStatus, 1) << run.out;
    EXPECT_NE(run.err.find("Nothing was left there"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(folder.Path() / "host.mdb"), genuine);
    for (const auto& name : FolderEntries(folder.Path())) {
        EXPECT_TRUE(name == "host.mdb" || name.rfind("データベース", 0) == 0)
            << "left behind: " << name;
    }
}

}  // namespace
