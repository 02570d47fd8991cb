// What the main window works on, without the window: the target database
// record and its session, the update (script runner and driver), the restore,
// and the parts of the window's duties that show nothing (the backup, the
// error log, the clipboard, the host guard, the state of the two buttons).
// The window and the headless command words each own one, so the buttons and
// the command words run the same code.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/DatabaseSession.h"
#include "host/HostGuard.h"
#include "host/TargetDatabase.h"
#include "host/TargetDatabaseLocation.h"
#include "platform/Platform.h"
#include "update/UpdateHost.h"
#include "update/UpdateView.h"

namespace update {
class UpdateDriver;
class UpdateScriptRunner;
}  // namespace update
namespace backup {
class BackupRestore;
}  // namespace backup

namespace commands {

// Everything the session, the location, the update and the restore show in
// the main window, in one interface.
class MainWindowInterface : public host::LocationWindow, public update::UpdateView {
  public:
    // One override serves both bases.
    void RefreshControlState(db::ControlState state) override = 0;
    void ShowVersionText(const std::string& versionText) override = 0;
};

// Which controls an idle or busy window enables.
struct ControlStates {
    bool idle = true;      // the close command
    bool tools = false;    // the viewer and console menu items
    bool update = false;   // button 1000
    bool restore = false;  // button 1014
};

class MainWindowLogic : public update::UpdateHost {
  public:
    // `window`, `services` must outlive the logic; nothing is called on the
    // window during construction.
    MainWindowLogic(MainWindowInterface& window, platform::Services& services,
                    std::string applicationTitle);
    ~MainWindowLogic() override;  // closes the session
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // The registry's database located and opened; the window shows the
    // outcome. A conversion in place of it that a killed run left part-way is
    // finished or undone first, and a box says which.
    void LoadLocation();
    // The controls of a window in `state`. Unless `makeBackupFolder` is false
    // (a run that must leave no file), the backup folder is made when missing:
    // without it the restore button could never come on.
    ControlStates ControlsFor(db::ControlState state, bool makeBackupFolder) const;

    void OnUpdateCommand();   // the update button
    void OnRestoreCommand();  // the restore button

    // update::UpdateHost: the update's needs that show nothing of the window.
    bool AskToCloseHostApplication() override;
    update::BackupOutcome TakePreUpdateBackup() override;
    void WriteErrorLog(const std::string& functionName, const std::string& query,
                       const std::string& errorText) override;
    void CopyTextToClipboard(const std::string& text) override;

    // Why the last backup the update asked for could not be copied; nothing
    // when it was taken, skipped or declined.
    const std::optional<std::string>& BackupCopyFailure() const { return backupCopyFailure_; }
    // The error log the last update wrote; nothing when it wrote none.
    const std::optional<std::string>& ErrorLogPath() const { return errorLogPath_; }
    // How the host guard of the last update ended.
    host::HostGuardOutcome HostGuard() const { return hostGuard_; }

    MainWindowInterface& window() { return window_; }
    platform::Services& services() const { return services_; }
    const std::string& applicationTitle() const { return applicationTitle_; }
    update::UpdateDriver& updateDriver() { return *driver_; }
    update::UpdateScriptRunner& updateRunner() { return *runner_; }
    backup::BackupRestore& restore() { return *restore_; }

    host::TargetDatabase target;
    db::DatabaseSession session;
    // The lines the main window lists as the update's contents.
    std::vector<std::string> updateContents;

  private:
    void ShowSettlement(const std::string& text, platform::MessageIcon icon);
    MainWindowInterface& window_;
    platform::Services& services_;
    std::string applicationTitle_;
    std::unique_ptr<update::UpdateScriptRunner> runner_;
    std::unique_ptr<update::UpdateDriver> driver_;
    std::unique_ptr<backup::BackupRestore> restore_;
    std::optional<std::string> backupCopyFailure_;
    std::optional<std::string> errorLogPath_;
    host::HostGuardOutcome hostGuard_ = host::HostGuardOutcome::NotRun;
};

}  // namespace commands
