#include "platform/Temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/DatabaseLock.h"
#include "platform/FileCopy.h"
#include "platform/Interrupts.h"

namespace platform {

namespace {

constexpr std::string_view kJournalSuffix = "-journal";
// The tags of the temporaries nothing else needs once their run is gone.
// (The restore's record and staging copy are settled by the next restore.)
constexpr std::string_view kSweptTags[] = {kCopyTag, "import", "creating"};

TemporaryRegistry* ProcessRegistry() {
    InterruptWatcher* watcher = ProcessInterruptWatcher();
    return watcher == nullptr ? nullptr : &watcher->Temporaries();
}

int OpenForLock(const std::string& path, TemporaryKind kind) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    return ::open(path.c_str(), kind == TemporaryKind::Folder ? flags | O_DIRECTORY : flags);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void RemoveTemporary(const std::string& path, TemporaryKind kind) {
    if (kind == TemporaryKind::Folder) {
        std::error_code ignored;  // what cannot be removed is found by the next run's sweep
        std::filesystem::remove_all(path, ignored);
        return;
    }
    ::unlink(path.c_str());
    ::unlink((path + std::string(kJournalSuffix)).c_str());
}

// The temporary `name` stands for when it is one of ours: ".NAME.TAG-XXXXXX".
bool IsSweptName(const std::string& name) {
    if (name.size() < 2 || name[0] != '.') return false;
    for (const std::string_view tag : kSweptTags) {
        const std::string marker = "." + std::string(tag) + "-";
        const std::size_t at = name.rfind(marker);
        if (at == std::string::npos || at < 2) continue;
        if (IsLeftoverOf(name, name.substr(1, at - 1), tag)) return true;
    }
    return false;
}

}  // namespace

HeldTemporary::HeldTemporary(HeldTemporary&& other) noexcept
    : descriptor_(other.descriptor_), id_(other.id_) {
    other.descriptor_ = -1;
    other.id_ = 0;
}

HeldTemporary& HeldTemporary::operator=(HeldTemporary&& other) noexcept {
    if (this != &other) {
        Release();
        descriptor_ = other.descriptor_;
        id_ = other.id_;
        other.descriptor_ = -1;
        other.id_ = 0;
    }
    return *this;
}

bool HeldTemporary::Hold(const std::string& path, TemporaryKind kind, int made) {
    Release();
    // The temporary counts as this run's only if the name still stands for
    // the file it made: a sweep may have removed it between its creation
    // and the lock.
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) return false;
    struct stat original {};
    if (made >= 0 && (::fstat(made, &original) != 0 || !SameFile(original, named))) return false;
    const int descriptor = OpenForLock(path, kind);
    struct stat locked {};
    if (descriptor >= 0 && (::fstat(descriptor, &locked) != 0 || !SameFile(locked, named))) {
        ::close(descriptor);
        return false;
    }
    // A file system without flock still gets its temporaries registered;
    // only the next run's sweep cannot tell them from live ones, and passes
    // over them (their lock cannot be taken there either).
    if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(descriptor);
        return false;
    }
    descriptor_ = descriptor;
    if (TemporaryRegistry* registry = ProcessRegistry()) id_ = registry->Add(path, kind);
    return true;
}

void HeldTemporary::Release() {
    if (id_ != 0) {
        if (TemporaryRegistry* registry = ProcessRegistry()) registry->Remove(id_);
        id_ = 0;
    }
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
}

std::uint64_t TemporaryRegistry::Add(const std::string& path, TemporaryKind kind) {
    const std::lock_guard lock(mutex_);
    entries_.push_back({nextId_, path, kind});
    return nextId_++;
}

void TemporaryRegistry::Remove(std::uint64_t id) {
    const std::lock_guard lock(mutex_);
    std::erase_if(entries_, [id](const Entry& entry) { return entry.id == id; });
}

void TemporaryRegistry::RemoveAll() {
    const std::lock_guard lock(mutex_);
    for (const Entry& entry : entries_) RemoveTemporary(entry.path, entry.kind);
    entries_.clear();
}

// Removes `path` when nobody holds its lock; the lock is kept while removing,
// so two sweeps never race over one temporary.
void RemoveIfUnlocked(const std::string& path, TemporaryKind kind) {
    const int descriptor = OpenForLock(path, kind);
    if (descriptor < 0) return;
    struct stat info {};
    const bool right =
        ::fstat(descriptor, &info) == 0 &&
        (kind == TemporaryKind::Folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode));
    if (right && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0) RemoveTemporary(path, kind);
    ::close(descriptor);
}

std::string TemporaryFilesFolder() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/";
}

void RemoveStaleTemporaries(const std::string& folder) {
    const std::string base = folder.empty() ? "./" : (folder.back() == '/' ? folder : folder + "/");
    DIR* directory = ::opendir(base.c_str());
    if (directory == nullptr) return;
    std::vector<std::pair<std::string, TemporaryKind>> found;
    while (const dirent* entry = ::readdir(directory)) {
        std::string name = entry->d_name;
        if (name.starts_with(kDryRunFolderPrefix) &&
            name.size() == std::string_view(kDryRunFolderPrefix).size() + 6) {
            found.emplace_back(name, TemporaryKind::Folder);
            continue;
        }
        if (name.ends_with(kJournalSuffix)) {
            // A journal whose database is gone belongs to nobody; one beside
            // its database goes with it.
            const std::string owner = name.substr(0, name.size() - kJournalSuffix.size());
            struct stat info {};
            if (IsSweptName(owner) && ::lstat((base + owner).c_str(), &info) != 0)
                ::unlink((base + name).c_str());
            continue;
        }
        // A database's lock its killed holder left; a live holder keeps its own.
        const bool lock = name.starts_with('.') && name.ends_with(kDatabaseLockSuffix);
        if (lock || IsSweptName(name)) found.emplace_back(name, TemporaryKind::File);
    }
    ::closedir(directory);
    for (const auto& [name, kind] : found) RemoveIfUnlocked(base + name, kind);
}

}  // namespace platform
