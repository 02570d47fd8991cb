// A desktop for a test: an X server (Xvfb) on a display of its own with a
// window manager (openbox) on it, so windows get title bars, frames and the
// manager's rules. Both are stopped by their process ids when it goes.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/Process.h"

namespace testsupport {

class XDesktop {
  public:
    // Whether this machine has what a desktop needs (scripts/install-deps).
    static bool Available() {
        for (const char* program :
             {"/usr/bin/Xvfb", "/usr/bin/openbox", "/usr/bin/xdotool", "/usr/bin/xprop"})
            if (!std::filesystem::exists(program)) return false;
        return true;
    }

    explicit XDesktop(const std::string& screen = "1366x768x24") {
        server_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            "/bin/sh", "-c",
            "exec /usr/bin/Xvfb -displayfd 1 -noreset -nolisten tcp -screen 0 " + screen +
                " 2>/dev/null"});
        const auto number = server_->ReadLine(std::chrono::seconds(20));
        if (!number) return;
        display_ = ":" + *number;
        manager_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            "/usr/bin/env", "DISPLAY=" + display_, "/usr/bin/openbox", "--sm-disable"});
        // The manager is up once it has named itself on the root window.
        for (int attempt = 0; attempt < 200 && !ready_; ++attempt) {
            ready_ = Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.find("window id") !=
                     std::string::npos;
            if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    bool Ready() const { return ready_; }
    const std::string& Display() const { return display_; }

    // An X client (xprop, xdotool, ...) from /usr/bin on this desktop.
    ProcessResult Run(std::vector<std::string> arguments) const {
        arguments.front() = "/usr/bin/" + arguments.front();
        ProcessOptions options;
        options.environment = {"DISPLAY=" + display_};
        options.killAfter = std::chrono::seconds(60);
        return RunProcess(arguments, options);
    }

  private:
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> manager_;  // stopped before the server
    std::string display_;
    bool ready_ = false;
};

}  // namespace testsupport
