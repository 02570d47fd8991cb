#include "platform/X11HostWindows.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <optional>

namespace platform {

namespace {

// Windows may vanish while we walk the tree (BadWindow); Xlib's default
// handler would end the process, so errors are only counted.
int g_x11Errors = 0;

int CountError(Display*, XErrorEvent*) {
    ++g_x11Errors;
    return 0;
}

// An open display with our error handler installed for its lifetime.
class DisplayConnection {
  public:
    explicit DisplayConnection(const std::string& name)
        : display_(XOpenDisplay(name.empty() ? nullptr : name.c_str())) {
        if (display_ != nullptr) {
            previousHandler_ = XSetErrorHandler(CountError);
            g_x11Errors = 0;
        }
    }
    ~DisplayConnection() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
            XSetErrorHandler(previousHandler_);
        }
    }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;

    Display* Get() const { return display_; }

  private:
    Display* display_;
    XErrorHandler previousHandler_ = nullptr;
};

// How well a host window stands for the host when it is asked to close: a
// window on screen first, then one a window manager keeps minimised, then
// one never shown or withdrawn (an application may keep hidden top-level
// windows beside its main one).
enum class HostWindowRank { kHidden, kMinimised, kShown };

bool HasWindowManagerState(Display* display, Window window) {
    const Atom wmState = XInternAtom(display, "WM_STATE", True);
    if (wmState == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool has = XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type,
                                        &format, &count, &after, &data) == Success &&
                     type == wmState && count > 0;
    if (data != nullptr) XFree(data);
    return has;
}

// A window of the host, whatever its state: minimised (unmapped under a
// window manager), withdrawn or never shown, the host still holds the
// database, so the map state only ranks it. Override-redirect windows
// (menus, tooltips) and input-only windows are no top-level windows of their
// own and do not count.
std::optional<HostWindowRank> HostWindowRankOf(Display* display, Window window,
                                               const std::string& windowClass) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        attributes.c_class != InputOutput || attributes.override_redirect) {
        return std::nullopt;
    }
    XClassHint hint{};
    if (XGetClassHint(display, window, &hint) == 0) return std::nullopt;
    const bool matches = hint.res_class != nullptr && windowClass == hint.res_class;
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    if (!matches) return std::nullopt;
    if (attributes.map_state == IsViewable) return HostWindowRank::kShown;
    return HasWindowManagerState(display, window) ? HostWindowRank::kMinimised
                                                  : HostWindowRank::kHidden;
}

// Calls `visit` with the children of `parent`, topmost first, until it
// answers true.
template <typename Visit>
void VisitChildren(Display* display, Window parent, Visit visit) {
    Window root = 0;
    Window ignoredParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &ignoredParent, &children, &count) == 0) return;
    for (unsigned int i = count; i-- > 0 && !visit(children[i]);) {
    }
    if (children != nullptr) XFree(children);
}

// Without a window manager the host's window is a child of the root; with
// one it sits inside a frame, one level further down. A host window is not
// searched inside: its children are parts of it, not windows of their own.
// The best ranked window, the topmost of equals; a shown one ends the walk.
std::optional<Window> FindHostWindow(Display* display, const std::string& windowClass) {
    std::optional<Window> best;
    HostWindowRank bestRank = HostWindowRank::kHidden;
    // True when `window` is a host window (and the walk goes no deeper).
    auto consider = [&](Window window) {
        const std::optional<HostWindowRank> rank = HostWindowRankOf(display, window, windowClass);
        if (!rank) return false;
        if (!best || *rank > bestRank) {
            best = window;
            bestRank = *rank;
        }
        return true;
    };
    VisitChildren(display, DefaultRootWindow(display), [&](Window topLevel) {
        if (!consider(topLevel)) {
            VisitChildren(display, topLevel, [&](Window child) {
                consider(child);
                return bestRank == HostWindowRank::kShown;
            });
        }
        return bestRank == HostWindowRank::kShown;
    });
    return best;
}

}  // namespace

X11HostWindows::X11HostWindows(std::string displayName) : displayName_(std::move(displayName)) {}

bool X11HostWindows::Find(const std::string& windowClass) {
    DisplayConnection connection(displayName_);
    return connection.Get() != nullptr && FindHostWindow(connection.Get(), windowClass).has_value();
}

bool X11HostWindows::RequestClose(const std::string& windowClass) {
    DisplayConnection connection(displayName_);
    Display* display = connection.Get();
    if (display == nullptr) return false;
    const std::optional<Window> window = FindHostWindow(display, windowClass);
    if (!window) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = *window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const int errorsBefore = g_x11Errors;
    const Status sent = XSendEvent(display, *window, False, NoEventMask, &event);
    XSync(display, False);
    return sent != 0 && g_x11Errors == errorsBefore;
}

}  // namespace platform
