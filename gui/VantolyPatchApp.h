// The application object: the single-instance lock around the main window's
// modal run, and the lock of the database it shows (a command word takes
// neither: cli::RunCommandLine locks the database of one that changes it).
#pragma once

#include <functional>
#include <string>

#include "platform/DatabaseLock.h"
#include "platform/Platform.h"

class CVantolyPatchDlg;

class CVantolyPatchApp {
  public:
    CVantolyPatchApp(platform::Services& services, std::string applicationTitle);
    ~CVantolyPatchApp();

    // Start in the fixed order: the lock (a second copy shows its message and
    // ends with 1), the database's lock (held by a run changing it: a box
    // names that run, and 1), the main window built and initialised, `run`
    // with it, and its answer returned. Exit (the locks released) follows in
    // every case.
    int Run(const std::function<void(CVantolyPatchDlg&)>& wire,
            const std::function<int(CVantolyPatchDlg&)>& run);

    const std::string& ApplicationTitle() const { return applicationTitle_; }

  private:
    bool LockShownDatabase();
    void ExitInstance();

    platform::Services& services_;
    std::string applicationTitle_;
    bool locked_ = false;
    platform::DatabaseLock databaseLock_;
};
