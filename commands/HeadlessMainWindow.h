// The main window for the command words: the same logic as the window
// (MainWindowLogic), no widgets. It keeps what the window would show (the
// title, the fields, the state of the two buttons), prints the update's error
// report where the window would open its dialog, and keeps no progress bar.
#pragma once

#include <iosfwd>
#include <string>

#include "commands/MainWindowLogic.h"

namespace commands {

// The update error dialog's report as the terminal gets it.
void PrintUpdateReport(std::ostream& err, const std::string& reportText);

class HeadlessMainWindow : public MainWindowInterface {
  public:
    // `makeBackupFolder` false: a run that must leave no file behind (a dry
    // run), whose idle state then does not create the backup folder.
    HeadlessMainWindow(platform::Services& services, std::string applicationTitle,
                       std::ostream& err, bool makeBackupFolder);

    // As the window's initialisation: the location loaded, the controls idle.
    void Initialise();

    MainWindowLogic& logic() { return logic_; }
    const MainWindowLogic& logic() const { return logic_; }
    const std::string& Title() const { return title_; }
    bool UpdateButtonEnabled() const { return controls_.update; }
    bool RestoreButtonEnabled() const { return controls_.restore; }

    // db::SessionWindow, host::LocationWindow
    void SetWindowTitle(const std::string& title) override { title_ = title; }
    void EnableUpdateButton() override { controls_.update = true; }
    void ShowVersionText(const std::string& versionText) override;
    void RefreshControlState(db::ControlState state) override;
    void ShowLocationFields(const host::TargetDatabase&) override {}

    // update::UpdateView
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int position) override { progress_ = position; }
    int ProgressPosition() const override { return progress_; }
    void ShowProgressBar() override {}
    void HideProgressBar() override {}
    void ShowUpdateErrorDialog(const std::string& reportText) override;

  private:
    MainWindowLogic logic_;
    std::ostream& err_;
    bool makeBackupFolder_;
    std::string title_;
    ControlStates controls_;
    int progress_ = 0;
};

}  // namespace commands
