// A full disk, as the file size limit of a real process makes it: the
// backup copy, the restore's staging copy, the error log, the console's log
// and the workbook each fail with their message, leave no partial file where
// a good one was, and never touch the database.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "UpdateFixture.h"
#include "console/QueryRunner.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr char kBackupFolder[] = "データベース更新前データ";
constexpr char kBackupName[] = "hostver_1_25backup.mdb";

// Every file below `folder` with its bytes, for a before-and-after compare.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] =
                testsupport::ReadFileBytes(entry.path());
    }
    return files;
}

// The program ended by itself, with failure, after showing `message`.
void ExpectFailure(const testsupport::ProcessResult& run, const std::string& message) {
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
}

class FullDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        database_ = folder_.Path() / "host.mdb";
        fs::copy_file(updatetest::PristineSample(), database_);
    }

    testsupport::ProcessResult RunLimited(rlim_t bytes, const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{VANTOLY_PATCH_BINARY, "--db", database_.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        testsupport::ProcessOptions options;
        options.fileSizeLimit = bytes;
        return testsupport::RunProcess(argv, options);
    }

    void PlaceBackup(const std::string& bytes) {
        fs::create_directories(folder_.Path() / kBackupFolder);
        testsupport::WriteFileBytes(folder_.Path() / kBackupFolder / kBackupName, bytes);
    }

    testsupport::TempFolder folder_;
    fs::path database_;
};

TEST_F(FullDisk, BackupCopyFailsAndTheUpdateDoesNotStart) {
    const auto before = Files(folder_.Path());
    const testsupport::ProcessResult run = RunLimited(100 * 1024, {"--yes", "update"});
    ExpectFailure(run, "コピーに失敗しました。");
    EXPECT_EQ(run.err.find("更新してもよろしいですか"), std::string::npos) << "the update went on";
    EXPECT_EQ(Files(folder_.Path()), before) << "a partial backup or a changed database";
}

TEST_F(FullDisk, RestoreStagingCopyFailsAndTheWorkingFileStays) {
    // A backup that differs from the working file, so a swap would show.
    const std::string backup = testsupport::ReadFileBytes(database_) + std::string(4096, '\0');
    PlaceBackup(backup);
    const auto before = Files(folder_.Path());
    const testsupport::ProcessResult run = RunLimited(100 * 1024, {"--yes", "restore"});
    ExpectFailure(run, "バックアップファイルの復元に失敗しました。");
    EXPECT_EQ(Files(folder_.Path()), before);
}

// The update's first statement cannot write its journal, and the error log
// written about it cannot be written either: the message says so.
TEST_F(FullDisk, ErrorLogThatCannotBeWrittenIsSaidAndLeavesNoPartialFile) {
    PlaceBackup(testsupport::ReadFileBytes(database_));  // no copy: the update goes straight on
    const auto before = Files(folder_.Path());
    const testsupport::ProcessResult run = RunLimited(200, {"--yes", "update"});
    ExpectFailure(run, "エラーの記録を書き込めませんでした");
    EXPECT_NE(run.err.find("Query :\nDROP TABLE"), std::string::npos)
        << "the statement is not named";
    EXPECT_EQ(Files(folder_.Path()), before) << "a partial log or a changed database";
}

// A database with no free page and nothing to drop or create before the
// table-definition facility adds its first column: at a file size limit of
// the file's own size, that column is the first write that needs room. The
// error SQLite met is the one reported and logged, never the rollback that
// found SQLite had already undone the transaction.
TEST_F(FullDisk, ColumnAdditionReportsTheDiskErrorAndLogsIt) {
    const std::string small = (folder_.Path() / "small.mdb").string();
    testsupport::ProcessOptions script;
    script.input =
        "CREATE TABLE t_db_ver (DBVerID INTEGER PRIMARY KEY, DBVerCode CURRENCY);\n"
        "INSERT INTO t_db_ver VALUES (25, 1.25);\n"
        "CREATE TABLE t_kumiai (KumiaiID COUNTER PRIMARY KEY, MlgCardName TEXT(50));\n"
        "CREATE TABLE t_seikyu_data (SeikyuDataID COUNTER PRIMARY KEY);\n";
    const testsupport::ProcessResult made =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", small, "query", "--create"}, script);
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(small.c_str(), &handle), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(handle, "VACUUM", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
    fs::remove(database_);
    fs::rename(small, database_);
    PlaceBackup(testsupport::ReadFileBytes(database_));
    const std::string before = testsupport::ReadFileBytes(database_);

    const testsupport::ProcessResult run =
        RunLimited(fs::file_size(database_), {"--yes", "update"});
    ExpectFailure(run, "更新に失敗しました");
    EXPECT_EQ(run.err.find("no transaction is active"), std::string::npos) << run.err;
    const fs::path logs = folder_.Path() / "DBErr";
    ASSERT_TRUE(fs::is_directory(logs)) << "no error log: " << run.err;
    const std::string log = testsupport::ReadFileBytes(fs::directory_iterator(logs)->path());
    EXPECT_NE(log.find("adding the column MlgCardSeikyuKingaku"), std::string::npos) << log;
    EXPECT_NE(log.find("disk"), std::string::npos) << log;
    EXPECT_EQ(log.find("rollback"), std::string::npos) << log;
    EXPECT_NE(run.err.find("adding the column MlgCardSeikyuKingaku"), std::string::npos)
        << "the report is empty: " << run.err;
    EXPECT_EQ(testsupport::ReadFileBytes(database_), before) << "the column went in part-way";
}

TEST_F(FullDisk, WorkbookThatCannotBeSavedLeavesTheEarlierOneInPlace) {
    const fs::path out = folder_.Path() / "out";
    fs::create_directory(out);
    const testsupport::ProcessResult good =
        RunLimited(RLIM_INFINITY, {"export-spec", out.string()});
    ASSERT_EQ(good.exitStatus, 0) << good.err;
    const auto before = Files(folder_.Path());
    const testsupport::ProcessResult run = RunLimited(20000, {"export-spec", out.string()});
    ExpectFailure(run, "仕様書EXCELを作成できませんでした");
    EXPECT_EQ(Files(folder_.Path()), before);
}

// The console's log is appended to, never replaced: on a full disk the
// statements logged before stay whole and no half statement is left.
TEST_F(FullDisk, ConsoleLogKeepsItsEarlierLinesWhole) {
    const fs::path log = folder_.Path() / "VantolyPatch実行クエリ保存.txt";
    const std::string earlier = "UPDATE t_kumi SET KumiName = 'a';\n";
    testsupport::WriteFileBytes(log, earlier);
    const std::string statement = "UPDATE t_kumi SET KumiName = '" + std::string(200, 'x') + "';";

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlim_t bytes = earlier.size() + 50;
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        console::QueryLog queryLog(log.string());
        queryLog.Append(statement);
        queryLog.Append("DELETE FROM t_kumi;");  // after a failure nothing more is written
        ::_exit(queryLog.IsOpen() || !queryLog.WriteFailed() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the failed write was not noticed";
    EXPECT_EQ(testsupport::ReadFileBytes(log), earlier);
}

}  // namespace
}  // namespace reliability
