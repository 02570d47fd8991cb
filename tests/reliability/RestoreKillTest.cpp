// The restore killed part-way, or run while another program is inside the
// database. The folder must always hold a working file that is either the
// file before the restore or the backup, the old working file's bytes must
// survive somewhere, a kept file from earlier must never be replaced, and
// the next restore must end where an undisturbed one ends.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "UpdateFixture.h"
#include "backup/Backup.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr const char* kEarlierKept = "host20200524153012.mdb";  // the driver's clock names this
constexpr const char* kEarlierKeptBytes = "a kept file from an earlier restore";

class RestoreKill : public ::testing::Test {
  protected:
    void SetUp() override {
        working_ = folder_.Folder() + "host.mdb";
        backupFolder_ = folder_.Path() / "データベース更新前データ";
        fs::create_directories(backupFolder_);
        backup_ = (backupFolder_ / "hostver_1_25backup.mdb").string();
        fs::copy_file(updatetest::PristineSample(), backup_);
        fs::copy_file(updatetest::PristineSample(), working_);
        auto connection = engine::Connection::create();
        connection->Open(updatetest::JetConnectionText(working_));
        connection->Execute("INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (26,1.26);", nullptr,
                            -1);
        connection->Close();
        testsupport::WriteFileBytes(folder_.Path() / kEarlierKept, kEarlierKeptBytes);
        workingBytes_ = testsupport::ReadFileBytes(working_);
        backupBytes_ = testsupport::ReadFileBytes(backup_);
        ASSERT_NE(workingBytes_, backupBytes_);
    }

    // The names in the database folder holding exactly `bytes`.
    std::vector<std::string> FilesHolding(const std::string& bytes) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.Path())) {
            if (entry.is_regular_file() && testsupport::ReadFileBytes(entry.path()) == bytes) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    std::vector<std::string> HiddenFiles() const {
        std::vector<std::string> names;
        for (const fs::path& folder : {folder_.Path(), backupFolder_}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                const std::string name = entry.path().filename().string();
                if (name.starts_with(".")) names.push_back(name);
            }
        }
        return names;
    }

    // What must hold at every moment, interrupted or not.
    void ExpectNothingLost(const std::string& label) const {
        ASSERT_TRUE(fs::exists(working_)) << label << ": no working file";
        const std::string now = testsupport::ReadFileBytes(working_);
        EXPECT_TRUE(now == workingBytes_ || now == backupBytes_)
            << label << ": a working file of other bytes";
        EXPECT_FALSE(FilesHolding(workingBytes_).empty())
            << label << ": the old working file is gone";
        EXPECT_EQ(testsupport::ReadFileBytes(folder_.Path() / kEarlierKept), kEarlierKeptBytes)
            << label;
        EXPECT_TRUE(testsupport::ReadFileBytes(backup_) == backupBytes_)
            << label << ": the backup changed";
    }

    // Where an undisturbed restore ends, also after repeated restores: the
    // backup in place, the old working bytes kept exactly once, nothing of
    // the run left over.
    void ExpectRestored(const std::string& label) const {
        ExpectNothingLost(label);
        EXPECT_TRUE(testsupport::ReadFileBytes(working_) == backupBytes_)
            << label << ": the backup is not in place";
        EXPECT_EQ(FilesHolding(workingBytes_).size(), 1u) << label;
        EXPECT_FALSE(fs::exists(folder_.Path() / "hostver_1_25backup.mdb"))
            << label << ": staging copy left";
        EXPECT_EQ(HiddenFiles(), std::vector<std::string>{}) << label;
    }

    testsupport::TempFolder folder_;
    fs::path backupFolder_;
    std::string working_, backup_, workingBytes_, backupBytes_;
};

