// Putting the pre-update backup back in place of the working database. The
// working file is kept under a name carrying the time of the restore, so
// both versions stay on disk, and the backup file stays where it is.
//
// The swap never leaves the folder without a working file and never
// replaces a file: the restored copy and the working file exchange names in
// one step, the old working file then moves to its kept name only where no
// file has that name, and a small record beside the database (".<name>.restoring")
// lets the next restore finish or undo one that was cut off part-way.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/DatabaseSession.h"
#include "db/SessionWindow.h"
#include "engine/FileLock.h"
#include "host/TargetDatabase.h"
#include "platform/AtomicFile.h"
#include "platform/OpenFileHolders.h"
#include "platform/Platform.h"

namespace backup {

// The services the restore uses; each must outlive it.
struct RestoreServices {
    platform::MessageBoxes& messageBoxes;
    platform::Clock& clock;
    platform::Shell& shell;
    platform::FileCopier& fileCopier;
};

using FileRename =
    std::function<platform::FileStatus(const std::string& from, const std::string& to)>;

// The renames of the swap and a point after each step of it, so tests can
// make a step fail or end the process there.
struct SwapOperations {
    FileRename exchange = platform::ExchangeFiles;
    FileRename renameNoReplace = platform::RenameNoReplace;
    std::function<std::vector<platform::FileHolder>(const std::string& path)> holders =
        platform::ProcessesHoldingOpen;
    std::function<void(std::string_view step)> stepDone;  // may be empty
};

// "%Y%m%d%H%M%S": the fourteen digits that name the kept working file.
std::string RestoreTimeStamp(const platform::LocalTime& time);

// The record of a swap in progress, beside the working file.
std::string RestoreRecordPath(const host::TargetDatabase& target);

// A file the restore gave another name; every one is reported.
struct RenamedFile {
    std::string from;
    std::string to;
};

// How the last restore command ended.
enum class RestoreOutcome {
    NotRun,
    NoBackup,  // no backup file: nothing happened
    Declined,  // the operator answered No
    Failed,    // refused or failed; its warning was shown
    Restored,  // the backup is the working file
};

class BackupRestore {
  public:
    // Everything handed in must outlive the restore.
    BackupRestore(db::SessionWindow& window, db::DatabaseSession& session,
                  const host::TargetDatabase& target, RestoreServices services,
                  std::string releaseDateText, SwapOperations operations = {});

    // The restore button. Without a backup file it does nothing. Otherwise,
    // once the operator confirms, the session is closed, the working file
    // locked against every other user of it, the backup copied beside it,
    // the copy and the working file swapped, the old working file kept as
    // FileName + time stamp + Extension (the next free name when that one is
    // taken) and the session reopened. While another program uses the
    // database, or merely has its file open, the restore is refused and
    // nothing changes; so it is when the copy of the backup fails the
    // database check (damaged, not a database, not version 1.25). A failed copy
    // shows "バックアップファイルの復元に失敗しました。", opens the database
    // folder and leaves the session closed. A missing working file is simply
    // replaced by the backup.
    void OnRestoreCommand();

    RestoreOutcome LastOutcome() const { return lastOutcome_; }
    // The files the last restore command renamed, in order, each with the
    // name it holds now.
    const std::vector<RenamedFile>& Renamed() const { return renamed_; }
    // The warning the last restore command ended with, when it failed.
    const std::optional<std::string>& FailureText() const { return failureText_; }

  private:
    void ShowWarning(const std::string& text);
    // Takes the working file's lock; why it could not, or nothing.
    std::optional<std::string> LockWorkingFile();
    // The other processes with the working file open, named; or nothing.
    std::optional<std::string> OtherHolders() const;
    void RefuseAsInUse(const std::string& why);
    void ReopenSession();
    void Step(std::string_view step) const;
    // Finishes or undoes a swap that a killed run left part-way and removes
    // the temporary files such a run leaves; what went wrong, or nothing.
    std::optional<std::string> SettleInterruptedRestore(const std::string& keptFallback);
    void RemoveLeftovers() const;
    // Moves the old working file from `from` to the kept name, or to the
    // next free one; the name it took.
    platform::FileStatus MoveToKeptName(const std::string& from, const std::string& kept,
                                        std::string& taken);
    void Swap(const std::string& staging, const std::string& kept);

    db::SessionWindow& window_;
    db::DatabaseSession& session_;
    const host::TargetDatabase& target_;
    RestoreServices services_;
    std::string releaseDateText_;
    SwapOperations operations_;
    std::optional<engine::DatabaseFileLock>
        lock_;  // on the working file from the confirmation to the swap
    RestoreOutcome lastOutcome_ = RestoreOutcome::NotRun;
    std::vector<RenamedFile> renamed_;
    std::optional<std::string> failureText_;
};

}  // namespace backup
