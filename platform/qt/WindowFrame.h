// The fixed frames of the tool's windows: a caption with the system menu and
// the close box, no minimise or maximise box, no resize handles, the size
// the window was laid out at. Qt's own hints cannot say this on X11: they
// always offer resizing, and a window without its close box loses every
// function restriction. So the window manager's hints are written here, and
// again whenever Qt has written its own.
#pragma once

class QWidget;

namespace platform {

// _MOTIF_WM_HINTS as the window manager reads them.
struct MotifHints {
    unsigned long flags = 0;
    unsigned long functions = 0;
    unsigned long decorations = 0;
    long inputMode = 0;
    unsigned long status = 0;
};

// The hints of a fixed frame: moved, and closed only while `closable`.
MotifHints FixedFrameHints(bool closable);

// Gives a top-level `window` its fixed frame at its present size (a window
// with a layout keeps the size its layout asks for). Call once its controls
// are laid out.
void SetFixedFrame(QWidget& window);

// Offers or takes away the close box (the window manager greys it and drops
// "close" from the window's allowed actions) without re-creating the window.
void SetCloseAllowed(QWidget& window, bool allowed);
bool CloseAllowed(const QWidget& window);

}  // namespace platform
