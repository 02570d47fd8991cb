// The files and folders a run makes and must remove if it does not finish:
// copies on their way into place, databases under construction, the dry
// run's private folder.
//
// Each one is held while in use: an exclusive flock on a descriptor of its
// own, so another run can tell a live temporary (locked) from one a killed
// run left behind (unlocked). The process's registry knows every held one,
// so a run that is asked to stop removes what it made before it exits.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

enum class TemporaryKind {
    File,    // removed with the journal SQLite may have left beside it
    Folder,  // removed with everything in it
};

class TemporaryRegistry;

// One temporary held by this run: locked and registered while the object
// lives. Destroying it (or Release) gives the lock up and forgets the path
// without removing anything: the owner has put it in place or removed it.
class HeldTemporary {
  public:
    HeldTemporary() = default;
    ~HeldTemporary() { Release(); }
    HeldTemporary(HeldTemporary&& other) noexcept;
    HeldTemporary& operator=(HeldTemporary&& other) noexcept;
    HeldTemporary(const HeldTemporary&) = delete;
    HeldTemporary& operator=(const HeldTemporary&) = delete;

    // Takes the lock on the temporary at `path`, which this run has just
    // made, and registers it. False when the name no longer stands for that
    // file (another run's sweep took it in between, or someone else holds
    // it): the caller makes a new one. `made` is a descriptor of the file
    // the caller created, or -1.
    bool Hold(const std::string& path, TemporaryKind kind, int made = -1);
    void Release();

  private:
    int descriptor_ = -1;
    std::uint64_t id_ = 0;
};

// The process's temporaries. Thread-safe.
class TemporaryRegistry {
  public:
    std::uint64_t Add(const std::string& path, TemporaryKind kind);
    void Remove(std::uint64_t id);
    // Removes every temporary still registered; for a run that stops short.
    void RemoveAll();

  private:
    struct Entry {
        std::uint64_t id;
        std::string path;
        TemporaryKind kind;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t nextId_ = 1;
};

// Removes what killed runs of this program left in `folder`: files named
// like the temporaries of a copy, an import or a database creation
// (".NAME.TAG-XXXXXX" and their "-journal"), a database's lock file
// (".NAME.vantolypatch-lock"), and dry-run folders
// ("vantoly-dry-run-XXXXXX"), each only when no process holds its lock.
// Nothing else is touched; a folder that cannot be read is passed over.
void RemoveStaleTemporaries(const std::string& folder);

// Removes the temporary at `path` (with its journal, or a folder with
// everything in it) unless a live run holds its lock.
void RemoveIfUnlocked(const std::string& path, TemporaryKind kind);

// The folder dry runs make their private copies in: $TMPDIR, else /tmp.
std::string TemporaryFilesFolder();

// The name prefix of a dry run's private folder inside TemporaryFilesFolder().
inline constexpr const char* kDryRunFolderPrefix = "vantoly-dry-run-";

}  // namespace platform
