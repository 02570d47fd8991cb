#include "platform/DesktopOpener.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace platform {

namespace {

constexpr std::chrono::milliseconds kPoll(40);

std::string FindOnPath(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

std::string ExitText(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// The opener and what it starts get the signals a desktop program expects:
// main() blocks SIGINT, SIGTERM and SIGHUP in every thread of ours.
pid_t Spawn(const std::string& opener, const std::string& path, int& error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string program = opener;
    std::string argument = path;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    error = posix_spawn(&pid, opener.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

}  // namespace

DesktopOpener::DesktopOpener(std::string program, std::chrono::milliseconds settle)
    : program_(std::move(program)), settle_(settle) {}

DesktopOpener::~DesktopOpener() {
    ReapEnded();  // the rest are reaped by init once we have gone
}

void DesktopOpener::ReapEnded() {
    std::erase_if(stillRunning_, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

DesktopOpenResult DesktopOpener::Open(const std::string& path,
                                      const std::function<void()>& whileWaiting) {
    ReapEnded();
    const std::string opener = FindOnPath(program_);
    if (opener.empty()) return {OpenOutcome::NoOpener, "no " + program_ + " on PATH"};
    int error = 0;
    const pid_t pid = Spawn(opener, path, error);
    if (pid < 0) return {OpenOutcome::Failed, opener + ": " + std::strerror(error)};
    const auto giveUp = std::chrono::steady_clock::now() + settle_;
    while (true) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
            return {OpenOutcome::Failed, opener + ": " + ExitText(status)};
        }
        if (ended < 0 && errno != EINTR) return {OpenOutcome::Failed, opener + ": lost track"};
        if (std::chrono::steady_clock::now() >= giveUp) break;
        if (whileWaiting) whileWaiting();
        std::this_thread::sleep_for(kPoll);
    }
    stillRunning_.push_back(pid);
    return {};
}

}  // namespace platform
