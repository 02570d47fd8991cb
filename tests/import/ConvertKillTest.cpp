// The conversion in place killed at every step. At every moment the genuine
// file's bytes exist exactly once, under the working name, its announced
// kept name, or (only while the record says so) the converted copy's name;
// the next command of any kind finishes or undoes the conversion and says
// which, and a conversion run afterwards ends where an undisturbed one ends.
#include <sstream>

#include "import/ImportSupport.h"
#include "support/FileContent.h"

namespace {

using namespace importtest;

class ConvertKill : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::WriteFileBytes(registry,
                                    "Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]\r\n"
                                    "\"FileName\"=\"host\"\r\n\"PathName\"=\"" +
                                        folder.Folder() + "\"\r\n\"Password\"=\"\"\r\n");
    }
    void FreshFolder() {
        fs::remove_all(folder.Path());
        fs::create_directories(folder.Path());
        testsupport::WriteFileBytes(working, genuine);
    }
    testsupport::ProcessResult Run(const std::vector<std::string>& arguments) {
        testsupport::ProcessOptions options;
        options.environment = {"VANTOLY_REGISTRY=" + registry.string()};
        return RunPatch(arguments, options);
    }
    std::vector<std::string> HoldingGenuine() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            if (entry.is_regular_file() && testsupport::ReadFileBytes(entry.path()) == genuine)
                names.push_back(entry.path().filename().string());
        }
        return names;
    }

    const std::string genuine = testsupport::ReadFileBytes(Genuine("indexTestV2003.mdb"));
    testsupport::TempFolder folder;
    testsupport::TempFolder registryFolder;
    const fs::path registry = registryFolder.Path() / "registry.reg";
    const std::string working = (folder.Path() / "host.mdb").string();
    const fs::path record = folder.Path() / ".host.mdb.converting";
};

TEST_F(ConvertKill, KilledAtEveryStepThenSettledByTheNextCommand) {
    FreshFolder();
    const testsupport::ProcessResult listed =
        testsupport::RunProcess({VANTOLY_CONVERT_KILL_DRIVER, working, "--list"});
    ASSERT_EQ(listed.exitStatus, 0) << listed.err;
    std::vector<std::string> steps;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);)
        steps.push_back(line.substr(line.find('\t') + 1));
    ASSERT_GE(steps.size(), 5u);
    const std::vector<std::string> swap(steps.end() - 4, steps.end());
    ASSERT_EQ(swap, (std::vector<std::string>{"recorded", "swapped", "kept", "done"}));

    for (std::size_t step = 1; step <= steps.size(); ++step) {
        const std::string label =
            "killed after step " + std::to_string(step) + " (" + steps[step - 1] + ")";
        FreshFolder();
        const testsupport::ProcessResult killed = testsupport::RunProcess(
            {VANTOLY_CONVERT_KILL_DRIVER, working, "--kill-at", std::to_string(step)});
        ASSERT_TRUE(killed.Killed()) << label << ": " << killed.err;
        const std::vector<std::string> holders = HoldingGenuine();
        ASSERT_EQ(holders.size(), 1u) << label;
        const bool recorded = fs::exists(record);
        EXPECT_TRUE(holders[0] == "host.mdb" || holders[0] == "host.access-original.mdb" ||
                    (recorded && holders[0] == "host.converted.mdb"))
            << label << ": the genuine file is under " << holders[0];

        // Any command settles it, and says how.
        const testsupport::ProcessResult status = Run({"status"});
        EXPECT_FALSE(fs::exists(record)) << label << ": " << status.err;
        if (recorded) {
            const bool swapped = steps[step - 1] != "recorded";
            EXPECT_NE(status.err.find(swapped ? "was finished" : "was undone"), std::string::npos)
                << label << ": " << status.err;
            if (swapped) {
                EXPECT_EQ(status.exitStatus, 0) << label << ": " << status.err;
            }
        }
        EXPECT_EQ(HoldingGenuine().size(), 1u) << label;
        EXPECT_FALSE(fs::exists(folder.Path() / "host.converted.mdb") &&
                     testsupport::ReadFileBytes(folder.Path() / "host.converted.mdb") == genuine)
            << label << ": the genuine file is still under the converted copy's name";

        // Converting again, where there is still something to convert, ends
        // as an undisturbed conversion does.
        if (testsupport::ReadFileBytes(working) == genuine) {
            const testsupport::ProcessResult again = Run({"--yes", "import"});
            EXPECT_EQ(again.exitStatus, 0) << label << ": " << again.err;
        }
        EXPECT_EQ(HoldingGenuine(), std::vector<std::string>{"host.access-original.mdb"}) << label;
        EXPECT_EQ(Run({"status"}).exitStatus, 0) << label;
        for (const std::string& name : FolderEntries(folder.Path())) {
            EXPECT_TRUE(name == "host.mdb" || name == "host.access-original.mdb" ||
                        name.rfind("データベース", 0) == 0 ||
                        (name == "host.converted.mdb" && steps[step - 1] == "table"))
                << label << ": left behind: " << name;
        }
    }
}

// The run names the genuine file's final name before the swap, and that
// name is the one it ends under.
TEST_F(ConvertKill, TheKeptNameIsAnnouncedBeforeTheSwap) {
    FreshFolder();
    const testsupport::ProcessResult run = Run({"--yes", "import"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::string kept = (folder.Path() / "host.access-original.mdb").string();
    const std::size_t announced = run.out.find("will be kept unchanged as " + kept);
    EXPECT_NE(announced, std::string::npos) << run.out;
    EXPECT_LT(announced, run.out.find("Converted ")) << run.out;
    EXPECT_EQ(testsupport::ReadFileBytes(kept), genuine);
}

// Files that no longer match the record (here the genuine file moved by
// hand after the swap): nothing is guessed, every file stays where it is,
// the record stays, and the warning says what to do.
TEST_F(ConvertKill, FilesThatNoLongerMatchTheRecordAreLeftAlone) {
    FreshFolder();
    const testsupport::ProcessResult listed =
        testsupport::RunProcess({VANTOLY_CONVERT_KILL_DRIVER, working, "--list"});
    std::size_t swappedStep = 0;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.ends_with("\tswapped")) swappedStep = std::stoul(line);
    }
    ASSERT_NE(swappedStep, 0u) << listed.out;
    FreshFolder();
    const testsupport::ProcessResult killed = testsupport::RunProcess(
        {VANTOLY_CONVERT_KILL_DRIVER, working, "--kill-at", std::to_string(swappedStep)});
    ASSERT_TRUE(killed.Killed()) << killed.err;
    fs::rename(folder.Path() / "host.converted.mdb", folder.Path() / "moved-by-hand.mdb");

    const testsupport::ProcessResult status = Run({"status"});
    EXPECT_NE(status.err.find("cannot be settled"), std::string::npos) << status.err;
    EXPECT_NE(status.err.find(record.string()), std::string::npos) << status.err;
    EXPECT_TRUE(fs::exists(record));
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "moved-by-hand.mdb"), genuine);
    EXPECT_FALSE(fs::exists(folder.Path() / "host.access-original.mdb"));
}

}  // namespace
