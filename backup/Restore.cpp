#include "backup/Restore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

#include "backup/Backup.h"
#include "db/DatabaseFileCheck.h"
#include "engine/Engine.h"
#include "engine/FileLock.h"
#include "platform/FileCopy.h"
#include "platform/FileIdentity.h"
#include "platform/Temporaries.h"

namespace backup {

namespace {

constexpr std::string_view kRestoreFailedText = "バックアップファイルの復元に失敗しました。";
constexpr std::string_view kRecordTag = "tmp";

std::string RestoreQuestion(const std::string& fileName) {
    return "バックアップファイル(ファイル名：" + fileName + std::string(kBackupFileSuffix) +
           " が存在します。\nバックアップファイルを元の作業ファイルに戻しますか？\n\n"
           "現在の作業ファイルは、" +
           fileName + "+[実行時間] というファイル名に変更されます。";
}

using platform::FileIdentity;
using platform::IdentityOf;

struct RestoreRecord {
    FileIdentity working;  // the working file before the swap
    FileIdentity staging;  // the restored copy
    std::string kept;      // the name the old working file is to take
};

std::string RecordText(const RestoreRecord& record) {
    std::ostringstream out;
    out << "working " << record.working.device << ' ' << record.working.inode << '\n'
        << "staging " << record.staging.device << ' ' << record.staging.inode << '\n'
        << "kept " << record.kept << '\n';
    return out.str();
}

std::optional<RestoreRecord> ReadRecord(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    RestoreRecord record;
    std::string word;
    if (!(in >> word) || word != "working" ||
        !(in >> record.working.device >> record.working.inode))
        return {};
    if (!(in >> word) || word != "staging" ||
        !(in >> record.staging.device >> record.staging.inode))
        return {};
    if (!(in >> word) || word != "kept" || in.get() != ' ' || !std::getline(in, record.kept))
        return {};
    return record;
}

bool SameBytes(const std::string& first, const std::string& second) {
    std::ifstream a(first, std::ios::binary);
    std::ifstream b(second, std::ios::binary);
    if (!a || !b) return false;
    constexpr std::size_t kBlock = 1 << 16;
    std::string left(kBlock, '\0');
    std::string right(kBlock, '\0');
    for (;;) {
        a.read(left.data(), kBlock);
        b.read(right.data(), kBlock);
        if (a.gcount() != b.gcount()) return false;
        if (std::memcmp(left.data(), right.data(), static_cast<std::size_t>(a.gcount())) != 0)
            return false;
        if (a.gcount() == 0 || !a || !b) return !a && !b;
    }
}

// The restored copy becomes the working file, so it takes the working
// file's owner and permissions, not those of whoever runs the restore.
platform::FileStatus GiveAttributesOf(const std::string& model, const std::string& path) {
    struct stat info {};
    if (::stat(model.c_str(), &info) != 0) return {};
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) return platform::FileStatus::Failure(errno, "cannot open " + path);
    platform::FileStatus status;
    if (::fchown(descriptor, info.st_uid, info.st_gid) != 0 && errno != EPERM) {
        status =
            platform::FileStatus::Failure(errno, "cannot give " + path + " the owner of " + model);
    } else if (::fchmod(descriptor, info.st_mode & 07777) != 0) {
        status = platform::FileStatus::Failure(
            errno, "cannot give " + path + " the permissions of " + model);
    }
    ::close(descriptor);
    return status;
}

// "Toll20200524153012.mdb", then "Toll20200524153012_2.mdb", … .
std::string NumberedName(const std::string& kept, int number, const std::string& extension) {
    if (number == 1) return kept;
    const std::string stem = kept.substr(0, kept.size() - extension.size());
    return stem + "_" + std::to_string(number) + extension;
}

// The restore's refusal of a backup it cannot use, with the reason.
std::string UnusableBackupText(const std::string& backupFile, const std::string& reason) {
    return std::string(kRestoreFailedText) + "\nバックアップファイル " + backupFile +
           " は復元に使えません。作業ファイルは変更していません。\n" + reason;
}

}  // namespace

