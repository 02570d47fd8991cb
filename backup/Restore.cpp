#include "backup/Restore.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "backup/Backup.h"

namespace backup {

namespace {

constexpr std::string_view kRestoreFailedText = "バックアップファイルの復元に失敗しました。";

std::string RestoreQuestion(const std::string& fileName) {
    return "バックアップファイル(ファイル名：" + fileName + std::string(kBackupFileSuffix) +
           " が存在します。\nバックアップファイルを元の作業ファイルに戻しますか？\n\n"
           "現在の作業ファイルは、" +
           fileName + "+[実行時間] というファイル名に変更されます。";
}

}  // namespace

std::error_code RenameInFileSystem(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return error;
}

std::string RestoreTimeStamp(const platform::LocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

BackupRestore::BackupRestore(db::SessionWindow& window, db::DatabaseSession& session,
                             const host::TargetDatabase& target, RestoreServices services,
                             std::string releaseDateText, RenameFile rename)
    : window_(window),
      session_(session),
      target_(target),
      services_(services),
      releaseDateText_(std::move(releaseDateText)),
      rename_(rename ? std::move(rename) : RenameFile(RenameInFileSystem)) {}

void BackupRestore::ShowRestoreFailed() {
    services_.messageBoxes.Show({.text = std::string(kRestoreFailedText),
                                 .caption = releaseDateText_,
                                 .buttons = platform::MessageButtons::Ok,
                                 .icon = platform::MessageIcon::Warning,
                                 .owner = platform::MessageOwner::Window});
}

void BackupRestore::ReopenSession() {
    session_.OpenDatabase(target_.PathName, target_.FileName, target_.Extension);
    window_.RefreshControlState(db::ControlState::Idle);
}

void BackupRestore::OnRestoreCommand() {
    const std::string backupFile = BackupFilePath(target_);
    std::error_code ignored;
    // A folder that cannot be created holds no backup file, which ends the
    // command below as an absent backup does.
    EnsureBackupFolder(target_);
    if (!std::filesystem::exists(backupFile, ignored)) {
        return;
    }

    const platform::MessageAnswer answer =
        services_.messageBoxes.Show({.text = RestoreQuestion(target_.FileName),
                                     .caption = releaseDateText_,
                                     .buttons = platform::MessageButtons::YesNo,
                                     .icon = platform::MessageIcon::Information,
                                     .owner = platform::MessageOwner::Window});
    if (answer != platform::MessageAnswer::Yes) {
        window_.RefreshControlState(db::ControlState::Idle);
        return;
    }

    session_.CloseDatabase();
    const std::string timeStamp = RestoreTimeStamp(services_.clock.Now());
    const std::string workingFile = target_.FilePath();
    const std::string stagingCopy =
        target_.PathName + target_.FileName + std::string(kBackupFileSuffix);
    const std::string keptFile =
        target_.PathName + target_.FileName + timeStamp + target_.Extension;

    if (!services_.fileCopier.CopyFileWithShell(backupFile, stagingCopy, "")) {
        ShowRestoreFailed();
        services_.shell.Open(target_.PathName);
        window_.RefreshControlState(db::ControlState::Idle);
        return;
    }

    // A rename here replaces its destination, so each one is checked: the
    // working database must never be overwritten by the copy while it has
    // not been kept under its time-stamped name.
    if (rename_(workingFile, keptFile)) {
        std::filesystem::remove(stagingCopy, ignored);
        ShowRestoreFailed();
        ReopenSession();
        return;
    }
    if (rename_(stagingCopy, workingFile)) {
        // Should the way back fail too, the working file stays under the
        // kept name the question announced, and the reopen's title says the
        // database is missing.
        rename_(keptFile, workingFile);
        std::filesystem::remove(stagingCopy, ignored);
        ShowRestoreFailed();
        ReopenSession();
        return;
    }
    ReopenSession();
}

}  // namespace backup
