// No file the program writes holds a database password given to it: the
// program runs with a home, state, configuration and runtime folder of its
// own, sets and changes a password through the query command, fails a
// statement that names passwords, and fails an update (error log, backup);
// then every file under those folders, the database and its backup among
// them, is searched for the passwords' text.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ChildProcess.h"
#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using namespace apptest;

constexpr const char* kFirst = "Leak1-Probe-Alpha";
constexpr const char* kSecond = "Leak2-Probe-Bravo";
constexpr const char* kGuess = "Leak3-Probe-Charlie";

// Another program's write transaction on the database, held until the
// object goes: the update fails on its first write.
class SqliteWriteLock {
  public:
    explicit SqliteWriteLock(const std::string& database)
        : shell_(
              {"/bin/sh", "-c",
               "{ echo 'BEGIN IMMEDIATE;'; echo \"SELECT 'locked';\"; cat; } | /usr/bin/sqlite3 '" +
                   database + "'"}) {}
    bool Held() { return shell_.ReadLine(std::chrono::seconds(20)) == "locked"; }

  private:
    testsupport::ChildProcess shell_;
};

TEST(PasswordLeak, NoFileTheProgramWroteHoldsAPasswordGivenToIt) {
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/sqlite3"))
        << "the sqlite3 command is not installed; scripts/install-deps installs it";
    testsupport::TempFolder home;
    for (const char* folder : {"db", "state", "config", "cache", "runtime", "tmp"}) {
        std::filesystem::create_directories(home.Path() / folder);
    }
    std::filesystem::permissions(home.Path() / "runtime", std::filesystem::perms::owner_all);
    const std::string db = (home.Path() / "db" / "host.mdb").string();
    const std::vector<std::string> environment{
        "HOME=" + home.Path().string(),
        "XDG_STATE_HOME=" + (home.Path() / "state").string(),
        "XDG_CONFIG_HOME=" + (home.Path() / "config").string(),
        "XDG_CACHE_HOME=" + (home.Path() / "cache").string(),
        "XDG_RUNTIME_DIR=" + (home.Path() / "runtime").string(),
        "TMPDIR=" + (home.Path() / "tmp").string(),
        "DISPLAY=",
        "VANTOLY_PASSWORD=",
    };
    auto withPassword = [&](const std::string& password) {
        std::vector<std::string> changed = environment;
        changed.back() = std::string("VANTOLY_PASSWORD=") + password;
        return changed;
    };
    const std::string firstFile = (home.Path() / "config" / "first.txt").string();
    testsupport::WriteFileBytes(firstFile, std::string(kFirst) + "\n");
    std::vector<RunResult> runs;

    runs.push_back(
        RunPatch({"--db", db, "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"}, "",
                 environment));
    ASSERT_EQ(runs.back().exitStatus, 0) << runs.back().err;
    runs.push_back(RunPatch({"--db", db, "query"},
                            std::string("ALTER DATABASE PASSWORD [") + kFirst + "] NULL;\n",
                            environment));
    ASSERT_EQ(runs.back().exitStatus, 0) << runs.back().err;
    // A wrong old password: refused, and the refused statement is printed.
    runs.push_back(RunPatch(
        {"--db", db, "--password-file", firstFile, "query"},
        std::string("alter database password '") + kSecond + "' '" + kGuess + "';\n", environment));
    EXPECT_EQ(runs.back().exitStatus, 1) << runs.back().err;
    EXPECT_NE(runs.back().err.find("alter database password *** ***;"), std::string::npos)
        << runs.back().err;
    // A password the statement cannot take whole: the error quotes the rest of it.
    runs.push_back(
        RunPatch({"--db", db, "query"},
                 std::string("ALTER DATABASE PASSWORD \"") + kSecond + "\" " + kFirst + ";\n",
                 withPassword(kFirst)));
    EXPECT_EQ(runs.back().exitStatus, 1) << runs.back().err;
    EXPECT_NE(runs.back().err.find("Characters found after end"), std::string::npos)
        << runs.back().err;
    runs.push_back(
        RunPatch({"--db", db, "query"},
                 std::string("ALTER DATABASE PASSWORD \"") + kSecond + "\" [" + kFirst + "];\n",
                 withPassword(kFirst)));
    ASSERT_EQ(runs.back().exitStatus, 0) << runs.back().err;
    runs.push_back(
        RunPatch({"--db", db, "query"}, "SELECT COUNT(*) FROM t_db_ver;\n", withPassword(kFirst)));
    EXPECT_EQ(runs.back().exitStatus, 1) << "the old password opens the database still";
    {
        SqliteWriteLock lock(db);
        ASSERT_TRUE(lock.Held());
        runs.push_back(RunPatch({"--db", db, "--yes", "update"}, "", withPassword(kSecond)));
    }
    EXPECT_EQ(runs.back().exitStatus, 1) << runs.back().err;
    EXPECT_NE(runs.back().err.find("--- 更新エラー内容 ---"), std::string::npos) << runs.back().err;

    // The failed update left its error log and its backup: both are searched.
    int errorLogs = 0;
    bool backup = false;
    int searched = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path())) {
        if (!entry.is_regular_file() || entry.path() == firstFile) continue;
        ++searched;
        errorLogs += entry.path().parent_path().filename() == "DBErr";
        backup = backup || entry.path().filename() == "hostver_1_25backup.mdb";
        const std::string content = testsupport::ReadFileBytes(entry.path());
        for (const char* password : {kFirst, kSecond, kGuess}) {
            EXPECT_EQ(content.find(password), std::string::npos)
                << password << " in " << entry.path();
        }
    }
    EXPECT_EQ(errorLogs, 1);
    EXPECT_TRUE(backup);
    EXPECT_GE(searched, 3) << "the database, its backup and the error log at least";
    for (const RunResult& run : runs) {
        for (const char* password : {kFirst, kSecond, kGuess}) {
            EXPECT_EQ(run.out.find(password), std::string::npos) << run.out;
            EXPECT_EQ(run.err.find(password), std::string::npos) << run.err;
        }
    }
}

}  // namespace
