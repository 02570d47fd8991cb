#include "gui/VantolyPatchApp.h"

#include "gui/VantolyPatchDlg.h"
#include "host/HostGuard.h"

CVantolyPatchApp::CVantolyPatchApp(platform::Services& services, std::string applicationTitle)
    : services_(services), applicationTitle_(std::move(applicationTitle)) {}

CVantolyPatchApp::~CVantolyPatchApp() {
    ExitInstance();
}

int CVantolyPatchApp::Run(const std::function<void(CVantolyPatchDlg&)>& wire,
                          const std::function<int(CVantolyPatchDlg&)>& run) {
    return RunLocked([&] {
        CVantolyPatchDlg dialog(services_, applicationTitle_);
        if (wire) wire(dialog);
        dialog.OnInitDialog();
        return run(dialog);
    });  // the window is destroyed (and its session closed) before the lock goes
}

int CVantolyPatchApp::RunLocked(const std::function<int()>& body) {
    if (!host::EnsureSingleInstance(services_.instanceLock, services_.messageBoxes)) {
        ExitInstance();
        return 1;
    }
    locked_ = true;
    const int status = body();
    ExitInstance();
    return status;
}

void CVantolyPatchApp::ExitInstance() {
    if (!locked_) return;
    host::ReleaseSingleInstance(services_.instanceLock);
    locked_ = false;
}
