// A child process for tests, started with posix_spawn, with a pipe to its
// standard input and one from its standard output. The child is killed and
// reaped when the object goes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
            throw std::runtime_error("ChildProcess: cannot make pipes");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        input_ = toChild[1];
        output_ = fromChild[0];
        if (rc != 0) {
            pid_ = -1;
            throw std::runtime_error("ChildProcess: cannot start " + argv[0]);
        }
    }
    ~ChildProcess() {
        CloseInput();
        if (output_ >= 0) ::close(output_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }

    // The next line of the child's output without its line end; nothing when
    // the child ends or stays silent for `timeout`.
    std::optional<std::string> ReadLine(
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto end = pending_.find('\n');
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd wanted{output_, POLLIN, 0};
            if (::poll(&wanted, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[512];
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got <= 0) return std::nullopt;
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    void CloseInput() {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }

    void Signal(int signal) const {
        if (pid_ > 0) ::kill(pid_, signal);
    }

    // Waits for the child to end; its wait status.
    int Wait() {
        int status = 0;
        if (pid_ > 0) {
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
        return status;
    }

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
};

}  // namespace testsupport
