// Every file the program creates, watched from outside with strace: each
// one is created exclusively or without following a symbolic link, so a
// link that a local user plants in a shared folder can never redirect a
// write. Links planted at every name the program can be expected to use
// are passed over and their targets stay untouched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "UpdateFixture.h"
#include "WriteLockHolder.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr const char* kStrace = "/usr/bin/strace";
constexpr const char* kVictimBytes = "a file some other user owns";

// The creating calls of a trace that neither refuse an existing name nor
// refuse to follow a link; `creations` counts every creating call, so a
// trace that saw nothing cannot pass for a clean one.
std::vector<std::string> UnsafeCreations(const std::string& trace, int& creations) {
    std::vector<std::string> unsafe;
    std::istringstream lines(trace);
    static const std::regex creating(R"((open|openat)\(.*O_CREAT)");
    for (std::string line; std::getline(lines, line);) {
        if (line.find("creat(") != std::string::npos && line.find("O_") == std::string::npos) {
            ++creations;
            unsafe.push_back(line);  // creat(2) follows links
            continue;
        }
        if (!std::regex_search(line, creating)) continue;
        ++creations;
        if (line.find("O_EXCL") != std::string::npos ||
            line.find("O_NOFOLLOW") != std::string::npos)
            continue;
        unsafe.push_back(line);
    }
    return unsafe;
}

class FileCreationAudit : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kStrace))
            << "strace is not installed; scripts/install-deps installs it";
        database_ = folder_.Folder() + "host.mdb";
        fs::copy_file(updatetest::PristineSample(), database_);
        victim_ = (victimFolder_.Path() / "victim").string();
        testsupport::WriteFileBytes(victim_, kVictimBytes);
        environment_ = {"HOME=" + home_.Folder(), "XDG_STATE_HOME=" + home_.Folder() + "state",
                        "XDG_CONFIG_HOME=" + home_.Folder() + "config",
                        "XDG_CACHE_HOME=" + home_.Folder() + "cache", "TMPDIR=" + home_.Folder()};
    }

    void PlantLink(const fs::path& at) {
        fs::create_directories(at.parent_path());
        fs::create_symlink(victim_, at);
    }

    testsupport::ProcessResult Traced(const std::vector<std::string>& arguments) {
        const std::string trace = home_.Folder() + "trace-" + std::to_string(++runs_);
        std::vector<std::string> command = {kStrace,
                                            "-f",
                                            "-qq",
                                            "-e",
                                            "trace=open,openat,creat",
                                            "-o",
                                            trace,
                                            VANTOLY_PATCH_BINARY};
        command.insert(command.end(), arguments.begin(), arguments.end());
        testsupport::ProcessOptions options;
        options.environment = environment_;
        // LeakSanitizer cannot stop the threads of a traced process and ends
        // the run with an error of its own; the program's leaks are checked
        // by every untraced run instead.
        const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
        options.environment.push_back(
            "ASAN_OPTIONS=" +
            (sanitizerOptions ? std::string(sanitizerOptions) + ":" : std::string()) +
            "detect_leaks=0");
        const testsupport::ProcessResult run = testsupport::RunProcess(command, options);
        int creations = 0;
        for (const std::string& line :
             UnsafeCreations(testsupport::ReadFileBytes(trace), creations)) {
            ADD_FAILURE() << "created without O_EXCL or O_NOFOLLOW: " << line;
        }
        // Every run takes the one-instance lock at least, a file it creates.
        EXPECT_GT(creations, 0) << "strace saw no file created by " << arguments.back() << ": "
                                << run.err;
        return run;
    }

    testsupport::TempFolder folder_, victimFolder_, home_;
    std::string database_, victim_;
    std::vector<std::string> environment_;
    int runs_ = 0;
};

// A failed update writes the backup copy and an error log; two restores
// write staging copies, records and kept files; the export writes a
// workbook; query --create makes a database.
TEST_F(FileCreationAudit, EveryFileIsCreatedSafely) {
    const fs::path folder = folder_.Path();
    // The names a run uses that a local user can know in advance.
    PlantLink(folder / ".host.mdb.restoring");
    const fs::path out = home_.Path() / "out";

    {
        WriteLockHolder lock(database_);
        const testsupport::ProcessResult failed = Traced({"--db", database_, "--yes", "update"});
        EXPECT_EQ(failed.exitStatus, 1) << failed.err;
    }
    EXPECT_FALSE(fs::is_empty(folder / "DBErr"));
    // The staging name of the restore, now that the backup exists.
    PlantLink(folder / "hostver_1_25backup.mdb");
    for (int restore = 0; restore < 2; ++restore) {
        const testsupport::ProcessResult restored = Traced({"--db", database_, "--yes", "restore"});
        EXPECT_EQ(restored.exitStatus, restore == 0 ? 1 : 0) << restored.err;
        if (restore == 0) {
            // The record name is taken by a link: refused, nothing changed.
            fs::remove(folder / ".host.mdb.restoring");
        }
    }
    const testsupport::ProcessResult exported =
        Traced({"--db", database_, "export-spec", out.string()});
    EXPECT_EQ(exported.exitStatus, 0) << exported.err;
    const std::string script = home_.Folder() + "create.sql";
    testsupport::WriteFileBytes(script, "CREATE TABLE t (id LONG);\n");
    const testsupport::ProcessResult created =
        Traced({"--db", folder_.Folder() + "new.mdb", "query", "--create", "-f", script});
    EXPECT_EQ(created.exitStatus, 0) << created.err;
    EXPECT_EQ(testsupport::ReadFileBytes(victim_), kVictimBytes);
}

}  // namespace
}  // namespace reliability
