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

bool HasClass(Display* display, Window window, const std::string& windowClass) {
    XWindowAttributes attributes {};
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        attributes.map_state != IsViewable) {
        return false;
    }
    XClassHint hint {};
    if (XGetClassHint(display, window, &hint) == 0) return false;
    const bool matches = hint.res_class != nullptr && windowClass == hint.res_class;
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return matches;
}

// The children of `parent`, topmost first.
template <typename Visit>
std::optional<Window> VisitChildren(Display* display, Window parent, Visit visit) {
    Window root = 0;
    Window ignoredParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &ignoredParent, &children, &count) == 0) return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = count; i-- > 0 && !found;) found = visit(children[i]);
    if (children != nullptr) XFree(children);
    return found;
}

// Without a window manager the host's window is a child of the root; with
// one it sits inside a frame, one level further down.
std::optional<Window> FindHostWindow(Display* display, const std::string& windowClass) {
    return VisitChildren(display, DefaultRootWindow(display), [&](Window topLevel) -> std::optional<Window> {
        if (HasClass(display, topLevel, windowClass)) return topLevel;
        return VisitChildren(display, topLevel, [&](Window child) -> std::optional<Window> {
            if (HasClass(display, child, windowClass)) return child;
            return std::nullopt;
        });
    });
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
    XEvent event {};
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
