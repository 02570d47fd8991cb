// Writing a file whole or not at all, and the renames that move finished
// files into place without ever replacing one by accident.
//
// Every file this program writes goes through NewFile: the bytes go into a
// temporary file of a unique, unpredictable name beside the destination,
// created exclusively and never through a symbolic link (so a link planted
// in a shared folder cannot redirect the write), flushed to disk, and only
// then renamed into place; the folder is flushed after the rename. A failure
// or a kill leaves the destination as it was.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/Temporaries.h"

namespace platform {

// The outcome of a file operation: a value, as everything in this layer.
struct FileStatus {
    int error = 0;        // errno of the failing call; 0 on success
    std::string message;  // names the file and the system's reason; empty on success
    bool Succeeded() const { return error == 0; }
    static FileStatus Failure(int error, const std::string& what);
};

// The folder part of `path` with its trailing "/", or "" for a bare name.
std::string FolderOf(const std::string& path);

// The name after the last "/" of `path`.
std::string NameOf(const std::string& path);

// Flushes a folder's entries (a rename or a new name in it) to disk.
FileStatus SyncFolder(const std::string& folder);

// Renames `from` to `to` only when `to` does not exist (EEXIST otherwise),
// atomically where the file system allows it.
FileStatus RenameNoReplace(const std::string& from, const std::string& to);

// Swaps the names of two existing files in one step. EINVAL or ENOSYS in
// the status when the file system cannot; the caller then falls back.
FileStatus ExchangeFiles(const std::string& first, const std::string& second);

class NewFile {
  public:
    // A temporary file beside `destination`, named "." + its name + "." +
    // `tag` + "-XXXXXX", with permission bits `mode` (the umask applied).
    // Check Status() before writing.
    NewFile(std::string destination, mode_t mode, std::string_view tag = "tmp");
    ~NewFile();  // removes the temporary file unless it was committed
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    const FileStatus& Status() const { return status_; }
    int Descriptor() const { return descriptor_; }
    const std::string& TemporaryPath() const { return temporary_; }
    const std::string& Destination() const { return destination_; }

    FileStatus Write(std::string_view bytes);

    enum class Replace { Existing, Never };
    // Flushes and closes the file, renames it to the destination (replacing
    // an existing file, or refusing with EEXIST under Replace::Never) and
    // flushes the folder. After a failure the temporary file is gone.
    FileStatus Commit(Replace replace = Replace::Existing);

  private:
    std::string destination_;
    std::string temporary_;
    int descriptor_ = -1;
    bool committed_ = false;
    FileStatus status_;
    HeldTemporary held_;  // until it is in place or removed
};

// `bytes` as the whole content of `path`, through a NewFile.
FileStatus WriteFileWhole(const std::string& path, std::string_view bytes, mode_t mode,
                          NewFile::Replace replace = NewFile::Replace::Existing);

// A fresh unpredictable name beside `destination`: "." + its name + "." +
// `tag` + "-XXXXXX". Nothing is created; the caller creates it exclusively.
std::string TemporaryNameBeside(const std::string& destination, std::string_view tag);

// True when `name` (a bare file name) is a temporary name NewFile gave for a
// destination named `destinationName` with `tag`: what a killed run leaves.
bool IsLeftoverOf(const std::string& name, const std::string& destinationName,
                  std::string_view tag);

}  // namespace platform
