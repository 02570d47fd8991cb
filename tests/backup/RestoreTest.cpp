// Putting the pre-update backup back: the kept working file, the restored
// copy, the reopened session, and the failures of the copy and the renames.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "UpdateFixture.h"
#include "backup/Backup.h"
#include "backup/Restore.h"
#include "support/FakeClock.h"
#include "support/FakeFileCopier.h"
#include "support/FakeShell.h"
#include "support/FileContent.h"

namespace backuptest {
namespace {

using updatetest::kReleaseDate;
using updatetest::UpdateFixture;

using platform::MessageAnswer;

const std::string kRestoreFailed = "バックアップファイルの復元に失敗しました。";

class RestoreTest : public UpdateFixture {
  protected:
    void SetUp() override {
        UpdateFixture::SetUp();
        copier_.CopyForReal = true;
    }

    // A backup of the sample, then a working file that differs from it.
    void PrepareBackupAndChangedWorkingFile() {
        ASSERT_TRUE(backup::EnsureBackupFolder(target_));
        std::filesystem::copy_file(target_.FilePath(), backup::BackupFilePath(target_));
        Exec("INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (26,1.26);");
        backupBytes_ = testsupport::ReadFileBytes(backup::BackupFilePath(target_));
        workingBytes_ = testsupport::ReadFileBytes(target_.FilePath());
        ASSERT_NE(backupBytes_, workingBytes_);
        OpenSession();
    }

    std::string Kept(const std::string& timeStamp) const {
        return target_.PathName + target_.FileName + timeStamp + target_.Extension;
    }
    std::string Staging() const {
        return target_.PathName + target_.FileName + "ver_1_25backup.mdb";
    }

    void Restore() {
        backup::BackupRestore restore(window_, session_, target_, {boxes_, clock_, shell_, copier_},
                                      kReleaseDate, operations_);
        restore.OnRestoreCommand();
    }

    testsupport::FakeClock clock_{{2020, 5, 24, 15, 30, 12, 0}};
    testsupport::FakeShell shell_;
    testsupport::FakeFileCopier copier_;
    backup::SwapOperations operations_;  // the file system's
    std::string backupBytes_, workingBytes_;
};

TEST_F(RestoreTest, RestoringTwiceKeepsBothWorkingFiles) {
    PrepareBackupAndChangedWorkingFile();
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();

    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text,
              "バックアップファイル(ファイル名：hostver_1_25backup.mdb が存在します。\n"
              "バックアップファイルを元の作業ファイルに戻しますか？\n\n"
              "現在の作業ファイルは、host+[実行時間] というファイル名に変更されます。");
    EXPECT_EQ(boxes_.Shown()[0].caption, kReleaseDate);
    EXPECT_EQ(boxes_.Shown()[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153012")), workingBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_TRUE(session_.Connected());
    EXPECT_EQ(window_.VersionText, "ver.1.25");
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);

    clock_.Time.second = 13;
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_TRUE(std::filesystem::exists(Kept("20200524153012")));
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153013")), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(backup::BackupFilePath(target_)), backupBytes_);
    EXPECT_TRUE(session_.Connected());
}

TEST_F(RestoreTest, AccdbDatabaseComesBackUnderItsOwnExtension) {
    std::filesystem::rename(target_.FilePath(), target_.PathName + "host.accdb");
    target_.Extension = ".accdb";
    PrepareBackupAndChangedWorkingFile();
    EXPECT_EQ(backup::BackupFilePath(target_).substr(backup::BackupFilePath(target_).size() - 22),
              "hostver_1_25backup.mdb");
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_EQ(testsupport::ReadFileBytes(target_.PathName + "host.accdb"), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.PathName + "host20200524153012.accdb"),
              workingBytes_);
    EXPECT_TRUE(session_.Connected());
}

TEST_F(RestoreTest, WithoutBackupOrConsentNothingHappens) {
    OpenSession();
    Restore();
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_TRUE(window_.States.empty());

    PrepareBackupAndChangedWorkingFile();
    boxes_.ScriptAnswers({MessageAnswer::No});
    Restore();
    EXPECT_EQ(window_.States, (std::vector<db::ControlState>{db::ControlState::Idle}));
    EXPECT_TRUE(session_.Connected());
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), workingBytes_);
    EXPECT_TRUE(copier_.Calls.empty());
}

TEST_F(RestoreTest, FailedCopyLeavesTheSessionClosed) {
    PrepareBackupAndChangedWorkingFile();
    copier_.Results = {false};
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();

    ASSERT_EQ(copier_.Calls.size(), 1u);
    EXPECT_EQ(copier_.Calls[0].source, backup::BackupFilePath(target_));
    EXPECT_EQ(copier_.Calls[0].destination, Staging());
    EXPECT_EQ(boxes_.Shown().back().text, kRestoreFailed);
    EXPECT_EQ(boxes_.Shown().back().icon, platform::MessageIcon::Warning);
    EXPECT_EQ(shell_.Opened, (std::vector<std::string>{target_.PathName}));
    EXPECT_FALSE(session_.Connected());
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), workingBytes_);
}

// A swap that fails before it happened leaves the working file where it was,
// unchanged, removes the staging copy and reopens the session on it.
struct SwapFault {
    const char* name;
    const char* failingStep;  // "exchange" or the first "rename" (the fallback's)
    int error;
};

class RestoreSwapFaultTest : public RestoreTest, public ::testing::WithParamInterface<SwapFault> {};

