// The host application's window on X11: a top-level window whose WM_CLASS
// class names the host, asked to close with WM_DELETE_WINDOW.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace platform {

class X11HostWindows : public HostWindows {
  public:
    // `displayName` as XOpenDisplay takes it; empty means $DISPLAY. Without a
    // reachable display there is no host window.
    explicit X11HostWindows(std::string displayName = "");

    // Looks at top-level windows, mapped or not (a minimised, withdrawn or
    // never shown host still holds the database), and, for a window
    // manager's frames, at their children. Override-redirect and input-only
    // windows are passed over. Of several, Find names a shown window before a
    // minimised one before a hidden one, the topmost of equals.
    bool Find(const std::string& windowClass) override;
    // Sends WM_PROTOCOLS/WM_DELETE_WINDOW to the window Find would name and
    // waits until the X server has passed it on (not until it is handled).
    bool RequestClose(const std::string& windowClass) override;

  private:
    std::string displayName_;
};

}  // namespace platform
