// What the update asks of the program around the window: the host
// application's guard, the backup, the error log and the clipboard. The main
// window's logic (commands::MainWindowLogic) provides it once for the window
// and the command words alike; it shows nothing of the window itself.
#pragma once

#include <string>

namespace update {

// What the pre-update backup decided.
enum class BackupOutcome { Proceed, Abandon };

class UpdateHost {
  public:
    virtual ~UpdateHost() = default;

    // Asks the running host application to close; false when the operator
    // declined, and then nothing else may happen.
    virtual bool AskToCloseHostApplication() = 0;

    // Offers the pre-update backup and takes it when the operator agrees.
    virtual BackupOutcome TakePreUpdateBackup() = 0;

    // Writes one error log file and shows its own message box with the
    // three texts before it returns.
    virtual void WriteErrorLog(const std::string& functionName, const std::string& query,
                               const std::string& errorText) = 0;

    // CopyTextToClipboard with the main window as owner.
    virtual void CopyTextToClipboard(const std::string& text) = 0;
};

}  // namespace update
