#include "platform/FlockInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Flock.h"

namespace platform {

namespace {

// A folder that other users may write into, such as /tmp.
bool IsSharedFolder(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && (info.st_mode & S_IWOTH) != 0;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string DefaultLockFolder(const EnvironmentLookup& environment) {
    if (auto runtime = environment("XDG_RUNTIME_DIR"); runtime && !runtime->empty()) {
        return WithSlash(*runtime);
    }
    if (auto temporary = environment("TMPDIR"); temporary && !temporary->empty()) {
        return WithSlash(*temporary);
    }
    return "/tmp/";
}

FlockInstanceLock::FlockInstanceLock(std::string folder) : folder_(WithSlash(std::move(folder))) {}

FlockInstanceLock::~FlockInstanceLock() {
    Release();
}

std::string FlockInstanceLock::LockFilePath(const std::string& name) const {
    if (!IsSharedFolder(folder_)) return folder_ + name + ".lock";
    return folder_ + name + "-" + std::to_string(getuid()) + ".lock";
}

InstanceLock::Result FlockInstanceLock::Acquire(const std::string& name) {
    Release();
    lastProblem_.clear();
    const std::string path = LockFilePath(name);
    // O_CLOEXEC: a child started by the tool must not inherit the lock and
    // keep it after the tool has ended. O_NOFOLLOW: a link planted in a
    // shared folder must not make us create or lock another file.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        lastProblem_ = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return Result::Unavailable;
    }
    if (const int error = TryExclusiveFlock(fd); error != 0) {
        ::close(fd);
        if (error == EWOULDBLOCK) return Result::HeldElsewhere;
        lastProblem_ = "cannot lock " + path + ": " + std::strerror(error);
        return Result::Unavailable;
    }
    fd_ = fd;
    return Result::Acquired;
}

void FlockInstanceLock::Release() {
    if (fd_ < 0) return;
    // The file stays: removing it would let a third copy lock a new file
    // while a second still waits on the old one.
    ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
