#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kRandomLength = 6;

std::string RandomSuffix() {
    unsigned char bytes[kRandomLength] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    std::string suffix;
    for (unsigned char byte : bytes) suffix += kNameCharacters[byte % kNameCharacters.size()];
    return suffix;
}

}  // namespace

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileStatus FileStatus::Failure(int error, const std::string& what) {
    return FileStatus{error == 0 ? EIO : error, what + ": " + std::strerror(error)};
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

FileStatus SyncFolder(const std::string& folder) {
    const std::string name = folder.empty() ? "." : folder;
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return FileStatus::Failure(errno, "cannot open the folder " + name);
    const int rc = ::fsync(descriptor);
    const int error = errno;
    ::close(descriptor);
    // Some file systems cannot flush a folder at all; their renames are as
    // durable as they get.
    if (rc != 0 && error != EINVAL && error != EROFS) {
        return FileStatus::Failure(error, "cannot flush the folder " + name);
    }
    return {};
}

FileStatus RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) {
        return FileStatus::Failure(errno, "cannot rename " + from + " to " + to);
    }
    // A file system without the flag: a hard link refuses an existing name
    // just as atomically; only where links are missing too is the check
    // separate from the rename.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0)
            return FileStatus::Failure(errno, "cannot remove the old name " + from);
        return {};
    }
    if (errno == EEXIST) return FileStatus::Failure(EEXIST, "cannot rename " + from + " to " + to);
    if (::access(to.c_str(), F_OK) == 0)
        return FileStatus::Failure(EEXIST, "cannot rename " + from + " to " + to);
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return FileStatus::Failure(errno, "cannot rename " + from + " to " + to);
    }
    return {};
}

FileStatus ExchangeFiles(const std::string& first, const std::string& second) {
    if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) != 0) {
        return FileStatus::Failure(errno, "cannot exchange " + first + " and " + second);
    }
    return {};
}

std::string TemporaryNameBeside(const std::string& destination, std::string_view tag) {
    return FolderOf(destination) + "." + NameOf(destination) + "." + std::string(tag) + "-" +
           RandomSuffix();
}

NewFile::NewFile(std::string destination, mode_t mode, std::string_view tag)
    : destination_(std::move(destination)) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = TemporaryNameBeside(destination_, tag);
        descriptor_ =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (descriptor_ >= 0) {
            if (!held_.Hold(candidate, TemporaryKind::File, descriptor_)) {
                // Taken by another run's sweep in between: a new name.
                ::close(descriptor_);
                descriptor_ = -1;
                continue;
            }
            temporary_ = std::move(candidate);
            return;
        }
        if (errno != EEXIST) {
            status_ =
                FileStatus::Failure(errno, "cannot create a file in the folder of " + destination_);
            return;
        }
    }
    status_ =
        FileStatus::Failure(EEXIST, "cannot find a free temporary name beside " + destination_);
}

NewFile::~NewFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

FileStatus NewFile::Write(std::string_view bytes) {
    if (!status_.Succeeded()) return status_;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(descriptor_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            status_ = FileStatus::Failure(errno, "cannot write " + destination_);
            return status_;
        }
        done += static_cast<std::size_t>(n);
    }
    return {};
}

FileStatus NewFile::Commit(Replace replace) {
    if (!status_.Succeeded()) return status_;
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::fsync(descriptor) != 0) {
        const int error = errno;
        ::close(descriptor);
        return status_ = FileStatus::Failure(error, "cannot flush " + destination_);
    }
    if (::close(descriptor) != 0)
        return status_ = FileStatus::Failure(errno, "cannot flush " + destination_);
    if (replace == Replace::Never) {
        FileStatus renamed = RenameNoReplace(temporary_, destination_);
        if (!renamed.Succeeded()) return status_ = renamed;
    } else if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        return status_ = FileStatus::Failure(errno,
                                             "cannot put the new file in place as " + destination_);
    }
    committed_ = true;
    held_.Release();
    // The file is complete and in place; a folder that cannot be flushed
    // does not undo that.
    SyncFolder(FolderOf(destination_));
    return {};
}

FileStatus WriteFileWhole(const std::string& path, std::string_view bytes, mode_t mode,
                          NewFile::Replace replace) {
    NewFile file(path, mode);
    if (FileStatus written = file.Write(bytes); !written.Succeeded()) return written;
    return file.Commit(replace);
}

bool IsLeftoverOf(const std::string& name, const std::string& destinationName,
                  std::string_view tag) {
    const std::string stem = "." + destinationName + "." + std::string(tag) + "-";
    if (name.size() != stem.size() + kRandomLength || name.compare(0, stem.size(), stem) != 0)
        return false;
    for (std::size_t i = stem.size(); i < name.size(); ++i) {
        if (kNameCharacters.find(name[i]) == std::string_view::npos) return false;
    }
    return true;
}

}  // namespace platform
