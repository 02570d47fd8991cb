#include "app/PasswordSource.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <stdexcept>

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

// One line from standard input, read byte by byte so nothing after it is
// taken from a later reader; nothing when the input ends first.
std::optional<std::string> ReadLineFromStandardInput() {
    std::string line;
    for (;;) {
        // The program's signals go to its watcher, not to a handler that
        // would break this read: the wait looks for a stop request itself.
        pollfd input{STDIN_FILENO, POLLIN, 0};
        constexpr int kTenthOfASecond = 100;
        const int ready = ::poll(&input, 1, kTenthOfASecond);
        if (platform::InterruptRequested())
            throw std::runtime_error("the password prompt was interrupted");
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw SystemFailure("cannot read the password from the terminal");
        if (got == 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n') return line;
        line += c;
    }
}

}  // namespace

std::string ReadPasswordFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SystemFailure("cannot open the password file " + path);
    std::string line;
    std::getline(in, line);
    if (in.bad()) throw SystemFailure("cannot read the password file " + path);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
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
