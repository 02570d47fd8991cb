#include "engine/FileLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/Internal.h"

namespace engine {

using namespace detail;

namespace {

// SQLite's lock bytes (its documented lock-byte page): the pending byte,
// the reserved byte, then 510 shared bytes. A write lock on all of them is
// its EXCLUSIVE lock. An open-file-description lock conflicts with the
// ordinary record locks SQLite takes, in other processes and in this one,
// and closing it does not drop this process's other locks on the file.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kLockBytes = 512;

// A journal SQLite would play back: not empty and its first byte set (a
// finished journal is empty, gone or has its header zeroed).
bool IsLiveJournal(const std::string& journal) {
    const int descriptor = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0) return errno != ENOENT;  // there, but unreadable: assume the worst
    char first = 0;
    const ssize_t got = ::read(descriptor, &first, 1);
    ::close(descriptor);
    return got != 0 && (got < 0 || first != 0);
}

// Lets SQLite settle what a process cut off left behind: a hot journal is
// played back into the file, a log checkpointed. A file SQLite cannot read
// as a database is left alone; whoever locks it learns about it elsewhere.
void SettleJournal(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) ==
        SQLITE_OK) {
        sqlite3_exec(db, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(db);
}

}  // namespace

bool HasJournalBeside(const std::string& path, std::string* found) {
    for (const char* suffix : {"-journal", "-wal"}) {
        const std::string journal = path + suffix;
        if (IsLiveJournal(journal)) {
            if (found != nullptr) *found = journal;
            return true;
        }
    }
    return false;
}

DatabaseFileLock::DatabaseFileLock(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        raise(hr::kUnspecified, jet::kFileNotFound, "Could not find file '" + path + "'.");
    if (!S_ISREG(info.st_mode)) {
        raise(hr::kUnspecified, jet::kUnrecognizedFormat,
              "'" + path + "' is not a database file (not a regular file).");
    }
    SettleJournal(path);
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor_ < 0) {
        raise(hr::kUnspecified, jet::kCannotOpen,
              "The database file '" + path + "' cannot be opened for writing (" +
                  std::strerror(errno) + ").");
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kPendingByte;
    lock.l_len = kLockBytes;
    if (::fcntl(descriptor_, F_OFD_SETLK, &lock) != 0) {
        const int error = errno;
        ::close(descriptor_);
        descriptor_ = -1;
        if (error == EAGAIN || error == EACCES) {
            raise(hr::kUnspecified, jet::kFileInUse,
                  "The database file '" + path +
                      "' is in use by another process and could not be locked. Close the other "
                      "program and "
                      "try again.");
        }
        raise(hr::kUnspecified, jet::kCannotOpen,
              "The database file '" + path + "' cannot be locked (" + std::strerror(error) + ").");
    }
    // Checked under the lock: no writer can start a journal now, so a live
    // one belongs to a transaction that was cut off and that SQLite could
    // not play back.
    std::string journal;
    if (HasJournalBeside(path, &journal)) {
        ::close(descriptor_);
        descriptor_ = -1;
        raise(hr::kUnspecified, jet::kFileInUse,
              "The database file '" + path + "' has an unfinished transaction: '" + journal +
                  "' is beside it. Open the database with the program that was using it so that it "
                  "can finish, "
                  "then try again.");
    }
}

DatabaseFileLock::~DatabaseFileLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace engine
