#include "DisplayConnection.h"

#include <X11/Xlib.h>

#include <thread>

namespace testsupport {

std::unique_ptr<DisplayConnection> DisplayConnection::Open(const std::string& displayName,
                                                           std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (Display* display = XOpenDisplay(displayName.c_str())) {
            return std::unique_ptr<DisplayConnection>(new DisplayConnection(display));
        }
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

DisplayConnection::~DisplayConnection() {
    XCloseDisplay(static_cast<Display*>(display_));
}

}  // namespace testsupport
