// Reading a file a user or another program can point the tool at, with a cap
// on how much is read. Without one, a path like /dev/zero, a runaway pipe or
// a file blown up by accident is read until memory runs out; with one, the
// read ends after the cap and the caller refuses with a message that names
// the file and its size.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// The caps, documented in the manual page. Registry exports are a few
// kilobytes, a password is one short line; statement files may hold a
// bulk load and get more room.
inline constexpr std::size_t kRegistryFileLimit = 1024 * 1024;
inline constexpr std::size_t kPasswordLimit = 4096;
inline constexpr std::size_t kStatementFileLimit = 16 * 1024 * 1024;

struct BoundedReadOptions {
    std::string what;  // "the registry file", as the messages begin
    std::size_t limit = 0;
    // Only a regular file is read; a FIFO or a device is refused at once and
    // the open never waits for a writer.
    bool regularOnly = false;
    // The read ends after the first line end: a terminal or a FIFO gives its
    // first line without waiting for the end of its input.
    bool firstLineOnly = false;
};

struct BoundedReadResult {
    std::string bytes;    // at most the limit; empty after a failure
    std::string problem;  // names the file and what is wrong; empty on success
    bool Succeeded() const { return problem.empty(); }
};

// One read of up to `capacity` bytes into `buffer`: the count, 0 at the end,
// -1 with errno set. EINTR is retried by the caller.
using ChunkReader = std::function<ssize_t(char* buffer, std::size_t capacity)>;

// One read of up to `capacity` bytes of `fd` that waits for input a tenth of
// a second at a time and gives up (-1, errno ECANCELED) once a signal asked
// the run to stop: the signals are blocked in every thread, so a read that
// waits for a FIFO's writer or a pipe that never ends would otherwise hold the
// program past Ctrl+C and SIGTERM for good.
ssize_t ReadWhenReady(int fd, char* buffer, std::size_t capacity);

// Opens `path` (never waiting for a FIFO's writer at the open) and reads it
// under the options' cap with ReadWhenReady.
BoundedReadResult ReadBoundedFile(const std::string& path, const BoundedReadOptions& options);

// Reads from `read` under the options' cap; `name` stands for the source in
// messages ("standard input"). `knownSize` (a regular file's size) is
// named in the message when it is past the cap.
BoundedReadResult ReadBounded(const ChunkReader& read, const std::string& name,
                              const BoundedReadOptions& options, off_t knownSize = -1);

}  // namespace platform
