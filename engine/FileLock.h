// The database file's exclusive lock, held from outside a connection: what
// a writer holds while it commits. While it is held no connection of any
// process can read or write the file, so the file can be replaced or
// renamed without pulling it from under a transaction.
#pragma once

#include <string>

namespace engine {

class DatabaseFileLock {
  public:
    // Takes the lock on the database file at `path`, after letting SQLite
    // play back a journal that a process cut off left behind. Raises
    // ComError 3045 when another connection holds any lock on the file or a
    // journal beside it still shows a transaction that has not ended (it
    // would be replayed into whatever file has the name next), 3024 when the
    // file is missing, 3343 when it is not a regular file. Waits for no one.
    explicit DatabaseFileLock(const std::string& path);
    ~DatabaseFileLock();  // releases the lock
    DatabaseFileLock(const DatabaseFileLock&) = delete;
    DatabaseFileLock& operator=(const DatabaseFileLock&) = delete;

  private:
    int descriptor_ = -1;
};

// A journal or write-ahead log beside the database (path + "-journal",
// "-wal") that SQLite would still play back: a transaction open or cut off.
bool HasJournalBeside(const std::string& path, std::string* found = nullptr);

}  // namespace engine