std::string RestoreTimeStamp(const platform::LocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string RestoreRecordPath(const host::TargetDatabase& target) {
    return target.PathName + "." + target.FileName + target.Extension + ".restoring";
}

BackupRestore::BackupRestore(db::SessionWindow& window, db::DatabaseSession& session,
                             const host::TargetDatabase& target, RestoreServices services,
                             std::string releaseDateText, SwapOperations operations)
    : window_(window),
      session_(session),
      target_(target),
      services_(services),
      releaseDateText_(std::move(releaseDateText)),
      operations_(std::move(operations)) {}

void BackupRestore::ShowWarning(const std::string& text) {
    lastOutcome_ = RestoreOutcome::Failed;  // every warning of the restore tells of a failure
    failureText_ = text;
    services_.messageBoxes.Show({.text = text,
                                 .caption = releaseDateText_,
                                 .buttons = platform::MessageButtons::Ok,
                                 .icon = platform::MessageIcon::Warning,
                                 .owner = platform::MessageOwner::Window});
}

void BackupRestore::ReopenSession() {
    lock_.reset();
    session_.OpenDatabase(target_.PathName, target_.FileName, target_.Extension);
    window_.RefreshControlState(db::ControlState::Idle);
}

std::optional<std::string> BackupRestore::LockWorkingFile() {
    const std::string workingFile = target_.FilePath();
    if (!IdentityOf(workingFile).Exists()) {
        std::string journal;
        if (engine::HasJournalBeside(workingFile, &journal))
            return "'" + journal + "' is left from an unfinished transaction.";
        return std::nullopt;
    }
    try {
        lock_.emplace(workingFile);
    } catch (const engine::ComError& error) {
        std::string refused = error.description().value_or(error.what());
        if (std::optional<std::string> holders = OtherHolders()) refused += "\n" + *holders;
        return refused;
    }
    if (std::optional<std::string> holders = OtherHolders()) {
        lock_.reset();
        return holders;
    }
    return std::nullopt;
}

std::optional<std::string> BackupRestore::OtherHolders() const {
    const std::vector<platform::FileHolder> holders = operations_.holders(target_.FilePath());
    if (holders.empty()) return std::nullopt;
    return "Another program has " + target_.FilePath() +
           " open: " + platform::DescribeHolders(holders) + ".";
}

void BackupRestore::RefuseAsInUse(const std::string& why) {
    ShowWarning(std::string(kRestoreFailedText) +
                "\nデータベースが他のプログラムで使用中か、終わっていない処理が残っています。"
                "使用中のプログラムを終了してから、もう一度実行して下さい。\n\n" +
                why);
    ReopenSession();
}

void BackupRestore::Step(std::string_view step) const {
    if (operations_.stepDone) operations_.stepDone(step);
}

platform::FileStatus BackupRestore::MoveToKeptName(const std::string& from, const std::string& kept,
                                                   std::string& taken) {
    for (int number = 1; number < 1000; ++number) {
        taken = NumberedName(kept, number, target_.Extension);
        platform::FileStatus moved = operations_.renameNoReplace(from, taken);
        if (moved.error != EEXIST) return moved;
    }
    return platform::FileStatus::Failure(EEXIST, "no free name for " + kept);
}

void BackupRestore::RemoveLeftovers() const {
    const std::string stagingName = target_.FileName + std::string(kBackupFileSuffix);
    const std::string recordName = platform::NameOf(RestoreRecordPath(target_));
    const std::string backupFolder = BackupFolderPath(target_);
    const std::pair<std::string, std::vector<std::pair<std::string, std::string_view>>> folders[] =
        {
            {target_.PathName, {{stagingName, platform::kCopyTag}, {recordName, kRecordTag}}},
            {backupFolder, {{stagingName, platform::kCopyTag}}},
        };
    for (const auto& [folder, patterns] : folders) {
        DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
        if (directory == nullptr) continue;
        std::vector<std::string> leftovers;
        while (const dirent* entry = ::readdir(directory)) {
            for (const auto& [name, tag] : patterns) {
                if (platform::IsLeftoverOf(entry->d_name, name, tag))
                    leftovers.emplace_back(entry->d_name);
            }
        }
        ::closedir(directory);
        // A live run's copy (an update's backup being taken) is held under
        // its lock and stays.
        for (const std::string& name : leftovers)
            platform::RemoveIfUnlocked(folder + name, platform::TemporaryKind::File);
    }
}

std::optional<std::string> BackupRestore::SettleInterruptedRestore(
    const std::string& keptFallback) {
    RemoveLeftovers();
    const std::string recordPath = RestoreRecordPath(target_);
    const std::string workingFile = target_.FilePath();
    const std::string stagingCopy =
        target_.PathName + target_.FileName + std::string(kBackupFileSuffix);
    const FileIdentity working = IdentityOf(workingFile);
    const FileIdentity staging = IdentityOf(stagingCopy);

    if (!IdentityOf(recordPath).Exists()) {
        // A copy left by a run that ended before it recorded a swap. Only an
        // exact copy of the backup is removed; anything else under that name
        // stays, and the copy asks before replacing it.
        if (staging.Exists() && SameBytes(stagingCopy, BackupFilePath(target_))) {
            ::unlink(stagingCopy.c_str());
        }
        return std::nullopt;
    }
    const std::optional<RestoreRecord> record = ReadRecord(recordPath);
    if (!record) {
        return "前回中断された復元の記録を読めません：" + recordPath;
    }
    platform::FileStatus settled;
    if (working.Exists() && working == record->staging) {
        // Swapped: the old working file may still wait under the staging name.
        if (staging.Exists() && staging == record->working) {
            std::string taken;
            settled = MoveToKeptName(stagingCopy,
                                     record->kept.empty() ? keptFallback : record->kept, taken);
            if (settled.Succeeded()) renamed_.push_back({stagingCopy, taken});
        }
    } else if (working.Exists() && working == record->working) {
        // Not swapped yet: the copy goes, the working file stays as it was.
        if (staging.Exists() && staging == record->staging && ::unlink(stagingCopy.c_str()) != 0) {
            settled = platform::FileStatus::Failure(errno, "cannot remove " + stagingCopy);
        }
    } else if (!working.Exists() && staging.Exists() && staging == record->staging) {
        // Between the two renames of a file system that cannot swap.
        settled = operations_.renameNoReplace(stagingCopy, workingFile);
        if (settled.Succeeded()) renamed_.push_back({stagingCopy, workingFile});
    } else {
        return "前回中断された復元の後でファイルが変わったため、続きを判断できません。" +
               target_.PathName + " のファイルを確認し、" + recordPath + " を削除して下さい。";
    }
    if (!settled.Succeeded()) return "前回中断された復元を完了できません：" + settled.message;
    platform::SyncFolder(target_.PathName);
    ::unlink(recordPath.c_str());
    platform::SyncFolder(target_.PathName);
    Step("settled");
    return std::nullopt;
}

void BackupRestore::OnRestoreCommand() {
    lastOutcome_ = RestoreOutcome::NotRun;
    renamed_.clear();
    failureText_.reset();
    const std::string backupFile = BackupFilePath(target_);
    // A folder that cannot be created holds no backup file, which ends the
    // command below as an absent backup does.
    EnsureBackupFolder(target_);
    if (!IdentityOf(backupFile).Exists()) {
        lastOutcome_ = RestoreOutcome::NoBackup;
        return;
    }

    const platform::MessageAnswer answer =
        services_.messageBoxes.Show({.text = RestoreQuestion(target_.FileName),
                                     .caption = releaseDateText_,
                                     .buttons = platform::MessageButtons::YesNo,
                                     .icon = platform::MessageIcon::Information,
                                     .owner = platform::MessageOwner::Window});
    if (answer != platform::MessageAnswer::Yes) {
        lastOutcome_ = RestoreOutcome::Declined;
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

    // Held until the swap is done: no other program may be inside the
    // database while its file changes name, or its journal would later be
    // replayed into the wrong file. A missing working file has no user.
    if (const std::optional<std::string> refused = LockWorkingFile()) {
        RefuseAsInUse(*refused);
        return;
    }
    Step("locked");

    if (const std::optional<std::string> unsettled = SettleInterruptedRestore(keptFile)) {
        ShowWarning(std::string(kRestoreFailedText) + "\n" + *unsettled);
        ReopenSession();
        return;
    }

    // A journal beside the backup holds the pages of a transaction that never
    // ended; the file alone would bring that half-written transaction back.
    // SQLite plays it back under the file's lock, as any open of the backup
    // would, and the lock holds the backup still while it is copied.
    std::optional<engine::DatabaseFileLock> backupLock;
    if (engine::HasJournalBeside(backupFile)) {
        try {
            backupLock.emplace(backupFile);
        } catch (const engine::ComError& error) {
            ShowWarning(UnusableBackupText(backupFile, error.description().value_or(error.what())));
            ReopenSession();
            return;
        }
    }
    const bool copied = services_.fileCopier.CopyFileWithShell(backupFile, stagingCopy, "");
    backupLock.reset();
    if (!copied) {
        ShowWarning(std::string(kRestoreFailedText));
        lock_.reset();
        services_.shell.Open(target_.PathName);
        window_.RefreshControlState(db::ControlState::Idle);
        return;
    }
    Step("copied");
    // Only a copy that reads as a whole 1.25 database may take the working
    // name: a cut or foreign backup would otherwise stand where the host
    // application opens its database.
    if (const std::optional<std::string> problem =
            db::CheckDatabaseFile(stagingCopy, target_.Password, kBackupVersion)) {
        ::unlink(stagingCopy.c_str());
        ShowWarning(UnusableBackupText(backupFile, "The copy of the backup " + *problem));
        ReopenSession();
        return;
    }
    Step("verified");
    // A program may have opened the file while the backup was copied.
    if (const std::optional<std::string> holders = OtherHolders()) {
        ::unlink(stagingCopy.c_str());
        RefuseAsInUse(*holders);
        return;
    }
    Swap(stagingCopy, keptFile);
}

void BackupRestore::Swap(const std::string& stagingCopy, const std::string& keptFile) {
    const std::string workingFile = target_.FilePath();
    const std::string recordPath = RestoreRecordPath(target_);
    const FileIdentity working = IdentityOf(workingFile);
    auto giveUp = [&](const std::string& why) {
        ::unlink(stagingCopy.c_str());
        ::unlink(recordPath.c_str());
        ShowWarning(std::string(kRestoreFailedText) + "\n" + why);
        ReopenSession();
    };

    if (!working.Exists()) {
        // Nothing to keep; the name is taken only if it is still free.
        const platform::FileStatus placed = operations_.renameNoReplace(stagingCopy, workingFile);
        if (!placed.Succeeded()) return giveUp(placed.message);
        renamed_.push_back({stagingCopy, workingFile});
        platform::SyncFolder(target_.PathName);
        Step("swapped");
        lastOutcome_ = RestoreOutcome::Restored;
        ReopenSession();
        return;
    }

    if (const platform::FileStatus given = GiveAttributesOf(workingFile, stagingCopy);
        !given.Succeeded()) {
        return giveUp(given.message);
    }
    const RestoreRecord record{working, IdentityOf(stagingCopy), keptFile};
    if (const platform::FileStatus written = platform::WriteFileWhole(
            recordPath, RecordText(record), 0600, platform::NewFile::Replace::Never);
        !written.Succeeded()) {
        return giveUp(written.message);
    }
    Step("recorded");

    std::string oldWorkingAt = stagingCopy;  // where the old working file is after the first step
    std::size_t oldWorkingEntry = 0;         // its entry in renamed_
    std::string taken;
    platform::FileStatus swapped = operations_.exchange(stagingCopy, workingFile);
    if (swapped.error == EINVAL || swapped.error == ENOSYS) {
        // A file system that cannot swap names: the old working file goes
        // to its kept name first, then the copy takes the working name. The
        // record lets the next run finish a restore cut off between the two.
        if (const platform::FileStatus kept = MoveToKeptName(workingFile, keptFile, taken);
            !kept.Succeeded()) {
            return giveUp(kept.message);
        }
        oldWorkingAt = taken;
        renamed_.push_back({workingFile, taken});
        Step("kept");
        swapped = operations_.renameNoReplace(stagingCopy, workingFile);
        if (!swapped.Succeeded()) {
            // Put the working file back; the record stays for the next run
            // should even that fail.
            if (operations_.renameNoReplace(taken, workingFile).Succeeded()) {
                renamed_.pop_back();
                return giveUp(swapped.message);
            }
            ShowWarning(std::string(kRestoreFailedText) + "\n" + swapped.message +
                        "\n元の作業ファイルは " + taken +
                        " にあります。次回の復元がこの続きを行います。");
            ReopenSession();
            return;
        }
    } else if (!swapped.Succeeded()) {
        return giveUp(swapped.message);
    } else {
        oldWorkingEntry = renamed_.size();
        renamed_.push_back({workingFile, stagingCopy});
    }
    renamed_.push_back({stagingCopy, workingFile});
    platform::SyncFolder(target_.PathName);
    Step("swapped");

    if (oldWorkingAt == stagingCopy) {
        if (const platform::FileStatus kept = MoveToKeptName(stagingCopy, keptFile, taken);
            !kept.Succeeded()) {
            // The backup is in place; the old working file is safe under the
            // staging name, and the record lets the next restore move it.
            ShowWarning(std::string(kRestoreFailedText) + "\n元の作業ファイルは " + stagingCopy +
                        " に残っています。\n" + kept.message);
            ReopenSession();
            return;
        }
        renamed_[oldWorkingEntry].to = taken;  // the old working file went on to its kept name
        platform::SyncFolder(target_.PathName);
        Step("kept");
    }
    ::unlink(recordPath.c_str());
    platform::SyncFolder(target_.PathName);
    Step("done");
    lastOutcome_ = RestoreOutcome::Restored;
    ReopenSession();
    if (taken != keptFile) {
        services_.messageBoxes.Show(
            {.text = platform::NameOf(keptFile) + " は既に存在するため、現在の作業ファイルは " +
                     platform::NameOf(taken) + " というファイル名に変更しました。",
             .caption = releaseDateText_,
             .buttons = platform::MessageButtons::Ok,
             .icon = platform::MessageIcon::Information,
             .owner = platform::MessageOwner::Window});
    }
}

}  // namespace backup
