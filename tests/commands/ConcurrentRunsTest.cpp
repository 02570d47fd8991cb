// Two runs of the real program at once. A run that changes a database holds
// that database's lock for its whole run: here a query still reading its
// statements, or the main window. The other run is each command word in
// turn: those that change the same database are refused and told which run
// holds it, those that only read run, and any command on another database
// runs; the window's single-instance lock stops no command word.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonObject>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "JsonReportCheck.h"
#include "platform/DatabaseLock.h"
#include "support/ChildProcess.h"
#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using namespace apptest;

class ConcurrentRuns : public testing::Test {
  protected:
    void SetUp() override {
        // The window's single-instance lock is where every run here looks for it.
        fs::create_directory(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        held_ = Sample("held");
        other_ = Sample("other");
    }

    // A 1.25 sample database alone in the folder `name`.
    std::string Sample(const std::string& name) {
        fs::create_directories(folder_.Path() / name);
        const std::string path = (folder_.Path() / name / "host.mdb").string();
        const RunResult built = RunPatch(
            {"--db", path, "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"});
        EXPECT_EQ(built.exitStatus, 0) << built.err;
        return path;
    }

    // Waits until the process `pid` holds the lock of `database`: the line
    // it writes into the lock file names it. False after a minute.
    static bool WaitForHolder(const std::string& database, pid_t pid) {
        const std::string lockFile = platform::DatabaseLockPath(database);
        const std::string line = std::to_string(pid) + " ";
        for (int i = 0; i < 3000; ++i) {
            if (testsupport::ReadFileBytes(lockFile).starts_with(line)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Every command word on the held database: those that change it are
    // refused and name `holder`, the others run.
    void ExpectOnlyReadersRun(pid_t pid, const std::string& holder) {
        struct Case {
            std::vector<std::string> arguments;
            bool changes;
        };
        const std::string genuine = VANTOLY_SAMPLES_DIR "/../tests/import/data/indexTestV2003.mdb";
        const Case cases[] = {
            {{"--json", "status"}, false},
            {{"tables"}, false},
            {{"show", "t_db_ver"}, false},
            {{"create-query", "t_db_ver"}, false},
            {{"export-spec", (folder_.Path() / "spec").string()}, false},
            {{"--json", "update", "--dry-run"}, false},
            {{"--json", "--yes", "update"}, true},
            {{"--json", "--yes", "restore"}, true},
            {{"--json", "--yes", "import"}, true},
            {{"query"}, true},
        };
        for (const Case& c : cases) {
            std::vector<std::string> arguments{"--db", held_};
            arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
            SCOPED_TRACE(c.arguments.back());
            const RunResult run = Run(arguments, "SELECT 1;\n");
            if (!c.changes) {
                EXPECT_EQ(run.exitStatus, 0) << run.err;
                continue;
            }
            EXPECT_EQ(run.exitStatus, 1) << run.err;
            EXPECT_NE(run.err.find(holder + " (pid " + std::to_string(pid) + ")"),
                      std::string::npos)
                << run.err;
            if (run.out.empty()) continue;  // query has no report
            const QJsonObject report = ParseReport(run);
            EXPECT_EQ(Text(report, "outcome"), "refused");
            const QJsonObject heldBy = report.value("heldBy").toObject();
            EXPECT_EQ(heldBy.value("pid").toInt(), pid);
            EXPECT_EQ(Text(heldBy, "lockFile"), platform::DatabaseLockPath(held_));
        }
        // The import of a genuine file into the held name is refused as well.
        const RunResult import = Run({"--json", "import", genuine, held_});
        EXPECT_EQ(import.exitStatus, 1) << import.err;
        EXPECT_EQ(Text(ParseReport(import), "outcome"), "refused");

        // Another path to the same file (a link to its folder) reaches the same lock.
        const fs::path link = folder_.Path() / "link";
        fs::create_directory_symlink(fs::path(held_).parent_path(), link);
        const RunResult linked =
            Run({"--db", (link / "host.mdb").string(), "--json", "--yes", "update"});
        EXPECT_EQ(linked.exitStatus, 1) << linked.err;
        EXPECT_EQ(Text(ParseReport(linked), "outcome"), "refused");

        // A database of its own: nothing in the way.
        const RunResult other = Run({"--db", other_, "--json", "--yes", "update"});
        EXPECT_EQ(other.exitStatus, 0) << other.err;
        EXPECT_EQ(Text(ParseReport(other), "outcome"), "updated");
    }

    // The program, sharing this test's runtime folder (and so the window's
    // single-instance lock).
    RunResult Run(const std::vector<std::string>& arguments, const std::string& input = "") {
        return RunPatch(arguments, input, {"XDG_RUNTIME_DIR=" + runtime_.string()});
    }

    testsupport::TempFolder folder_;
    fs::path runtime_ = folder_.Path() / "runtime";
    std::string held_;
    std::string other_;
};

TEST_F(ConcurrentRuns, QueryHoldsItsDatabaseWhileItRuns) {
    // The query reads its statements to their end before it runs them.
    testsupport::ChildProcess query({VANTOLY_PATCH_BINARY, "--db", held_, "query"});
    ASSERT_TRUE(WaitForHolder(held_, query.Pid()));
    ExpectOnlyReadersRun(query.Pid(), "VantolyPatch query");
    query.CloseInput();  // no statements: it says so and ends
    const int status = query.Wait();
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_FALSE(fs::exists(platform::DatabaseLockPath(held_))) << "the lock file goes with it";

    // Once it has ended, the database is free for the next run that changes it.
    const RunResult update = Run({"--db", held_, "--json", "--yes", "update"});
    EXPECT_EQ(Text(ParseReport(update), "outcome"), "updated") << update.err;
}

// A command that only reads finds the record of a conversion in place: while
// a run holds the database the record is that run's, and is left alone;
// once nobody holds it, it is settled (here: refused as unreadable, saying so).
TEST_F(ConcurrentRuns, ReaderLeavesTheRecordOfAConversionToTheRunHoldingTheDatabase) {
    const std::string record = (fs::path(held_).parent_path() / ".host.mdb.converting").string();
    testsupport::WriteFileBytes(record, "not a record");
    testsupport::ChildProcess query({VANTOLY_PATCH_BINARY, "--db", held_, "query"});
    ASSERT_TRUE(WaitForHolder(held_, query.Pid()));
    const RunResult during = Run({"--db", held_, "--json", "status"});
    EXPECT_EQ(during.err.find(record), std::string::npos) << during.err;
    query.CloseInput();
    query.Wait();
    const RunResult after = Run({"--db", held_, "--json", "status"});
    EXPECT_NE(after.err.find(record), std::string::npos) << after.err;
}

TEST_F(ConcurrentRuns, WindowHoldsTheDatabaseItShows) {
    // The window holds the single-instance lock as well.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testsupport::ChildProcess window({VANTOLY_PATCH_BINARY, "--db", held_});
    ASSERT_TRUE(WaitForHolder(held_, window.Pid()));
    ExpectOnlyReadersRun(window.Pid(), "the VantolyPatch window");
    window.Signal(SIGTERM);
    const int status = window.Wait();
    EXPECT_TRUE(WIFEXITED(status)) << status;
}

}  // namespace
