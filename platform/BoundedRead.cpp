#include "platform/BoundedRead.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Interrupts.h"

namespace platform {

namespace {

std::string TooLargeText(const std::string& name, const BoundedReadOptions& options,
                         off_t knownSize) {
    const std::string size = knownSize >= 0
                                 ? "is " + std::to_string(knownSize) + " bytes"
                                 : "gives more than " + std::to_string(options.limit) + " bytes";
    return options.what + " " + name + " " + size + "; it may hold at most " +
           std::to_string(options.limit) + " bytes";
}

}  // namespace

BoundedReadResult ReadBounded(const ChunkReader& read, const std::string& name,
                              const BoundedReadOptions& options, off_t knownSize) {
    BoundedReadResult result;
    if (knownSize >= 0 && static_cast<std::size_t>(knownSize) > options.limit) {
        result.problem = TooLargeText(name, options, knownSize);
        return result;
    }
    // One byte past the cap tells a source at the cap from a larger one.
    char buffer[65536];
    for (;;) {
        const std::size_t room = options.limit + 1 - result.bytes.size();
        const ssize_t got = read(buffer, std::min(sizeof buffer, room));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == ECANCELED) {
            result.problem =
                options.what + " " + name + " was not read to its end: the run was asked to stop";
            result.bytes.clear();
            return result;
        }
        if (got < 0) {
            result.problem =
                "cannot read " + options.what + " " + name + ": " + std::strerror(errno);
            result.bytes.clear();
            return result;
        }
        if (got == 0) return result;
        result.bytes.append(buffer, static_cast<std::size_t>(got));
        if (result.bytes.size() > options.limit) {
            // A regular file that grew while it was read: its size now.
            result.problem = TooLargeText(name, options, -1);
            result.bytes.clear();
            return result;
        }
        if (options.firstLineOnly &&
            std::memchr(buffer, '\n', static_cast<std::size_t>(got)) != nullptr) {
            return result;
        }
    }
}

ssize_t ReadWhenReady(int fd, char* buffer, std::size_t capacity) {
    constexpr int kTenthOfASecond = 100;
    for (;;) {
        if (InterruptRequested()) {
            errno = ECANCELED;
            return -1;
        }
        pollfd input{fd, POLLIN, 0};
        const int ready = ::poll(&input, 1, kTenthOfASecond);
        if (ready < 0 && errno != EINTR) return -1;
        if (ready <= 0) continue;
        const ssize_t got = ::read(fd, buffer, capacity);
        // A FIFO opened without waiting says "no data yet" until its writer writes.
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        return got;
    }
}

BoundedReadResult ReadBoundedFile(const std::string& path, const BoundedReadOptions& options) {
    BoundedReadResult result;
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        result.problem = "cannot read " + options.what + " " + path + ": " + std::strerror(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.problem = "cannot read " + options.what + " " + path + ": " + std::strerror(errno);
    } else if (options.regularOnly && !S_ISREG(info.st_mode)) {
        result.problem = options.what + " " + path + " is not a regular file";
    } else if (S_ISDIR(info.st_mode)) {
        result.problem = options.what + " " + path + " is a folder";
    } else {
        result =
            ReadBounded([fd](char* buffer,
                             std::size_t capacity) { return ReadWhenReady(fd, buffer, capacity); },
                        path, options, S_ISREG(info.st_mode) ? info.st_size : -1);
    }
    ::close(fd);
    return result;
}

}  // namespace platform
