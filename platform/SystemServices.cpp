#include "platform/SystemServices.h"

#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/UserFolders.h"

namespace platform {

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            throw std::runtime_error(
                std::string("cannot read the program's path from /proc/self/exe: ") +
                std::strerror(errno));
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

LocalTime SystemClock::Now() const {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    ::localtime_r(&now.tv_sec, &parts);
    return LocalTime{parts.tm_year + 1900,
                     parts.tm_mon + 1,
                     parts.tm_mday,
                     parts.tm_hour,
                     parts.tm_min,
                     parts.tm_sec,
                     static_cast<int>(now.tv_nsec / 1000000)};
}

void SystemClock::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

std::string SystemProgramInfo::StateFolder() const {
    return UserStateFolder();
}

std::string SystemProgramInfo::ProgramName() const {
    const std::string path = ExecutablePath();
    return path.substr(path.rfind('/') + 1);
}

std::string ApplicationTitleOf(const std::string& programFileName) {
    const std::size_t dot = programFileName.rfind('.');
    if (dot == std::string::npos || dot == 0 ||
        programFileName.find(' ', dot) != std::string::npos) {
        return programFileName;
    }
    return programFileName.substr(0, dot);
}

HeadlessShell::HeadlessShell(std::ostream& out) : out_(out) {}

bool HeadlessShell::Open(const std::string& path) {
    out_ << "open: " << path << '\n' << std::flush;
    return true;
}

std::optional<std::string> HeadlessShell::BrowseForFolder(const std::string& title) {
    out_ << "browse for folder: " << title << " (no desktop; cancelled)\n" << std::flush;
    return std::nullopt;
}

}  // namespace platform
