// The desktop's opener (xdg-open) run on a file or folder, and how that went:
// no opener on this machine, the opener failed (it says why on standard
// error, which it shares with us), or it opened the path or is still busy
// opening it when we stop waiting.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class OpenOutcome { Opened, NoOpener, Failed };

struct DesktopOpenResult {
    OpenOutcome outcome = OpenOutcome::Opened;
    std::string detail;  // why it failed, or which opener was missing
};

class DesktopOpener {
  public:
    // `program` is looked for on PATH unless it names a file. An opener that
    // has not ended after `settle` counts as opened: a generic opener waits
    // for the application it started.
    explicit DesktopOpener(std::string program = "xdg-open",
                           std::chrono::milliseconds settle = std::chrono::seconds(3));
    ~DesktopOpener();
    DesktopOpener(const DesktopOpener&) = delete;
    DesktopOpener& operator=(const DesktopOpener&) = delete;

    // Runs the opener on `path`; calls `whileWaiting` every few tens of
    // milliseconds until it ends or `settle` has passed.
    DesktopOpenResult Open(const std::string& path, const std::function<void()>& whileWaiting);

  private:
    void ReapEnded();

    std::string program_;
    std::chrono::milliseconds settle_;
    std::vector<pid_t> stillRunning_;  // openers we stopped waiting for
};

}  // namespace platform
