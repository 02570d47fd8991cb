// A test's own connection to an X display, kept open while the test runs (a
// server whose last client leaves resets and refuses connections meanwhile).
// Kept apart from the tests: Xlib's macros (None, Status, Bool) clash with
// GoogleTest's names.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace testsupport {

class DisplayConnection {
  public:
    // Tries until a connection succeeds or `patience` has passed; nothing
    // when it never did.
    static std::unique_ptr<DisplayConnection> Open(const std::string& displayName,
                                                   std::chrono::milliseconds patience);
    ~DisplayConnection();
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;

  private:
    explicit DisplayConnection(void* display) : display_(display) {}
    void* display_;
};

}  // namespace testsupport
