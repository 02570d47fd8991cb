// The host application writes while a dry run copies a large database: the
// copy takes the read lock a few hundred pages at a time, so a writer with
// a short busy timeout never finds the database "in use", and the copy
// still comes out whole (it starts over after a write).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "UpdateFixture.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr int kBallastMegabytes = 400;  // a whole-copy lock outlasts the writer's timeout
constexpr int kWriterBusyTimeoutMs = 50;
constexpr int kWrites = 15;
constexpr int kWritePauseMs = 20;

TEST(DryRunWithAWriter, TheWriterIsNeverTurnedAway) {
    testsupport::TempFolder folder;
    const std::string database = folder.Folder() + "host.mdb";
    fs::copy_file(updatetest::PristineSample(), database);
    {
        auto connection = engine::Connection::create();
        connection->Open(updatetest::JetConnectionText(database));
        connection->Execute("CREATE TABLE ballast (b LONGBINARY)", nullptr, -1);
        connection->Execute("CREATE TABLE probe (x LONG)", nullptr, -1);
        connection->Close();
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open(database.c_str(), &handle), SQLITE_OK);
        const std::string fill =
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
            "WHERE i < " +
            std::to_string(kBallastMegabytes) +
            ") INSERT INTO ballast SELECT randomblob(1000000) FROM n;";
        ASSERT_EQ(sqlite3_exec(handle, fill.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(handle);
        sqlite3_close(handle);
    }

    // The writer: small inserts a moment apart, then quiet until told to
    // stop; its exit status is the number of writes turned away.
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::close(stop[1]);
        sqlite3* handle = nullptr;
        if (sqlite3_open(database.c_str(), &handle) != SQLITE_OK) ::_exit(100);
        sqlite3_busy_timeout(handle, kWriterBusyTimeoutMs);
        int refused = 0;
        for (int write = 0; write < kWrites; ++write) {
            if (sqlite3_exec(handle, "INSERT INTO probe VALUES (1);", nullptr, nullptr, nullptr) !=
                SQLITE_OK)
                ++refused;
            ::usleep(kWritePauseMs * 1000);
        }
        pollfd wait{stop[0], POLLIN, 0};
        ::poll(&wait, 1, -1);  // until the parent closes its end
        sqlite3_close(handle);
        ::_exit(refused);
    }
    ::close(stop[0]);
    const testsupport::ProcessResult run = testsupport::RunProcess(
        {VANTOLY_PATCH_BINARY, "--db", database, "--yes", "update", "--dry-run"});
    ::close(stop[1]);
    int status = 0;
    ::waitpid(writer, &status, 0);

    EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "writes refused with \"database is locked\" meanwhile";
}

}  // namespace
}  // namespace reliability
