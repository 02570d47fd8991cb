// The single-instance lock: an flock'ed file. The kernel drops the lock when
// the process ends in any way, so a crashed copy never locks out the next.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/RegistryFile.h"

namespace platform {

// The folder for lock files: $XDG_RUNTIME_DIR (private to the user), else the
// temporary folder ($TMPDIR or /tmp), ending with "/".
std::string DefaultLockFolder(const EnvironmentLookup& environment = SystemEnvironment);

class FlockInstanceLock : public InstanceLock {
  public:
    // Lock files go into `folder` ("/"-terminated or not).
    explicit FlockInstanceLock(std::string folder = DefaultLockFolder());
    ~FlockInstanceLock() override;
    FlockInstanceLock(const FlockInstanceLock&) = delete;
    FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

    // Locks the file `name` + ".lock" in the folder (in a shared temporary
    // folder the user id is part of the name, so users do not lock each other
    // out). Unavailable when the file cannot be opened; LastProblem says why.
    Result Acquire(const std::string& name) override;
    void Release() override;

    bool Held() const { return fd_ >= 0; }
    std::string LockFilePath(const std::string& name) const;
    const std::string& LastProblem() const { return lastProblem_; }

  private:
    std::string folder_;
    int fd_ = -1;  // the open, locked file while the lock is held
    std::string lastProblem_;
};

}  // namespace platform
