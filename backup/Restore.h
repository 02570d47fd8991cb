// Putting the pre-update backup back in place of the working database. The
// working file is kept under a name carrying the time of the restore, so
// both versions stay on disk, and the backup file stays where it is.
#pragma once

#include <functional>
#include <string>
#include <system_error>

#include "db/DatabaseSession.h"
#include "db/SessionWindow.h"
#include "host/TargetDatabase.h"
#include "platform/Platform.h"

namespace backup {

// The services the restore uses; each must outlive it.
struct RestoreServices {
    platform::MessageBoxes& messageBoxes;
    platform::Clock& clock;
    platform::Shell& shell;
    platform::FileCopier& fileCopier;
};

// Renames a file, replacing an existing destination as rename(2) does; an
// error code when it could not.
using RenameFile = std::function<std::error_code(const std::string& from, const std::string& to)>;
std::error_code RenameInFileSystem(const std::string& from, const std::string& to);

// "%Y%m%d%H%M%S": the fourteen digits that name the kept working file.
std::string RestoreTimeStamp(const platform::LocalTime& time);

class BackupRestore {
  public:
    // Everything handed in must outlive the restore. `rename` defaults to
    // RenameInFileSystem.
    BackupRestore(db::SessionWindow& window, db::DatabaseSession& session,
                  const host::TargetDatabase& target, RestoreServices services,
                  std::string releaseDateText, RenameFile rename = RenameInFileSystem);

    // The restore button. Without a backup file it does nothing. Otherwise,
    // once the operator confirms, the session is closed, the backup copied
    // beside the working file, the working file renamed to
    // FileName + time stamp + Extension, the copy renamed into its place and
    // the session reopened. A failed copy shows
    // "バックアップファイルの復元に失敗しました。", opens the database folder
    // and leaves the session closed. A failed rename shows the same message
    // and leaves the working file in place and the session reopened on it.
    void OnRestoreCommand();

  private:
    void ShowRestoreFailed();
    void ReopenSession();

    db::SessionWindow& window_;
    db::DatabaseSession& session_;
    const host::TargetDatabase& target_;
    RestoreServices services_;
    std::string releaseDateText_;
    RenameFile rename_;
};

}  // namespace backup
