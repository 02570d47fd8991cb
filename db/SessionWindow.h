// What the database session changes in the main window, and nothing more, so
// that the session runs without a window in tests and from the command line.
#pragma once

#include <string>

namespace db {

enum class ControlState { Idle, Busy };

class SessionWindow {
  public:
    virtual ~SessionWindow() = default;

    virtual void SetWindowTitle(const std::string& title) = 0;

    // Enables the update button (control 1000).
    virtual void EnableUpdateButton() = 0;

    // Copies the controls into the fields, sets `VersionText` to the given
    // text ("ver." followed by the version) and copies the fields back into
    // the controls.
    virtual void ShowVersionText(const std::string& versionText) = 0;

    // The one place that enables and disables the close command, the tool
    // menu items and the two buttons.
    virtual void RefreshControlState(ControlState state) = 0;
};

}  // namespace db
