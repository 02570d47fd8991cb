#include "platform/BoundedRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

BoundedReadResult ReadBoundedFile(const std::string& path, const BoundedReadOptions& options) {
    BoundedReadResult result;
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (options.regularOnly ? O_NONBLOCK : 0);
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
        result = ReadBounded(
            [fd](char* buffer, std::size_t capacity) { return ::read(fd, buffer, capacity); }, path,
            options, S_ISREG(info.st_mode) ? info.st_size : -1);
    }
    ::close(fd);
    return result;
}

}  // namespace platform
