#include "import/ReaderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/SystemServices.h"

namespace genuine {

namespace {

constexpr const char* kReaderName = "vantolypatch-mdb-reader";
constexpr int kChildFrameDescriptor = 3;
constexpr int kPollMilliseconds = 100;  // how soon a stop request is noticed
constexpr std::size_t kReadPiece = 256 * 1024;
constexpr std::size_t kWarningTextCap = 2048;  // kept of libmdb's output
constexpr int kWarningLinesShown = 3;
// Memory: the reader holds a page or two and a row at a time, plus a
// memo or OLE value whole.
constexpr rlim_t kMemoryBase = rlim_t{1} << 30;
constexpr rlim_t kMemoryCeiling = rlim_t{8} << 30;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

bool IsExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

void ClosePipe(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string SignalName(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "SIGSEGV, a crash";
        case SIGBUS:
            return "SIGBUS, a crash";
        case SIGABRT:
            return "SIGABRT, an abort";
        case SIGFPE:
            return "SIGFPE, a crash";
        case SIGILL:
            return "SIGILL, a crash";
        case SIGTRAP:
            return "SIGTRAP, an abort";
        case SIGSYS:
            return "SIGSYS, a forbidden system call";
        default:
            return "signal " + std::to_string(signal);
    }
}

}  // namespace

std::string ReaderProgramPath() {
    if (const char* given = std::getenv("VANTOLY_MDB_READER"); given && *given) return given;
    std::string executable;
    try {
        executable = platform::ExecutablePath();
    } catch (const std::runtime_error& error) {
        throw SourceError(std::string("The reader of genuine Access files cannot be found: ") +
                          error.what());
    }
    const std::string folder = executable.substr(0, executable.rfind('/') + 1);
    const std::string candidates[] = {folder + kReaderName,
                                      folder + "../lib/vantolypatch/" + kReaderName};
    for (const std::string& candidate : candidates) {
        if (IsExecutable(candidate)) return candidate;
    }
    throw SourceError(std::string("The reader of genuine Access files, ") + kReaderName +
                      ", is not installed beside the program (looked for " + candidates[0] +
                      " and " + candidates[1] + "); install the program again.");
}

double ReaderTimeLimitSeconds(std::uint64_t bytes) {
    if (const char* given = std::getenv("VANTOLY_READER_TIMEOUT"); given && *given) {
        const double seconds = std::strtod(given, nullptr);
        if (seconds > 0) return seconds;
    }
    return 60.0 + 2.0 * static_cast<double>(bytes) / (1024.0 * 1024.0);
}

ReaderProcess::ReaderProcess(const std::string& source, std::uint64_t sourceBytes)
    : source_(source), limitSeconds_(ReaderTimeLimitSeconds(sourceBytes)) {
    const std::string program = ReaderProgramPath();
    int requests[2], frames[2], warnings[2];
    if (::pipe2(requests, O_CLOEXEC) != 0) Fail(std::string("no pipe: ") + std::strerror(errno));
    if (::pipe2(frames, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(requests[0]);
        ::close(requests[1]);
        Fail(std::string("no pipe: ") + std::strerror(error));
    }
    if (::pipe2(warnings, O_CLOEXEC) != 0) {
        const int error = errno;
        for (int fd : {requests[0], requests[1], frames[0], frames[1]}) ::close(fd);
        Fail(std::string("no pipe: ") + std::strerror(error));
    }
    // The pipes' ends away from 0 to 3: a program started with a standard
    // descriptor closed gets one of them from pipe2, and the child's dup2
    // onto 0 to 3 would then overwrite an end it still has to move.
    for (int* fd :
         {&requests[0], &requests[1], &frames[0], &frames[1], &warnings[0], &warnings[1]}) {
        if (*fd > kChildFrameDescriptor) continue;
        const int moved = ::fcntl(*fd, F_DUPFD_CLOEXEC, kChildFrameDescriptor + 1);
        if (moved < 0) continue;  // a descriptor table that full fails at the fork
        ::close(*fd);
        *fd = moved;
    }
    const rlim_t cpu = static_cast<rlim_t>(limitSeconds_) + 1;
    const rlim_t memory =
        std::min(kMemoryCeiling, kMemoryBase + 4 * static_cast<rlim_t>(sourceBytes));
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(source.c_str()),
                            nullptr};
    // AddressSanitizer reserves terabytes of address space up front, so
    // RLIMIT_AS cannot hold a sanitized reader: its own allocator limit does.
    std::vector<std::string> environment;
    for (char** at = environ; *at != nullptr; ++at) {
        if (!kAddressSanitizer || std::strncmp(*at, "ASAN_OPTIONS=", 13) != 0)
            environment.emplace_back(*at);
    }
    if (kAddressSanitizer) {
        const char* given = std::getenv("ASAN_OPTIONS");
        const std::string limit = std::to_string(memory >> 20);
        environment.push_back("ASAN_OPTIONS=" + std::string(given ? given : "") +
                              ":malloc_limit_mb=" + limit + ":hard_rss_limit_mb=" + limit);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const pid_t parent = ::getpid();
    // Only calls safe between fork and exec from here to execv: the parent
    // has threads (the signal watcher).
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(requests[0], STDIN_FILENO);
        ::dup2(warnings[1], STDOUT_FILENO);  // libmdb's hex dumps: never into the frames
        ::dup2(warnings[1], STDERR_FILENO);
        ::dup2(frames[1], kChildFrameDescriptor);
        ::close_range(kChildFrameDescriptor + 1, ~0U, 0);
        // Its own process group: a Ctrl+C at the terminal reaches the
        // import, which stops the child itself; a killed import takes the
        // child with it.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        const rlimit cpuLimit{cpu, cpu + 2};
        ::setrlimit(RLIMIT_CPU, &cpuLimit);
        const rlimit nothing{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &nothing);
        ::setrlimit(RLIMIT_CORE, &nothing);
        if (!kAddressSanitizer) {
            const rlimit memoryLimit{memory, memory};
            ::setrlimit(RLIMIT_AS, &memoryLimit);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(requests[0]);
    ::close(frames[1]);
    ::close(warnings[1]);
    requests_ = requests[1];
    frames_ = frames[0];
    warnings_ = warnings[0];
    // This side never blocks in a read: a read takes what is there, and
    // poll says when there is more (the child's ends stay blocking).
    for (int fd : {frames_, warnings_}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (pid < 0) {
        ClosePipe(requests_);
        ClosePipe(frames_);
        ClosePipe(warnings_);
        Fail(std::string("cannot start ") + program + ": " + std::strerror(forkError));
    }
    pid_ = pid;
    stopHook_ = std::make_unique<platform::InterruptHook>([this] {
        const pid_t child = pid_.load();
        if (child > 0) ::kill(-child, SIGKILL);
    });
}

ReaderProcess::~ReaderProcess() {
    stopHook_.reset();
    ClosePipe(requests_);
    ClosePipe(frames_);
    ClosePipe(warnings_);
    const pid_t child = pid_.exchange(-1);
    if (child > 0) {
        // The whole group: whatever the reader started goes with it.
        ::kill(-child, SIGKILL);
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

void ReaderProcess::Send(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(requests_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        // A child that went away says why at the next frame.
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void ReaderProcess::DrainWarnings() {
    char piece[8192];
    // A bounded share per call, so a child that prints without end still
    // meets the watchdog between two calls.
    for (int pieces = 0; pieces < 64; ++pieces) {
        const ssize_t n = ::read(warnings_, piece, sizeof piece);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0 || errno != EAGAIN) ClosePipe(warnings_);
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (!warningLineOpen_) ++warningLines_;
            warningLineOpen_ = piece[i] != '\n';
        }
        const std::size_t room = kWarningTextCap - std::min(kWarningTextCap, warningText_.size());
        warningText_.append(piece, std::min(room, static_cast<std::size_t>(n)));
    }
}

std::string ReaderProcess::WarningSample() const {
    std::string sample;
    std::size_t at = 0;
    for (int line = 0; line < kWarningLinesShown && at < warningText_.size(); ++line) {
        std::size_t end = warningText_.find('\n', at);
        if (end == std::string::npos) end = warningText_.size();
        std::string text = warningText_.substr(at, std::min<std::size_t>(end - at, 200));
        std::replace_if(
            text.begin(), text.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, ' ');
        sample += (sample.empty() ? "\"" : "; \"") + text + "\"";
        at = end + 1;
    }
    return sample;
}

std::string ReaderProcess::DescribeEnd(int status) const {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (warningText_.find("failed to allocate") != std::string::npos ||
            warningText_.find("alloc") != std::string::npos)
            return "ran out of the memory it may use and ended with " + SignalName(signal);
        if (signal == SIGXCPU || signal == SIGKILL)
            return "used more processor time than the file's size allows and was stopped";
        return "ended with " + SignalName(signal);
    }
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 127) return "could not be started";
        return "ended (exit status " + std::to_string(WEXITSTATUS(status)) + ") before it finished";
    }
    return "ended";
}

void ReaderProcess::Fail(const std::string& why) {
    std::string message = "The source " + source_ + " could not be read: the reader " + why;
    if (!reading_.empty()) message += " while reading " + reading_;
    message += ".";
    if (warningLines_ > 0) {
        message += " libmdb printed " + std::to_string(warningLines_) +
                   " line(s) of warnings, the first: " + WarningSample() + ".";
    }
    message +=
        " The file is damaged; nothing was imported. Copy it again from where it came from, or "
        "repair it with Access.";
    throw SourceError(message);
}

ReaderProcess::Frame ReaderProcess::Next() {
    using Clock = std::chrono::steady_clock;
    // Frames are taken from the front of the buffer by moving `consumed_`;
    // the buffer is moved down only before it is filled again, so a table
    // of many small rows is not copied once per row.
    auto since = Clock::now();
    for (;;) {
        const std::string_view pending = std::string_view(buffer_).substr(consumed_);
        std::optional<frames::FrameHeader> header;
        try {
            header = frames::ReadHeader(pending);
        } catch (const frames::FrameError& error) {
            Fail(std::string("sent a broken stream (") + error.what() + ")");
        }
        if (header && pending.size() >= frames::kHeaderSize + header->length) {
            const std::string_view payload = pending.substr(frames::kHeaderSize, header->length);
            consumed_ += frames::kHeaderSize + header->length;
            if (header->type == frames::FrameType::kReading) {
                reading_ = std::string(payload);
                continue;
            }
            if (header->type == frames::FrameType::kError) {
                std::string message(payload);
                if (warningLines_ > 0) {
                    message += " (libmdb printed " + std::to_string(warningLines_) +
                               " line(s) of warnings, the first: " + WarningSample() + ".)";
                }
                throw SourceError(message);
            }
            return Frame{header->type, payload};
        }
        if (platform::InterruptRequested()) throw SourceInterrupted("the import was stopped");
        if (frames_ < 0) {
            // The stream ended: the child is gone, or going.
            int status = 0;
            const pid_t child = pid_.exchange(-1);
            while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            if (warnings_ >= 0) DrainWarnings();
            if (platform::InterruptRequested()) throw SourceInterrupted("the import was stopped");
            Fail(DescribeEnd(status));
        }
        if (waitedSeconds_ > limitSeconds_) {
            Fail("took more than " + std::to_string(static_cast<long>(limitSeconds_)) +
                 " s, which is more than a file of this size needs, and was stopped");
        }
        // Waiting counts, and so does reading the child's output; the
        // import's own work between two frames does not.
        const auto now = Clock::now();
        waitedSeconds_ += std::chrono::duration<double>(now - since).count();
        since = now;
        pollfd watched[2] = {{frames_, POLLIN, 0}, {warnings_, POLLIN, 0}};
        const int ready = ::poll(watched, warnings_ >= 0 ? 2 : 1, kPollMilliseconds);
        if (ready < 0 && errno != EINTR)
            Fail(std::string("cannot be waited for: ") + std::strerror(errno));
        if (ready <= 0) continue;
        if (warnings_ >= 0 && watched[1].revents != 0) DrainWarnings();
        if (watched[0].revents != 0) {
            buffer_.erase(0, consumed_);
            consumed_ = 0;
            const std::size_t had = buffer_.size();
            buffer_.resize(had + kReadPiece);
            const ssize_t n = ::read(frames_, buffer_.data() + had, kReadPiece);
            buffer_.resize(had + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
            if (n == 0) ClosePipe(frames_);
            if (n < 0 && errno != EINTR && errno != EAGAIN)
                Fail(std::string("cannot be read from: ") + std::strerror(errno));
        }
    }
}

}  // namespace genuine
