#include "commands/MainWindowLogic.h"

#include "backup/Backup.h"
#include "backup/Restore.h"
#include "errors/ErrorLog.h"
#include "host/HostGuard.h"
#include "host/TargetDatabaseLocation.h"
#include "import/Import.h"
#include "platform/DatabaseLock.h"
#include "platform/FileIdentity.h"
#include "platform/Temporaries.h"
#include "update/UpdateDriver.h"
#include "update/UpdateScriptRunner.h"
#include "update/VersionFacts.h"

namespace commands {

MainWindowLogic::MainWindowLogic(MainWindowInterface& window, platform::Services& services,
                                 std::string applicationTitle)
    : session(window, services.messageBoxes,
              db::SessionTexts{applicationTitle, std::string(update::kReleaseDate)}),
      updateContents(update::kUpdateContents.begin(), update::kUpdateContents.end()),
      window_(window),
      services_(services),
      applicationTitle_(std::move(applicationTitle)) {
    const update::UpdateTexts texts{applicationTitle_, std::string(update::kReleaseDate)};
    runner_ = std::make_unique<update::UpdateScriptRunner>(
        window_, *this, session, target,
        update::UpdateServices{services_.messageBoxes, services_.cursor, services_.messagePump},
        texts);
    driver_ = std::make_unique<update::UpdateDriver>(window_, *this, session, *runner_,
                                                     services_.messageBoxes, texts);
    restore_ = std::make_unique<backup::BackupRestore>(
        window_, session, target,
        backup::RestoreServices{services_.messageBoxes, services_.clock, services_.shell,
                                services_.fileCopier},
        std::string(update::kReleaseDate));
}

MainWindowLogic::~MainWindowLogic() {
    session.CloseDatabase();
}

void MainWindowLogic::LoadLocation() {
    // A conversion in place cut off part-way is settled before anything
    // opens the database, whatever the command: the working name must hold
    // one database or the other, and the genuine file its announced name.
    host::TargetDatabase located;
    std::vector<std::string> paths;
    if (host::ReadTargetDatabaseLocation(located, services_.registry)) {
        paths.push_back(located.FilePath());
    } else if (!located.FileName.empty()) {
        // Killed between the two renames of a file system that cannot swap,
        // the working name is empty: the record is found beside either name.
        for (const char* extension : {".mdb", ".accdb"}) {
            located.Extension = extension;
            paths.push_back(located.FilePath());
        }
    }
    for (const std::string& path : paths) {
        // A command that only reads holds no lock and may find the record of
        // a conversion another run is making now: that run's to finish, not ours.
        if (!platform::IdentityOf(genuine::ConversionRecordPath(path)).Exists()) continue;
        platform::DatabaseLock settling;
        if (settling.Acquire(path, "settling an interrupted conversion") ==
            platform::DatabaseLock::Result::kHeldElsewhere)
            continue;
        try {
            if (const std::optional<std::string> settled =
                    genuine::SettleInterruptedConversion(path)) {
                ShowSettlement(*settled, platform::MessageIcon::Information);
            }
        } catch (const genuine::ImportError& error) {
            ShowSettlement(error.what(), platform::MessageIcon::Warning);
        }
    }
    host::LoadTargetDatabaseLocation(target, services_.registry, session, window_);
    // What killed runs left beside the database and its backup goes first.
    if (!target.PathName.empty()) {
        platform::RemoveStaleTemporaries(target.PathName);
        platform::RemoveStaleTemporaries(backup::BackupFolderPath(target));
    }
}

void MainWindowLogic::ShowSettlement(const std::string& text, platform::MessageIcon icon) {
    services_.messageBoxes.Show({.text = text,
                                 .caption = applicationTitle_,
                                 .buttons = platform::MessageButtons::Ok,
                                 .icon = icon,
                                 .owner = platform::MessageOwner::Window});
}

ControlStates MainWindowLogic::ControlsFor(db::ControlState state, bool makeBackupFolder) const {
    ControlStates controls;
    controls.idle = state == db::ControlState::Idle;
    controls.tools = controls.idle && session.SessionConnection() != nullptr;
    controls.update = controls.idle && session.Connected();
    // A folder that cannot be made shows as the restore button staying off;
    // the backup itself reports why when the update needs the folder.
    if (makeBackupFolder) backup::EnsureBackupFolder(target);
    controls.restore = controls.idle && backup::BackupFileExists(target);
    return controls;
}

void MainWindowLogic::OnUpdateCommand() {
    hostGuard_ = host::HostGuardOutcome::NotRun;
    errorLogPath_.reset();
    driver_->OnUpdateCommand();
}

void MainWindowLogic::OnRestoreCommand() {
    restore_->OnRestoreCommand();
}

bool MainWindowLogic::AskToCloseHostApplication() {
    hostGuard_ = host::AskToCloseHostApplication(services_.hostWindows, services_.messageBoxes,
                                                 services_.clock);
    return hostGuard_ != host::HostGuardOutcome::KeptOpen;
}

update::BackupOutcome MainWindowLogic::TakePreUpdateBackup() {
    std::string failure;
    const bool proceed = backup::TakePreUpdateBackup(
        target, session.SessionConnection(),
        backup::BackupServices{services_.messageBoxes, services_.shell, services_.fileCopier},
        std::string(update::kReleaseDate), &failure);
    backupCopyFailure_.reset();
    if (!failure.empty()) backupCopyFailure_ = failure;
    return proceed ? update::BackupOutcome::Proceed : update::BackupOutcome::Abandon;
}

void MainWindowLogic::WriteErrorLog(const std::string& functionName, const std::string& query,
                                    const std::string& errorText) {
    const errors::ErrorLogResult log = errors::WriteErrorLog(
        target.PathName, functionName, query, errorText, services_.clock, services_.messageBoxes,
        applicationTitle_, host::HostGuardText(hostGuard_));
    if (log.written) errorLogPath_ = log.path;
}

void MainWindowLogic::CopyTextToClipboard(const std::string& text) {
    errors::CopyTextToClipboard(text, true, services_.clipboard, services_.messageBoxes,
                                applicationTitle_);
}

}  // namespace commands
