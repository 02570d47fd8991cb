// The copy of the database taken before the update, in a folder beside it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/Engine.h"
#include "host/TargetDatabase.h"
#include "platform/Platform.h"

namespace backup {

inline constexpr char kBackupFolderName[] = "データベース更新前データ";
inline constexpr char kBackupFileSuffix[] = "ver_1_25backup.mdb";
// The version a backup holds: it is taken before the update to 1.26.
inline constexpr char kBackupVersion[] = "1.25";

inline constexpr char kBackupQuestionText[] =
    "データベース更新前にバックアップファイルを作成します。\n\nバックアップファイルは、"
    "\\データベース更新前データ\\[データベース名]ver_1_25backup.mdb となります。\n\n\n"
    "バックアップファイルを作成してもよろしいですか？";
inline constexpr char kBackupExistsText[] =
    "すでにバックアップファイルが存在します。今回はバックアップを取らずに更新してもよろしいですか？"
    "\n\n今回もバックアップをとる場合にはバックアップファイルのファイル名を変更してから"
    "再度更新作業をして下さい";
inline constexpr char kCopyFailedText[] = "コピーに失敗しました。";

// PathName + "データベース更新前データ/" (relative when PathName is empty).
std::string BackupFolderPath(const host::TargetDatabase& record);
// BackupFolderPath + FileName + "ver_1_25backup.mdb", whatever the extension.
std::string BackupFilePath(const host::TargetDatabase& record);

// Creates BackupFolderPath when it does not exist (one level, as the folder
// beside the database). Answers whether a folder is there afterwards.
bool EnsureBackupFolder(const host::TargetDatabase& record);

// Whether BackupFilePath names a regular file: the restore button's state.
bool BackupFileExists(const host::TargetDatabase& record);

// Why what BackupFilePath names cannot stand for a backup of the working
// file: a folder, FIFO, device or socket, or (through a link) the working
// file itself. Nothing when the name holds nothing or a separate regular
// file. The update takes it as a failed copy rather than as "a backup is
// already there"; the restore gives it as its reason.
std::optional<std::string> BackupNameProblem(const host::TargetDatabase& record);

struct BackupServices {
    platform::MessageBoxes& messageBoxes;
    platform::Shell& shell;
    platform::FileCopier& fileCopier;
};

// Copies the database file to `destination` while `sessionConnection` holds a
// read transaction, so that no other process can commit a write to the file
// meanwhile (readers go on), then checks that the copy opens and reads as a
// database with `password`. A copy that fails the check is removed. Without
// an open session connection the file is copied without the lock. Answers
// the reason of a failure, or nothing when the copy is good. The session
// must have no transaction of its own running.
std::optional<std::string> CopyDatabaseUnderSharedLock(
    const std::shared_ptr<engine::Connection>& sessionConnection, platform::FileCopier& fileCopier,
    const std::string& source, const std::string& destination, const std::string& password);

// The backup step of the update command. Asks whether to make a backup
// (No: abandon); with a backup file already there asks whether to update
// without a new one (Yes: go on, the old file untouched; No: the folder opens
// in the shell, abandon); otherwise copies the database to BackupFilePath
// (failure: kCopyFailedText, the folder opens, abandon). The boxes carry
// `releaseDateText` as caption. Answers true to go on with the update.
// `failureReason` (may be null) receives why a copy failed.
bool TakePreUpdateBackup(const host::TargetDatabase& record,
                         const std::shared_ptr<engine::Connection>& sessionConnection,
                         const BackupServices& services, const std::string& releaseDateText,
                         std::string* failureReason = nullptr);

}  // namespace backup
