// The shell's file copy on this platform: all or nothing. The bytes go into a
// temporary file beside the destination, which is flushed to disk and only
// then renamed into place; any failure or a cancel removes the temporary
// file, so the destination is either the complete copy or as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/MessageBoxes.h"
#include "platform/Platform.h"

namespace platform {

enum class CopyFailure {
    None,
    EmptyPath,            // the source or the destination is an empty text
    SourceUnreadable,     // missing, not a regular file, or cannot be opened
    DestinationIsFolder,  // a folder has the destination's name
    ReplaceDeclined,      // the operator would not replace the existing file
    TemporaryFileFailed,  // the destination's folder cannot take a new file
    ReadFailed,
    WriteFailed,  // e.g. the disk is full or the file size limit is reached
    Cancelled,
    CommitFailed,  // the finished copy could not be flushed or renamed into place
};

struct CopyResult {
    CopyFailure failure = CopyFailure::None;
    std::string message;  // names the file and the system's reason; empty on success
    bool Succeeded() const { return failure == CopyFailure::None; }
};

// Shows how a copy advances. The copier calls Advance after every chunk and
// Finish once at the end; Advance answers false to cancel the copy.
class CopyProgress {
  public:
    virtual ~CopyProgress() = default;
    virtual bool Advance(const std::string& title, std::uint64_t copiedBytes,
                         std::uint64_t totalBytes) = 0;
    virtual void Finish() = 0;
};

// The tag of the copy's temporary file beside the destination
// ("." + name + ".copying-XXXXXX"), which a killed copy leaves behind.
inline constexpr std::string_view kCopyTag = "copying";

// Copies `source` to `destination`, replacing an existing destination file
// without asking. Keeps the source's permission bits and modification time.
// `progress` may be null.
CopyResult CopyFileAtomically(const std::string& source, const std::string& destination,
                              CopyProgress* progress = nullptr, const std::string& title = "");

// The FileCopier of the windows and the command line. The question before
// replacing an existing destination goes through `messageBoxes`; `progress`
// (may be null) shows long copies.
class PosixFileCopier : public FileCopier {
  public:
    explicit PosixFileCopier(MessageBoxes& messageBoxes, CopyProgress* progress = nullptr);

    bool CopyFileWithShell(const std::string& source, const std::string& destination,
                           const std::string& title) override;

    // How the last copy ended.
    const CopyResult& LastResult() const { return lastResult_; }
    std::string LastFailure() const override { return lastResult_.message; }

  private:
    MessageBoxes& messageBoxes_;
    CopyProgress* progress_;
    CopyResult lastResult_;
};

// The question asked before an existing destination is replaced.
std::string ReplaceQuestionText(const std::string& destination);

}  // namespace platform
