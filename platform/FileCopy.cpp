#include "platform/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Interrupts.h"

namespace platform {

namespace {

// Large enough to run at disk speed, small enough that a cancel answers
// within a fraction of a second.
constexpr std::size_t kChunkBytes = std::size_t{8} << 20;
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

CopyResult Failure(CopyFailure failure, const std::string& what, int error) {
    return CopyResult{failure, what + ": " + std::strerror(error)};
}

// Closes a descriptor once, when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // The result of close(2), which reports delayed write errors.
    int Close() {
        if (fd_ < 0) return 0;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

  private:
    int fd_;
};

// Copies with read and write, for file systems without copy_file_range.
// Answers the errno of the failing call (0 when all went well) and which
// side failed.
int CopyByBuffer(int in, int out, std::uint64_t& copied, bool& writeFailed,
                 const std::function<bool()>& advance) {
    std::vector<char> buffer(kBufferBytes);
    std::size_t sinceReport = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        std::size_t written = 0;
        while (written < static_cast<std::size_t>(got)) {
            const ssize_t put =
                ::write(out, buffer.data() + written, static_cast<std::size_t>(got) - written);
            if (put < 0) {
                if (errno == EINTR) continue;
                writeFailed = true;
                return errno;
            }
            written += static_cast<std::size_t>(put);
        }
        copied += static_cast<std::uint64_t>(got);
        sinceReport += static_cast<std::size_t>(got);
        if (sinceReport >= kChunkBytes) {
            sinceReport = 0;
            if (!advance()) return ECANCELED;
        }
    }
}

}  // namespace

CopyResult CopyFileAtomically(const std::string& source, const std::string& destination,
                              CopyProgress* progress, const std::string& title) {
    if (source.empty() || destination.empty()) {
        return CopyResult{CopyFailure::EmptyPath, "the source or the destination is empty"};
    }
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (in.Get() < 0) return Failure(CopyFailure::SourceUnreadable, "cannot open " + source, errno);
    struct stat sourceInfo {};
    if (::fstat(in.Get(), &sourceInfo) != 0) {
        return Failure(CopyFailure::SourceUnreadable, "cannot examine " + source, errno);
    }
    if (!S_ISREG(sourceInfo.st_mode)) {
        return CopyResult{CopyFailure::SourceUnreadable, source + " is not a regular file"};
    }
    ::fcntl(in.Get(), F_SETFL, 0);  // back to blocking reads now that it is known to be a file
    struct stat destinationInfo {};
    if (::stat(destination.c_str(), &destinationInfo) == 0 && S_ISDIR(destinationInfo.st_mode)) {
        return CopyResult{CopyFailure::DestinationIsFolder, destination + " is a folder"};
    }

    NewFile temporary(destination, 0600, kCopyTag);
    if (!temporary.Status().Succeeded()) {
        return CopyResult{CopyFailure::TemporaryFileFailed, temporary.Status().message};
    }
    const int out = temporary.Descriptor();

    const auto total = static_cast<std::uint64_t>(sourceInfo.st_size);
    std::uint64_t copied = 0;
    // A run asked to stop ends its copy at the next piece, as a cancel.
    const auto advance = [&] {
        return !InterruptRequested() &&
               (progress == nullptr || progress->Advance(title, copied, total));
    };
    struct ProgressEnd {
        CopyProgress* progress;
        ~ProgressEnd() {
            if (progress != nullptr) progress->Finish();
        }
    } progressEnd{progress};

    if (!advance())
        return CopyResult{CopyFailure::Cancelled, "the copy of " + source + " was cancelled"};
    int error = 0;
    bool writeFailed = false;
    bool inKernel = true;
    while (inKernel) {
        const ssize_t moved = ::copy_file_range(in.Get(), nullptr, out, nullptr, kChunkBytes, 0);
        if (moved > 0) {
            copied += static_cast<std::uint64_t>(moved);
            if (!advance()) {
                error = ECANCELED;
                break;
            }
        } else if (moved == 0) {
            break;
        } else if (errno == EINTR) {
            continue;
        } else if (copied == 0 &&
                   (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            inKernel = false;
            error = CopyByBuffer(in.Get(), out, copied, writeFailed, advance);
        } else {
            error = errno;
            // The kernel does not say which side failed; these are the writer's.
            writeFailed = error == ENOSPC || error == EFBIG || error == EDQUOT;
            break;
        }
    }
    if (error == ECANCELED)
        return CopyResult{CopyFailure::Cancelled, "the copy of " + source + " was cancelled"};
    if (error != 0) {
        return writeFailed ? Failure(CopyFailure::WriteFailed,
                                     "cannot write the copy " + destination, error)
                           : Failure(CopyFailure::ReadFailed, "cannot read " + source, error);
    }

    // Like the shell, the copy keeps the source's permissions and time
    // stamp; it keeps its owner too where this process may give it one, so
    // a copy made by an administrator still belongs to the database's owner.
    if (::fchown(out, sourceInfo.st_uid, sourceInfo.st_gid) != 0 && errno != EPERM) {
        return Failure(CopyFailure::WriteFailed,
                       "cannot give the copy " + destination + " its owner", errno);
    }
    ::fchmod(out, sourceInfo.st_mode & 07777);
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    ::futimens(out, times);
    if (FileStatus committed = temporary.Commit(); !committed.Succeeded()) {
        return CopyResult{CopyFailure::CommitFailed, committed.message};
    }
    return CopyResult{};
}

std::string ReplaceQuestionText(const std::string& destination) {
    return "コピー先には同じ名前のファイルが既に存在します。\n\n" + destination +
           "\n\nこのファイルを置き換えますか？";
}

PosixFileCopier::PosixFileCopier(MessageBoxes& messageBoxes, CopyProgress* progress)
    : messageBoxes_(messageBoxes), progress_(progress) {}

bool PosixFileCopier::CopyFileWithShell(const std::string& source, const std::string& destination,
                                        const std::string& title) {
    lastResult_ = CopyResult{};
    if (source.empty() || destination.empty()) {
        lastResult_ = CopyResult{CopyFailure::EmptyPath, "the source or the destination is empty"};
        return false;
    }
    struct stat sourceInfo {};
    struct stat destinationInfo {};
    // Ask only when the copy could go ahead, as the shell does.
    if (::stat(source.c_str(), &sourceInfo) == 0 && S_ISREG(sourceInfo.st_mode) &&
        ::stat(destination.c_str(), &destinationInfo) == 0 && !S_ISDIR(destinationInfo.st_mode)) {
        const MessageAnswer answer = messageBoxes_.Show(MessageBoxRequest{
            .text = ReplaceQuestionText(destination),
            .caption = title,
            .buttons = MessageButtons::YesNo,
            .icon = MessageIcon::Question,
            .owner = MessageOwner::Window,
        });
        if (answer != MessageAnswer::Yes) {
            lastResult_ = CopyResult{CopyFailure::ReplaceDeclined, destination + " was kept"};
            return false;
        }
    }
    lastResult_ = CopyFileAtomically(source, destination, progress_, title);
    return lastResult_.Succeeded();
}

}  // namespace platform