std::vector<std::string> ListedSteps(const std::string& database) {
    const testsupport::ProcessResult run =
        testsupport::RunProcess({VANTOLY_RESTORE_KILL_DRIVER, database, "--list"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    std::vector<std::string> steps;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        steps.push_back(line.substr(line.find('\t') + 1));
    return steps;
}

TEST_F(RestoreKill, KilledAtEveryStepThenRestoredAgain) {
    // An undisturbed run in a copy of this folder names the steps.
    testsupport::TempFolder listing;
    fs::copy(folder_.Path(), listing.Path(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const std::vector<std::string> steps = ListedSteps((listing.Path() / "host.mdb").string());
    const std::vector<std::string> expected = {"locked",  "copy started", "copy piece",
                                               "copied",  "verified",     "recorded",
                                               "swapped", "kept",         "done"};
    ASSERT_EQ(steps, expected);

    const std::string pristine = (fs::path(folder_.Folder()).parent_path().string()) + "-pristine";
    fs::copy(folder_.Path(), pristine, fs::copy_options::recursive);
    for (std::size_t step = 1; step <= steps.size(); ++step) {
        const std::string label =
            "killed after step " + std::to_string(step) + " (" + steps[step - 1] + ")";
        fs::remove_all(folder_.Path());
        fs::copy(pristine, folder_.Path(), fs::copy_options::recursive);
        const testsupport::ProcessResult killed = testsupport::RunProcess(
            {VANTOLY_RESTORE_KILL_DRIVER, working_, "--kill-at", std::to_string(step)});
        ASSERT_TRUE(killed.Killed()) << label << ": " << killed.err;
        ExpectNothingLost(label);

        const testsupport::ProcessResult again =
            testsupport::RunProcess({VANTOLY_RESTORE_KILL_DRIVER, working_});
        EXPECT_EQ(again.exitStatus, 0) << label << ": " << again.err;
        ExpectRestored(label);
    }
    fs::remove_all(pristine);
}

// The real program, killed at moments spread over an undisturbed restore.
TEST_F(RestoreKill, ProgramKilledAtTimedMoments) {
    testsupport::TempFolder timing;
    fs::copy(folder_.Path(), timing.Path(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const auto start = std::chrono::steady_clock::now();
    const testsupport::ProcessResult undisturbed = testsupport::RunProcess(
        {VANTOLY_PATCH_BINARY, "--db", (timing.Path() / "host.mdb").string(), "--yes", "restore"});
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_EQ(undisturbed.exitStatus, 0) << undisturbed.err;

    const std::string pristine = (fs::path(folder_.Folder()).parent_path().string()) + "-pristine";
    fs::copy(folder_.Path(), pristine, fs::copy_options::recursive);
    constexpr int kKills = 16;
    int killed = 0;
    for (int i = 0; i < kKills; ++i) {
        const auto delay = span * i / kKills;
        const std::string label = "killed after " + std::to_string(delay.count()) + " µs";
        fs::remove_all(folder_.Path());
        fs::copy(pristine, folder_.Path(), fs::copy_options::recursive);
        testsupport::ProcessOptions options;
        options.killAfter = delay;
        const testsupport::ProcessResult run = testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--db", working_, "--yes", "restore"}, options);
        if (!run.Killed()) continue;
        ++killed;
        ExpectNothingLost(label);
        const testsupport::ProcessResult again =
            testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", working_, "--yes", "restore"});
        EXPECT_EQ(again.exitStatus, 0) << label << ": " << again.err;
        ExpectRestored(label);
    }
    fs::remove_all(pristine);
    std::cout << "program killed " << killed << " times over " << span.count() << " µs\n";
}

// Two restores in a row from the command line, usually within one second:
// each keeps the file it replaced, the first kept file is never replaced.
TEST_F(RestoreKill, TwoRestoresInARowKeepBothFiles) {
    std::vector<std::string> keptByReport;
    for (int run = 0; run < 2; ++run) {
        const testsupport::ProcessResult restored = testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--db", working_, "--yes", "--json", "restore"});
        EXPECT_EQ(restored.exitStatus, 0) << restored.err;
        // The report names both renames: the copy of the backup to the
        // working name, the old working file to its kept name.
        const QJsonArray renamed =
            QJsonDocument::fromJson(QByteArray::fromStdString(restored.out))["renamed"].toArray();
        ASSERT_EQ(renamed.size(), 2) << restored.out;
        EXPECT_EQ(renamed[0]["from"].toString().toStdString(), working_) << restored.out;
        keptByReport.push_back(
            fs::path(renamed[0]["to"].toString().toStdString()).filename().string());
        EXPECT_EQ(renamed[1]["from"].toString().toStdString(),
                  folder_.Folder() + "hostver_1_25backup.mdb")
            << restored.out;
        EXPECT_EQ(renamed[1]["to"].toString().toStdString(), working_) << restored.out;
    }
    ExpectRestored("two restores");
    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("host2") && name != kEarlierKept) kept.push_back(name);
    }
    std::sort(kept.begin(), kept.end());
    std::sort(keptByReport.begin(), keptByReport.end());
    EXPECT_EQ(kept, keptByReport);
    EXPECT_EQ(FilesHolding(backupBytes_).size(), 2u);  // the working file and the second kept file
}

// Another process inside the database: the restore is refused and changes
// nothing. The other process is a plain SQLite connection in a child.
struct OtherUser {
    const char* name;
    const char* statements;  // run in the child, which then waits
};

class RestoreRefused : public RestoreKill, public ::testing::WithParamInterface<OtherUser> {};

TEST_P(RestoreRefused, WhileAnotherProcessIsInsideTheDatabase) {
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        sqlite3* handle = nullptr;
        if (sqlite3_open_v2(working_.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            ::_exit(3);
        if (sqlite3_exec(handle, GetParam().statements, nullptr, nullptr, nullptr) != SQLITE_OK)
            ::_exit(4);
        char byte = 'r';
        if (::write(ready[1], &byte, 1) != 1) ::_exit(5);
        if (::read(release[0], &byte, 1) < 0) ::_exit(6);  // waits until the parent closes its end
        ::_exit(0);                                        // without a commit
    }
    ::close(ready[1]);
    ::close(release[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the other process did not get into the database";

    const testsupport::ProcessResult run =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", working_, "--yes", "restore"});
    ::close(release[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);

    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("バックアップファイルの復元に失敗しました。"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("使用中"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("pid " + std::to_string(child)), std::string::npos)
        << "the process holding the file is not named: " << run.err;
    EXPECT_TRUE(testsupport::ReadFileBytes(working_) == workingBytes_)
        << "the working file changed";
    EXPECT_EQ(FilesHolding(backupBytes_), std::vector<std::string>{});  // no staging copy
    EXPECT_EQ(HiddenFiles(), std::vector<std::string>{});
    // After the other process has gone, the restore goes through.
    const testsupport::ProcessResult later =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", working_, "--yes", "restore"});
    EXPECT_EQ(later.exitStatus, 0) << later.err;
    ExpectRestored(GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Users, RestoreRefused,
    ::testing::Values(OtherUser{"IdleConnection", ""},
                      OtherUser{"Reader", "BEGIN; SELECT COUNT(*) FROM MSysDatabase;"},
                      OtherUser{"Writer", "BEGIN IMMEDIATE; CREATE TABLE probe_in_progress (x);"},
                      OtherUser{"ExclusiveWriter", "BEGIN EXCLUSIVE;"}),
    [](const auto& info) { return std::string(info.param.name); });

// A backup with a journal beside it from a transaction that was cut off:
// the file alone holds pages that transaction wrote. The restore puts back
// what the backup held at its last commit, never the half-written rows.
TEST_F(RestoreKill, BackupWithACutOffTransactionIsRestoredAsLastCommitted) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* handle = nullptr;
        if (sqlite3_open_v2(backup_.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            ::_exit(3);
        // A one-page cache makes SQLite write changed pages into the file
        // before the commit that never comes.
        const char* statements =
            "PRAGMA cache_size = 1; BEGIN; UPDATE t_kumi SET KumiName = 'half-written';";
        if (sqlite3_exec(handle, statements, nullptr, nullptr, nullptr) != SQLITE_OK) ::_exit(4);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(status, 0);
    ASSERT_NE(testsupport::ReadFileBytes(backup_).find("half-written"), std::string::npos)
        << "the cut-off transaction wrote nothing into the backup file";

    const testsupport::ProcessResult run =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", working_, "--yes", "restore"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(testsupport::ReadFileBytes(working_).find("half-written"), std::string::npos)
        << "the restored file holds rows of a transaction that never committed";
}

// A backup that cannot stand in as the working database: the restore
// refuses before any rename, names the backup and the fault, and changes
// nothing.
struct DamagedBackup {
    const char* name;
    const char* reason;  // what the warning must say is wrong
    std::string (*bytes)(const std::string& backup, const std::string& working,
                         const std::string& folder);
};

std::string ForeignSqliteFile(const std::string&, const std::string&, const std::string& folder) {
    const std::string path = folder + "other-program.sqlite";
    sqlite3* handle = nullptr;
    sqlite3_open(path.c_str(), &handle);
    sqlite3_exec(handle, "CREATE TABLE notes (body TEXT); INSERT INTO notes VALUES ('x');", nullptr,
                 nullptr, nullptr);
    sqlite3_close(handle);
    std::string bytes = testsupport::ReadFileBytes(path);
    fs::remove(path);
    return bytes;
}

// A page in the middle of the file overwritten, as a bad disk block would.
std::string BrokenMiddlePage(const std::string& backup, const std::string&, const std::string&) {
    constexpr std::size_t kPage = 4096;
    std::string bytes = backup;
    const std::size_t middle = bytes.size() / kPage / 2 * kPage;
    for (std::size_t i = middle; i < middle + kPage && i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(0x5A);
    return bytes;
}

class RestoreOfDamagedBackup : public RestoreKill,
                               public ::testing::WithParamInterface<DamagedBackup> {};

TEST_P(RestoreOfDamagedBackup, IsRefusedAndChangesNothing) {
    testsupport::WriteFileBytes(backup_,
                                GetParam().bytes(backupBytes_, workingBytes_, folder_.Folder()));
    const std::string backupBefore = testsupport::ReadFileBytes(backup_);
    const testsupport::ProcessResult run = testsupport::RunProcess(
        {VANTOLY_PATCH_BINARY, "--db", working_, "--yes", "--json", "restore"});
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("バックアップファイルの復元に失敗しました。"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(backup_), std::string::npos) << "the backup is not named: " << run.err;
    EXPECT_NE(run.err.find(GetParam().reason), std::string::npos) << run.err;

    EXPECT_TRUE(testsupport::ReadFileBytes(working_) == workingBytes_)
        << "the working file changed";
    EXPECT_TRUE(testsupport::ReadFileBytes(backup_) == backupBefore) << "the backup changed";
    EXPECT_EQ(FilesHolding(workingBytes_), std::vector<std::string>{"host.mdb"});
    EXPECT_FALSE(fs::exists(folder_.Path() / "hostver_1_25backup.mdb")) << "staging copy left";
    EXPECT_EQ(HiddenFiles(), std::vector<std::string>{});

    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_EQ(report["outcome"].toString(), "failed") << run.out;
    EXPECT_EQ(report["versionAfter"].toString(), "1.26") << run.out;
    EXPECT_EQ(report["renamed"].toArray().size(), 0) << run.out;
    EXPECT_NE(report["error"].toString().toStdString().find(GetParam().reason), std::string::npos)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RestoreOfDamagedBackup,
    ::testing::Values(
        DamagedBackup{"CutShort", "does not open",
                      [](const std::string& backup, const std::string&, const std::string&) {
                          return backup.substr(0, backup.size() / 2);
                      }},
        DamagedBackup{"TextFile", "not a database",
                      [](const std::string&, const std::string&, const std::string&) {
                          return std::string("backup of the host database\nnot really\n");
                      }},
        DamagedBackup{"Empty", "empty",
                      [](const std::string&, const std::string&, const std::string&) {
                          return std::string();
                      }},
        DamagedBackup{"OtherProgramsSqliteFile", "no catalog", ForeignSqliteFile},
        DamagedBackup{"Version126", "1.26, not 1.25",
                      [](const std::string&, const std::string& working, const std::string&) {
                          return working;
                      }},
        DamagedBackup{"BrokenPageInTheMiddle", "damaged", BrokenMiddlePage}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reliability
