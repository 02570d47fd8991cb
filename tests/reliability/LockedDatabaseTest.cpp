// Another process holds a write lock on the database while the update runs:
// the database opens and reads (readers are not blocked), the first write is
// refused, and the update ends through its database-error path with the
// statement named in the report and in the error log, the file unchanged.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "UpdateFixture.h"
#include "WriteLockHolder.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

TEST(LockedDatabase, UpdateFailsOnItsFirstWriteAndNamesTheStatement) {
    testsupport::TempFolder folder;
    const fs::path database = folder.Path() / "host.mdb";
    fs::copy_file(updatetest::PristineSample(), database);
    const std::string before = testsupport::ReadFileBytes(database);

    testsupport::ProcessResult run;
    {
        WriteLockHolder lock(database.string());
        run = testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--db", database.string(), "--yes", "update"});
    }
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("更新に失敗しました"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--- 更新エラー内容 ---"), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::ReadFileBytes(database), before) << "the locked database was written";

    // The error log beside the database names the refused statement.
    const fs::path logFolder = folder.Path() / "DBErr";
    ASSERT_TRUE(fs::is_directory(logFolder)) << run.err;
    int logs = 0;
    for (const auto& entry : fs::directory_iterator(logFolder)) {
        ++logs;
        const std::string log = testsupport::ReadFileBytes(entry.path());
        EXPECT_NE(log.find("DROP TABLE "), std::string::npos) << log;
    }
    EXPECT_EQ(logs, 1);
    // The backup taken under the lock is a whole copy of the 1.25 file.
    const fs::path backup = folder.Path() / "データベース更新前データ" / "hostver_1_25backup.mdb";
    ASSERT_TRUE(fs::exists(backup));
    EXPECT_EQ(testsupport::ReadFileBytes(backup), before);
    // Once the lock is gone the update completes.
    const testsupport::ProcessResult rerun = testsupport::RunProcess(
        {VANTOLY_PATCH_BINARY, "--db", database.string(), "--yes", "update"});
    EXPECT_EQ(rerun.exitStatus, 0) << rerun.err;
}

}  // namespace
}  // namespace reliability
