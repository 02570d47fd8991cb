#include "platform/DatabaseLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/FileIdentity.h"
#include "platform/Flock.h"

namespace platform {

namespace {

constexpr std::size_t kHolderTextLimit = 256;
// A lock file removed between our open and our lock is opened again; more
// than a few such races in a row means something removes it on purpose.
constexpr int kAttempts = 5;

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    return strcasecmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

int OpenLockFile(const std::string& path) {
    const int flags = O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
    // Another user's lock file: locking needs no write access, only the
    // holder's line stays unwritten.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | flags);
    return fd;
}

LockHolder ReadHolder(int fd) {
    char buffer[kHolderTextLimit];
    const ssize_t got = ::pread(fd, buffer, sizeof buffer - 1, 0);
    LockHolder holder;
    if (got <= 0) return holder;
    const std::string text(buffer, static_cast<std::size_t>(got));
    const auto space = text.find(' ');
    const auto end = text.find('\n');
    if (space == std::string::npos || end == std::string::npos || space > end) return holder;
    try {
        holder.pid = std::stoi(text.substr(0, space));
    } catch (const std::exception&) {
        return {};  // a line half written: nobody named
    }
    holder.command = text.substr(space + 1, end - space - 1);
    return holder;
}

void WriteHolder(int fd, const std::string& command) {
    const std::string line = std::to_string(::getpid()) + " " + command + "\n";
    // The holder's line is a courtesy to whoever is refused; the lock holds without it.
    if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, line.data(), line.size(), 0);
}

FileIdentity IdentityOfDescriptor(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return {};
    return {static_cast<unsigned long long>(info.st_dev),
            static_cast<unsigned long long>(info.st_ino)};
}

}  // namespace

std::string DatabaseLockPath(const std::string& databasePath) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::path(databasePath), error);
    if (error) resolved = fs::absolute(fs::path(databasePath), error);
    std::string name = resolved.filename().string();
    for (const char* extension : {".mdb", ".accdb"}) {
        if (EndsWithNoCase(name, extension) && name.size() > std::strlen(extension)) {
            name.resize(name.size() - std::strlen(extension));
            break;
        }
    }
    return (resolved.parent_path() / ("." + name + kDatabaseLockSuffix)).string();
}

std::string DescribeHolder(const LockHolder& holder) {
    if (holder.pid == 0) return "another run of VantolyPatch";
    if (holder.command == kWindowHolder)
        return "the VantolyPatch window (pid " + std::to_string(holder.pid) + ")";
    return "VantolyPatch " + (holder.command.empty() ? std::string("run") : holder.command) +
           " (pid " + std::to_string(holder.pid) + ")";
}

DatabaseLock::~DatabaseLock() {
    Release();
}

DatabaseLock::Result DatabaseLock::Acquire(const std::string& databasePath,
                                           const std::string& command) {
    Release();
    lockFile_ = DatabaseLockPath(databasePath);
    holder_ = {};
    problem_.clear();
    folderMissing_ = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = OpenLockFile(lockFile_);
        if (fd < 0) {
            folderMissing_ = errno == ENOENT || errno == ENOTDIR;
            problem_ = "cannot open the lock file " + lockFile_ + ": " + std::strerror(errno);
            return Result::kUnavailable;
        }
        if (const int error = TryExclusiveFlock(fd); error != 0) {
            if (error == EWOULDBLOCK) holder_ = ReadHolder(fd);
            ::close(fd);
            if (error != EWOULDBLOCK) {
                problem_ = "cannot lock " + lockFile_ + ": " + std::strerror(error);
                return Result::kUnavailable;
            }
            return holder_.pid == ::getpid() ? Result::kHeldByThisProcess : Result::kHeldElsewhere;
        }
        // Locked, but only the file the name still gives counts: one removed
        // meanwhile would let the next run lock a new file beside ours.
        if (IdentityOfDescriptor(fd) == IdentityOf(lockFile_)) {
            fd_ = fd;
            WriteHolder(fd_, command);
            return Result::kAcquired;
        }
        ::close(fd);
    }
    problem_ = "the lock file " + lockFile_ + " is removed as soon as it is made";
    return Result::kUnavailable;
}

void DatabaseLock::Release() {
    if (fd_ < 0) return;
    // Removed while still held, so no file stays beside the database: a run
    // that opened it meanwhile finds, once locked, that the name no longer
    // gives its file, and opens the name again.
    if (IdentityOfDescriptor(fd_) == IdentityOf(lockFile_)) ::unlink(lockFile_.c_str());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
