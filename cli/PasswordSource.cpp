#include "cli/PasswordSource.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <stdexcept>

#include "platform/BoundedRead.h"
#include "platform/Interrupts.h"

namespace cli {

namespace {

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The terminal's settings before echo was turned off, for a signal handler
// that ends the program while the prompt waits.
termios g_savedTerminal{};
volatile sig_atomic_t g_terminalChanged = 0;

void RestoreTerminalAndEnd(int signal) {
    if (g_terminalChanged != 0) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

std::runtime_error SystemFailure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// Echo off on standard input's terminal for its lifetime; a signal that ends
// the program meanwhile puts the echo back first.
class EchoOff {
  public:
    EchoOff() {
        if (::tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0) {
            throw SystemFailure("cannot read the terminal's settings");
        }
        struct sigaction restoring {};
        restoring.sa_handler = RestoreTerminalAndEnd;
        sigemptyset(&restoring.sa_mask);
        for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i) {
            ::sigaction(kRestoringSignals[i], &restoring, &previous_[i]);
        }
        termios quiet = g_savedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        g_terminalChanged = 1;
        if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
            const std::runtime_error failure = SystemFailure("cannot turn the terminal's echo off");
            Restore();
            throw failure;
        }
    }
    ~EchoOff() { Restore(); }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    void Restore() {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
        g_terminalChanged = 0;
        for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i) {
            ::sigaction(kRestoringSignals[i], &previous_[i], nullptr);
        }
    }

    struct sigaction previous_[std::size(kRestoringSignals)]{};
};

// The first line of `bytes` without its line end ("\n" or "\r\n").
std::string FirstLine(const std::string& bytes) {
    std::string line = bytes.substr(0, bytes.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// One line from standard input, read byte by byte so nothing after it is
// taken from a later reader; nothing when the input ends first.
std::optional<std::string> ReadLineFromStandardInput() {
    // The program's signals go to its watcher, not to a handler that would
    // break this read: the wait looks for a stop request itself.
    const auto readByte = [](char* buffer, std::size_t) -> ssize_t {
        const ssize_t got = platform::ReadWhenReady(STDIN_FILENO, buffer, 1);
        if (got < 0 && errno == ECANCELED)
            throw std::runtime_error("the password prompt was interrupted");
        return got;
    };
    const platform::BoundedReadResult read = platform::ReadBounded(
        readByte, "on the terminal",
        {.what = "the password typed", .limit = platform::kPasswordLimit, .firstLineOnly = true});
    if (!read.Succeeded()) throw std::runtime_error(read.problem);
    if (read.bytes.empty()) return std::nullopt;
    return FirstLine(read.bytes);
}

}  // namespace

std::string ReadPasswordFile(const std::string& path) {
    const platform::BoundedReadResult read = platform::ReadBoundedFile(
        path,
        {.what = "the password file", .limit = platform::kPasswordLimit, .firstLineOnly = true});
    if (!read.Succeeded()) throw std::runtime_error(read.problem);
    return FirstLine(read.bytes);
}

std::string AskPasswordOnTerminal(const std::string& promptText, std::ostream& prompt) {
    std::optional<std::string> password;
    {
        EchoOff quiet;
        prompt << promptText << std::flush;
        password = ReadLineFromStandardInput();
    }
    // The Enter key was not echoed either.
    prompt << "\n" << std::flush;
    if (!password) throw std::runtime_error("no password was typed: the input ended");
    return *password;
}

std::optional<std::string> ResolvePassword(const CommandLine& line, std::ostream& prompt) {
    if (line.passwordFile) return ReadPasswordFile(*line.passwordFile);
    if (line.password == "-") {
        if (::isatty(STDIN_FILENO) == 0) {
            throw std::runtime_error(
                "--password - asks on the terminal, but standard input is not one; use "
                "--password-file FILE or " +
                std::string(kPasswordVariable));
        }
        return AskPasswordOnTerminal(
            "Password for " + line.databasePath.value_or("the database") + ": ", prompt);
    }
    if (line.password) return line.password;
    if (const char* fromEnvironment = std::getenv(kPasswordVariable))
        return std::string(fromEnvironment);
    return std::nullopt;
}

}  // namespace cli