TEST_P(RestoreSwapFaultTest, WorkingFileSurvivesAFailedSwap) {
    PrepareBackupAndChangedWorkingFile();
    const SwapFault fault = GetParam();
    operations_.exchange = [&](const std::string&, const std::string&) {
        if (std::string(fault.failingStep) == "exchange")
            return platform::FileStatus::Failure(fault.error, "exchange");
        return platform::FileStatus::Failure(EINVAL, "this file system cannot swap");
    };
    operations_.renameNoReplace = [&](const std::string& from, const std::string& to) {
        if (std::string(fault.failingStep) == "rename")
            return platform::FileStatus::Failure(fault.error, "rename");
        return platform::RenameNoReplace(from, to);
    };
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();

    EXPECT_EQ(boxes_.Shown().back().text.substr(0, kRestoreFailed.size()), kRestoreFailed);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), workingBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_FALSE(std::filesystem::exists(Kept("20200524153012")));
    EXPECT_FALSE(std::filesystem::exists(backup::RestoreRecordPath(target_)));
    EXPECT_EQ(testsupport::ReadFileBytes(backup::BackupFilePath(target_)), backupBytes_);
    EXPECT_TRUE(session_.Connected());
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);
}

INSTANTIATE_TEST_SUITE_P(Faults, RestoreSwapFaultTest,
                         ::testing::Values(SwapFault{"ExchangeBusy", "exchange", EBUSY},
                                           SwapFault{"FallbackRenameRefused", "rename", EACCES}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file system that cannot swap names gets the two renames, with the
// same end.
TEST_F(RestoreTest, FileSystemWithoutSwapGetsTheSameResult) {
    PrepareBackupAndChangedWorkingFile();
    operations_.exchange = [](const std::string&, const std::string&) {
        return platform::FileStatus::Failure(EINVAL, "this file system cannot swap");
    };
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153012")), workingBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_FALSE(std::filesystem::exists(backup::RestoreRecordPath(target_)));
    EXPECT_TRUE(session_.Connected());
}

// The old working file that cannot take its kept name stays under the
// staging name, said so; the next restore moves it to its kept name before
// it does anything else.
TEST_F(RestoreTest, OldWorkingFileThatCannotBeKeptWaitsForTheNextRestore) {
    PrepareBackupAndChangedWorkingFile();
    operations_.renameNoReplace = [](const std::string& from, const std::string&) {
        return platform::FileStatus::Failure(EIO, "cannot rename " + from);
    };
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_NE(boxes_.Shown().back().text.find(Staging()), std::string::npos)
        << boxes_.Shown().back().text;
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(Staging()), workingBytes_);
    EXPECT_TRUE(std::filesystem::exists(backup::RestoreRecordPath(target_)));

    operations_ = {};
    clock_.Time.second = 40;
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153012")),
              workingBytes_);  // the first restore's name
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153040")), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_FALSE(std::filesystem::exists(backup::RestoreRecordPath(target_)));
}

// Two restores in the same second: the second kept file takes the next free
// name and says so; the first is never replaced.
TEST_F(RestoreTest, KeptFileIsNeverReplaced) {
    PrepareBackupAndChangedWorkingFile();
    std::ofstream(Kept("20200524153012"), std::ios::binary) << "an earlier kept file";
    for (int run = 0; run < 2; ++run) {
        boxes_.ScriptAnswers({MessageAnswer::Yes});
        Restore();
    }
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153012")), "an earlier kept file");
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153012_2")), workingBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153012_3")), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_EQ(
        boxes_.Shown().back().text,
        "host20200524153012.mdb は既に存在するため、現在の作業ファイルは host20200524153012_3.mdb "
        "というファイル名に変更しました。");
    EXPECT_EQ(boxes_.Shown().back().icon, platform::MessageIcon::Information);
    EXPECT_TRUE(session_.Connected());
}

// The file system refuses to put a file where a folder has the kept name;
// the next free name is taken instead.
TEST_F(RestoreTest, FolderInTheWayOfTheKeptNameIsPassedOver) {
    PrepareBackupAndChangedWorkingFile();
    std::filesystem::create_directories(Kept("20200524153012") + "/inside");
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_EQ(testsupport::ReadFileBytes(Kept("20200524153012_2")), workingBytes_);
    EXPECT_TRUE(std::filesystem::exists(Kept("20200524153012") + "/inside"));
    EXPECT_TRUE(session_.Connected());
}

TEST_F(RestoreTest, MissingWorkingFileIsReplacedByTheBackup) {
    PrepareBackupAndChangedWorkingFile();
    session_.CloseDatabase();
    std::filesystem::remove(target_.FilePath());
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_FALSE(std::filesystem::exists(Kept("20200524153012")));
    EXPECT_TRUE(session_.Connected());
    EXPECT_EQ(window_.VersionText, "ver.1.25");
}

// The restored file belongs to the working file's owner with its
// permissions, whoever runs the restore.
TEST_F(RestoreTest, RestoredFileKeepsTheWorkingFilesOwnerAndMode) {
    PrepareBackupAndChangedWorkingFile();
    ASSERT_EQ(::chmod(target_.FilePath().c_str(), 0604), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target_.FilePath().c_str(), 4321, 4322), 0);
    }
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    for (const std::string& path : {target_.FilePath(), Kept("20200524153012")}) {
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_mode & 07777, 0604u) << path;
        if (root) {
            EXPECT_EQ(info.st_uid, 4321u) << path;
            EXPECT_EQ(info.st_gid, 4322u) << path;
        }
    }
    EXPECT_EQ(testsupport::ReadFileBytes(target_.FilePath()), backupBytes_);
}

TEST(RestoreTimeStampTest, FourteenDigits) {
    EXPECT_EQ(backup::RestoreTimeStamp({2020, 5, 4, 3, 2, 1, 999}), "20200504030201");
    EXPECT_EQ(backup::RestoreTimeStamp({2021, 12, 31, 23, 59, 59, 0}), "20211231235959");
}

}  // namespace
}  // namespace backuptest
