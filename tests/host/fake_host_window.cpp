// Test helper: an X client standing in for the host application. Opens a
// window of WM_CLASS class <class> on $DISPLAY and prints "ready" once the
// window is in the state asked for; then prints "close request" for every
// WM_DELETE_WINDOW it receives, until it is killed; with a third argument
// "closes" it ends at the first request instead, as a host that agrees to
// close does. Modes:
//   top        a top-level window, shown, as without a window manager
//   framed     shown inside a frame window, as a window manager reparents it
//   unmapped   created but never shown
//   iconified  minimised as a window manager does it: inside a frame, both
//              unmapped, WM_STATE IconicState on the window
//   withdrawn  shown, then withdrawn by the client (XWithdrawWindow)
//   override   an override-redirect window, as menus and tooltips are
//   inputonly  an input-only window
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The server may still be starting, or busy with another client; a test
// that starts us has just seen it accept a connection, so a refusal here is
// passing. Give up only after a generous while.
Display* OpenDisplayPatiently() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        if (Display* display = XOpenDisplay(nullptr)) return display;
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void WaitFor(Display* display, int eventType) {
    for (XEvent event; XNextEvent(display, &event) == 0 && event.type != eventType;) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: fake_host_window <class> "
                     "top|framed|unmapped|iconified|withdrawn|override|inputonly\n");
        return 2;
    }
    const std::string mode = argv[2];
    const bool closes = argc > 3 && std::string(argv[3]) == "closes";
    Display* display = OpenDisplayPatiently();
    if (display == nullptr) {
        std::fprintf(stderr, "fake_host_window: no display\n");
        return 3;
    }
    const Window root = DefaultRootWindow(display);
    const bool framed = mode == "framed" || mode == "iconified";
    const Window frame =
        framed ? XCreateSimpleWindow(display, root, 10, 10, 220, 120, 0, 0, 0) : root;
    Window window = 0;
    if (mode == "override" || mode == "inputonly") {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = mode == "override";
        window = XCreateWindow(display, root, 0, 20, 200, 100, 0, CopyFromParent,
                               mode == "inputonly" ? InputOnly : InputOutput, CopyFromParent,
                               CWOverrideRedirect, &attributes);
    } else {
        window = XCreateSimpleWindow(display, frame, 0, 20, 200, 100, 0, 0, 0);
    }

    char resName[] = "vantoly";
    XClassHint hint{resName, argv[1]};
    XSetClassHint(display, window, &hint);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, StructureNotifyMask);
    if (mode != "unmapped") {
        XMapWindow(display, window);
        if (framed) XMapWindow(display, frame);
        // Viewable only once the frame is mapped too; wait for our own map.
        WaitFor(display, MapNotify);
    }
    if (mode == "iconified") {
        const Atom wmState = XInternAtom(display, "WM_STATE", False);
        const long state[2] = {IconicState, None};
        XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(state), 2);
        XUnmapWindow(display, frame);
        XUnmapWindow(display, window);
        WaitFor(display, UnmapNotify);
    } else if (mode == "withdrawn") {
        XWithdrawWindow(display, window, DefaultScreen(display));
        WaitFor(display, UnmapNotify);
    }
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage &&
            static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
            std::printf("close request\n");
            std::fflush(stdout);
            if (closes) {
                XDestroyWindow(display, window);
                if (framed) XDestroyWindow(display, frame);
                XCloseDisplay(display);
                return 0;
            }
        }
    }
}
