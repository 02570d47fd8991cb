// Putting the pre-update backup back: the kept working file, the restored
// copy, the reopened session, and the failures of the copy and the renames.
#include "UpdateFixture.h"
#include "backup/Backup.h"
#include "backup/Restore.h"
#include "support/FakeClock.h"
#include "support/FakeFileCopier.h"
#include "support/FakeShell.h"

namespace updatetest {
namespace {

using platform::MessageAnswer;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

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
        backupBytes_ = Bytes(backup::BackupFilePath(target_));
        workingBytes_ = Bytes(target_.FilePath());
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
                                      kReleaseDate, rename_);
        restore.OnRestoreCommand();
    }

    testsupport::FakeClock clock_{{2020, 5, 24, 15, 30, 12, 0}};
    testsupport::FakeShell shell_;
    testsupport::FakeFileCopier copier_;
    backup::RenameFile rename_;  // none: the file system's
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
    EXPECT_EQ(Bytes(Kept("20200524153012")), workingBytes_);
    EXPECT_EQ(Bytes(target_.FilePath()), backupBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_TRUE(session_.Connected());
    EXPECT_EQ(window_.VersionText, "ver.1.25");
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);

    clock_.Time.second = 13;
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_TRUE(std::filesystem::exists(Kept("20200524153012")));
    EXPECT_EQ(Bytes(Kept("20200524153013")), backupBytes_);
    EXPECT_EQ(Bytes(target_.FilePath()), backupBytes_);
    EXPECT_EQ(Bytes(backup::BackupFilePath(target_)), backupBytes_);
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
    EXPECT_EQ(Bytes(target_.PathName + "host.accdb"), backupBytes_);
    EXPECT_EQ(Bytes(target_.PathName + "host20200524153012.accdb"), workingBytes_);
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
    EXPECT_EQ(Bytes(target_.FilePath()), workingBytes_);
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
    EXPECT_EQ(Bytes(target_.FilePath()), workingBytes_);
}

// Either rename failing leaves the working file where it was, unchanged,
// removes the staging copy and reopens the session on the working file.
struct RenameFault {
    const char* name;
    int failingCall;  // 1: working file to kept name, 2: staging copy to working file
};

class RestoreRenameTest : public RestoreTest, public ::testing::WithParamInterface<RenameFault> {};

TEST_P(RestoreRenameTest, WorkingFileSurvivesAFailedRename) {
    PrepareBackupAndChangedWorkingFile();
    int calls = 0;
    rename_ = [&](const std::string& from, const std::string& to) {
        if (++calls == GetParam().failingCall)
            return std::make_error_code(std::errc::device_or_resource_busy);
        return backup::RenameInFileSystem(from, to);
    };
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();

    EXPECT_EQ(boxes_.Shown().back().text, kRestoreFailed);
    EXPECT_EQ(Bytes(target_.FilePath()), workingBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_FALSE(std::filesystem::exists(Kept("20200524153012")));
    EXPECT_EQ(Bytes(backup::BackupFilePath(target_)), backupBytes_);
    EXPECT_TRUE(session_.Connected());
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);
}

INSTANTIATE_TEST_SUITE_P(Faults, RestoreRenameTest,
                         ::testing::Values(RenameFault{"WorkingFileRename", 1},
                                           RenameFault{"StagingCopyRename", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// The file system refuses the first rename when a folder has the kept name:
// the working file must not be replaced by the copy.
TEST_F(RestoreTest, FolderInTheWayOfTheKeptNameStopsTheRestore) {
    PrepareBackupAndChangedWorkingFile();
    std::filesystem::create_directories(Kept("20200524153012") + "/inside");
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    Restore();
    EXPECT_EQ(boxes_.Shown().back().text, kRestoreFailed);
    EXPECT_EQ(Bytes(target_.FilePath()), workingBytes_);
    EXPECT_FALSE(std::filesystem::exists(Staging()));
    EXPECT_TRUE(session_.Connected());
}

TEST(RestoreTimeStampTest, FourteenDigits) {
    EXPECT_EQ(backup::RestoreTimeStamp({2020, 5, 4, 3, 2, 1, 999}), "20200504030201");
    EXPECT_EQ(backup::RestoreTimeStamp({2021, 12, 31, 23, 59, 59, 0}), "20211231235959");
}

}  // namespace
}  // namespace updatetest
