// What the update shows in the main window. The window (CVantolyPatchDlg)
// and its stand-ins implement it and hand it to the update, so the update's
// logic runs and is tested without a window.
//
// RefreshControlState and ShowVersionText have the signatures of
// db::SessionWindow, so a window implementing both interfaces overrides each
// of them once.
#pragma once

#include <string>

#include "db/SessionWindow.h"

namespace update {

class UpdateView {
  public:
    virtual ~UpdateView() = default;

    // The one place that enables and disables the close command, the tool
    // menu items and the two buttons.
    virtual void RefreshControlState(db::ControlState state) = 0;

    // Copies the controls into the fields, sets `VersionText` to the given
    // text ("ver." followed by the version) and copies the fields back.
    virtual void ShowVersionText(const std::string& versionText) = 0;

    // Progress bar 1001.
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual int ProgressPosition() const = 0;
    virtual void ShowProgressBar() = 0;
    virtual void HideProgressBar() = 0;

    // Shows the update error dialog (CUpdateErrorMsgDlg, no parent) modally
    // with `reportText` as its `ReportText`.
    virtual void ShowUpdateErrorDialog(const std::string& reportText) = 0;
};

}  // namespace update
