// The lock of one database for the runs that change it: an flock'ed file
// beside the database. Runs that only read take none, so any number of them
// look at a database while one run changes it; a second run that would
// change it is refused and told which run holds it. The kernel drops the
// lock when its holder ends in any way; the file goes with the release (a
// killed holder's with the next run's sweep, RemoveStaleTemporaries).
//
// The file lies beside the file the database's path resolves to (links
// followed), so every path to one database reaches one lock. Its name leaves
// out an ".mdb" or ".accdb" extension: the registry names a database by
// folder and name, and finds the extension on disk.
#pragma once

#include <string>

namespace platform {

inline constexpr const char* kDatabaseLockSuffix = ".vantolypatch-lock";

// ".NAME.vantolypatch-lock" beside the database at `databasePath`.
std::string DatabaseLockPath(const std::string& databasePath);

// The holder's name of the main window, which changes the database it shows.
inline constexpr const char* kWindowHolder = "window";

// Who holds a database's lock, as the holder wrote it into the file.
struct LockHolder {
    int pid = 0;          // 0: the holder has not written it yet
    std::string command;  // "update", "window", ...
};

// "VantolyPatch update (pid 1234)", or "another run of VantolyPatch" when
// the holder has not said.
std::string DescribeHolder(const LockHolder& holder);

class DatabaseLock {
  public:
    enum class Result {
        kAcquired,
        kHeldByThisProcess,  // another lock object of this process holds it
        kHeldElsewhere,      // Holder() says who
        kUnavailable,        // the file cannot be opened or locked; Problem() says why
    };

    DatabaseLock() = default;
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    // Takes the lock of the database at `databasePath` for `command` without
    // waiting, and writes this process and `command` into it.
    Result Acquire(const std::string& databasePath, const std::string& command);
    void Release();

    bool Held() const { return fd_ >= 0; }
    const std::string& LockFile() const { return lockFile_; }
    const LockHolder& Holder() const { return holder_; }
    const std::string& Problem() const { return problem_; }
    // Unavailable because the folder does not exist: the command reports that itself.
    bool FolderMissing() const { return folderMissing_; }

  private:
    int fd_ = -1;
    std::string lockFile_;
    LockHolder holder_;
    std::string problem_;
    bool folderMissing_ = false;
};

}  // namespace platform
