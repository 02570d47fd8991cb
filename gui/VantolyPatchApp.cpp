#include "gui/VantolyPatchApp.h"

#include "gui/VantolyPatchDlg.h"
#include "host/HostGuard.h"
#include "host/TargetDatabaseLocation.h"

CVantolyPatchApp::CVantolyPatchApp(platform::Services& services, std::string applicationTitle)
    : services_(services), applicationTitle_(std::move(applicationTitle)) {}

CVantolyPatchApp::~CVantolyPatchApp() {
    ExitInstance();
}

int CVantolyPatchApp::Run(const std::function<void(CVantolyPatchDlg&)>& wire,
                          const std::function<int(CVantolyPatchDlg&)>& run) {
    if (!host::EnsureSingleInstance(services_.instanceLock, services_.messageBoxes)) {
        ExitInstance();
        return 1;
    }
    locked_ = true;
    if (!LockShownDatabase()) {
        ExitInstance();
        return 1;
    }
    int status = 1;
    {
        CVantolyPatchDlg dialog(services_, applicationTitle_);
        if (wire) wire(dialog);
        dialog.OnInitDialog();
        status = run(dialog);
    }  // the window is destroyed (and its session closed) before the locks go
    ExitInstance();
    return status;
}

// The window changes the database it shows (update, restore, conversion in
// place): held for as long as it is open, so a command word that would
// change it too is refused, and the window does not open over such a run.
bool CVantolyPatchApp::LockShownDatabase() {
    host::TargetDatabase shown;
    host::ReadTargetDatabaseLocation(shown, services_.registry);
    if (shown.FileName.empty()) return true;  // nothing to change; the window says so
    const std::string path = shown.FilePath();
    // Unavailable (a folder that cannot hold the file): the window runs
    // without it, as without the single-instance lock.
    if (databaseLock_.Acquire(path, platform::kWindowHolder) !=
        platform::DatabaseLock::Result::kHeldElsewhere)
        return true;
    services_.messageBoxes.Show(platform::MessageBoxRequest{
        .text = host::DatabaseInUseText(path, databaseLock_),
        .caption = {},
        .buttons = platform::MessageButtons::Ok,
        .icon = platform::MessageIcon::Warning,
        .owner = platform::MessageOwner::Application,
    });
    return false;
}

void CVantolyPatchApp::ExitInstance() {
    databaseLock_.Release();
    if (!locked_) return;
    host::ReleaseSingleInstance(services_.instanceLock);
    locked_ = false;
}
