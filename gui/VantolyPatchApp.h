// The application object: the single-instance lock around the main window's
// modal run.
#pragma once

#include <functional>
#include <string>

#include "platform/Platform.h"

class CVantolyPatchDlg;

class CVantolyPatchApp {
  public:
    CVantolyPatchApp(platform::Services& services, std::string applicationTitle);
    ~CVantolyPatchApp();

    // Start in the fixed order: the lock (a second copy shows its message and
    // ends with 1), the main window built and initialised, `run` with it, and
    // its answer returned. Exit (the lock released) follows in every case.
    int Run(const std::function<void(CVantolyPatchDlg&)>& wire,
            const std::function<int(CVantolyPatchDlg&)>& run);
    // The same order around `body`, which builds no window: the lock, `body`
    // and its answer, the lock released.
    int RunLocked(const std::function<int()>& body);

    const std::string& ApplicationTitle() const { return applicationTitle_; }

  private:
    void ExitInstance();

    platform::Services& services_;
    std::string applicationTitle_;
    bool locked_ = false;
};
