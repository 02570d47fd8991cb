// Runs a program as a separate process, as an administrator or a script
// would, collecting its exit status and both outputs: the one way tests start
// the built program and its helpers. Optionally with a file size limit (the
// "disk full" of a real process: writes past it fail with EFBIG, SIGXFSZ
// ignored), a memory limit (address space: allocations past it fail) or
// sent a signal (SIGKILL unless another is named) after a delay.
//
// Every report a program run with --json prints is kept, and checked
// against docs/report.schema.json when the test program ends (one check for
// all its runs): a report the schema does not describe, field for field,
// fails the test program that got it.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/FileContent.h"
#include "support/TempFolder.h"

#ifdef VANTOLY_REPORT_SCHEMA
#include <gtest/gtest.h>
#endif

extern char** environ;

namespace testsupport {

#ifdef VANTOLY_REPORT_SCHEMA
class ReportSchemaCheck : public ::testing::Environment {
  public:
    // The reports of this test program's runs so far.
    static std::vector<std::string>& Reports() {
        static std::vector<std::string> reports;
        return reports;
    }
    // A run with --json that ended by itself printed a report, whatever its
    // exit status; one killed outright printed nothing.
    static void Keep(const std::vector<std::string>& arguments, int signal,
                     const std::string& out) {
        if (signal == 0 &&
            std::find(arguments.begin(), arguments.end(), "--json") != arguments.end())
            Reports().push_back(out);
    }
    void TearDown() override;
};
inline ::testing::Environment* const kReportSchemaCheck =
    ::testing::AddGlobalTestEnvironment(new ReportSchemaCheck);
#endif

struct ProcessOptions {
    std::optional<rlim_t> fileSizeLimit;                 // RLIMIT_FSIZE in the child
    std::optional<rlim_t> memoryLimit;                   // RLIMIT_AS in the child
    std::optional<std::chrono::microseconds> killAfter;  // killSignal once this has passed
    int killSignal = SIGKILL;
    std::string input;                     // standard input
    std::vector<std::string> environment;  // "NAME=value" set in the child's
};

struct ProcessResult {
    int exitStatus = -1;  // -1 when killed by a signal
    int signal = 0;       // the signal that ended it, 0 when it exited
    std::string out;
    std::string err;
    bool Killed() const { return signal == SIGKILL; }
};

// Output goes through pipes, not files, so a file size limit on the child
// does not cut its messages short.
inline ProcessResult RunProcess(const std::vector<std::string>& arguments,
                                const ProcessOptions& options = {}) {
    testsupport::TempFolder io;
    const std::string inPath = (io.Path() / "in").string();
    WriteFileBytes(inPath, options.input);

    // Everything the child needs is made before fork: between fork and exec
    // only async-signal-safe calls are allowed.
    std::vector<std::string> argvStrings = arguments;
    std::vector<char*> argv;
    for (std::string& argument : argvStrings) argv.push_back(argument.data());
    argv.push_back(nullptr);
    // Each run has a runtime folder of its own, so the program's one-instance
    // lock never makes tests that run side by side refuse each other; and a
    // state folder of its own unless the test names one, so the statement
    // log of a run never lands in the tester's home.
    std::vector<std::string> overrides = options.environment;
    overrides.push_back("XDG_RUNTIME_DIR=" + io.Path().string());
    const bool stateGiven =
        std::any_of(overrides.begin(), overrides.end(),
                    [](const std::string& entry) { return entry.starts_with("XDG_STATE_HOME="); });
    if (!stateGiven) overrides.push_back("XDG_STATE_HOME=" + io.Path().string() + "/state");
    std::vector<std::string> envStrings;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const bool overridden =
            std::any_of(overrides.begin(), overrides.end(),
                        [&](const std::string& o) { return o.starts_with(name); });
        if (!overridden) envStrings.push_back(entry);
    }
    envStrings.insert(envStrings.end(), overrides.begin(), overrides.end());
    std::vector<char*> envp;
    for (std::string& variable : envStrings) envp.push_back(variable.data());
    envp.push_back(nullptr);
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make pipes");

    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("cannot fork");
    if (pid == 0) {
        const int in = ::open(inPath.c_str(), O_RDONLY);
        if (in < 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        if (options.fileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.memoryLimit) {
            const rlimit limit{*options.memoryLimit, *options.memoryLimit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    ProcessResult result;
    std::string* sinks[2] = {&result.out, &result.err};
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        int timeoutMs = -1;
        if (options.killAfter && !killed) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                started + *options.killAfter - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ::kill(pid, options.killSignal);
                killed = true;
                continue;
            }
            timeoutMs = static_cast<int>((left.count() + 999) / 1000);
        }
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
#ifdef VANTOLY_REPORT_SCHEMA
    ReportSchemaCheck::Keep(arguments, result.signal, result.out);
#endif
    return result;
}

#ifdef VANTOLY_REPORT_SCHEMA
inline void ReportSchemaCheck::TearDown() {
    if (Reports().empty()) return;
    testsupport::TempFolder folder;
    for (std::size_t i = 0; i < Reports().size(); ++i)
        WriteFileBytes((folder.Path() / (std::to_string(i) + ".json")).string(), Reports()[i]);
    const ProcessResult check = RunProcess({"/usr/bin/python3", VANTOLY_REPORT_CHECKER,
                                            VANTOLY_REPORT_SCHEMA, folder.Path().string()});
    EXPECT_EQ(check.exitStatus, 0)
        << "--json reports that do not match " VANTOLY_REPORT_SCHEMA ":\n"
        << check.err << check.out;
}
#endif

#ifdef VANTOLY_PATCH_BINARY
// The built program with `arguments`.
inline ProcessResult RunPatch(const std::vector<std::string>& arguments,
                              const ProcessOptions& options = {}) {
    std::vector<std::string> argv{VANTOLY_PATCH_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProcess(argv, options);
}
#endif

}  // namespace testsupport
