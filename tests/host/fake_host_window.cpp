// Test helper: an X client standing in for the host application. Opens a
// window of WM_CLASS class <class> on $DISPLAY and prints "ready"; then
// prints "close request" for every WM_DELETE_WINDOW it receives, until it is
// killed. Modes: "top" (a top-level window, as without a window manager),
// "framed" (inside a frame window, as a window manager reparents it),
// "unmapped" (created but never shown).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fake_host_window <class> top|framed|unmapped\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "fake_host_window: no display\n");
        return 3;
    }
    const Window root = DefaultRootWindow(display);
    const bool framed = std::strcmp(argv[2], "framed") == 0;
    const bool mapped = std::strcmp(argv[2], "unmapped") != 0;
    const Window frame = framed ? XCreateSimpleWindow(display, root, 10, 10, 220, 120, 0, 0, 0) : root;
    const Window window = XCreateSimpleWindow(display, frame, 0, 20, 200, 100, 0, 0, 0);

    char resName[] = "vantoly";
    XClassHint hint{resName, argv[1]};
    XSetClassHint(display, window, &hint);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, StructureNotifyMask);
    if (mapped) {
        XMapWindow(display, window);
        if (framed) XMapWindow(display, frame);
        // Viewable only once the frame is mapped too; wait for our own map.
        for (XEvent event; XNextEvent(display, &event) == 0 && event.type != MapNotify;) {
        }
    }
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
            std::printf("close request\n");
            std::fflush(stdout);
        }
    }
}
