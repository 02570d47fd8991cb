// The reader program (vantolypatch-mdb-reader) as a child process: the only
// place libmdb runs. The child is started with fork and exec, in a process
// group of its own, with limits on its memory, its processor time and the
// files it may write (none); its frames come over a pipe of their own, its
// standard output and error (libmdb's warnings and hex dumps) over another,
// read, counted and capped here. A crash, a limit, a broken stream or a
// child that takes longer than the file's size allows ends in a SourceError
// naming what it was reading; a stop request kills the child at once.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "import/GenuineSource.h"
#include "mdbreader/Frames.h"
#include "platform/Interrupts.h"

namespace genuine {

// The reader program: $VANTOLY_MDB_READER when set, else
// vantolypatch-mdb-reader beside the running executable, else in
// ../lib/vantolypatch/ from its folder (where the package installs it).
// SourceError when none is there.
std::string ReaderProgramPath();

// How long the reader may take over a file of `bytes`, waiting time only
// (the import's own writing does not count): a minute, and two more
// seconds per MiB. $VANTOLY_READER_TIMEOUT (seconds) replaces it.
double ReaderTimeLimitSeconds(std::uint64_t bytes);

class ReaderProcess {
  public:
    // Starts the reader on `source` (of `sourceBytes` bytes).
    ReaderProcess(const std::string& source, std::uint64_t sourceBytes);
    // Kills the child if it still runs, and reaps it.
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    // One request line to the child.
    void Send(const std::string& line);

    struct Frame {
        frames::FrameType type;
        std::string_view payload;  // valid until the next call
    };
    // The next frame other than kReading (those only say what the child
    // reads). SourceError when the child ended, broke the stream or ran out
    // of time; SourceInterrupted when a stop was asked; an error frame is a
    // SourceError with the child's text.
    Frame Next();

    std::uint64_t WarningLines() const { return warningLines_; }
    // The first lines of libmdb's output, for a message; empty when none.
    std::string WarningSample() const;

  private:
    [[noreturn]] void Fail(const std::string& why);
    void DrainWarnings();
    std::string DescribeEnd(int status) const;

    std::string source_;
    std::atomic<pid_t> pid_{-1};
    int requests_ = -1;  // the child's standard input
    int frames_ = -1;    // the child's descriptor 3
    int warnings_ = -1;  // the child's standard output and error
    std::string buffer_;
    std::size_t consumed_ = 0;  // of buffer_, handed out as frames
    std::string reading_ = "the file's header";
    std::string warningText_;  // capped
    std::uint64_t warningLines_ = 0;
    bool warningLineOpen_ = false;
    double limitSeconds_ = 0;
    double waitedSeconds_ = 0;
    std::unique_ptr<platform::InterruptHook> stopHook_;
};

}  // namespace genuine
