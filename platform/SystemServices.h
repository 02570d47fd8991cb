// The services that need no window system: the clock, the program's folder,
// and the stand-ins the command-line front end uses for the shell, the
// cursor and the message pump.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/Platform.h"

namespace platform {

class SystemClock : public Clock {
  public:
    LocalTime Now() const override;
    void Sleep(std::chrono::milliseconds duration) override;
};

// The running executable's full path, from /proc/self/exe. Throws
// std::runtime_error when it cannot be read.
std::string ExecutablePath();

// The user's state folder, and the running executable's name.
class SystemProgramInfo : public ProgramInfo {
  public:
    // $XDG_STATE_HOME/vantoly/ (platform::UserStateFolder).
    std::string StateFolder() const override;
    // The executable's file name, e.g. "VantolyPatch". Throws
    // std::runtime_error when the executable's path cannot be read.
    std::string ProgramName() const;
};

// The application title: the program's file name without its extension
// (the part from the last full stop that no blank follows), as Windows names
// an application that has no title of its own. A name that would be left
// empty (".hidden") stays whole.
std::string ApplicationTitleOf(const std::string& programFileName);

// Without a desktop: "open" prints the path, and no folder can be chosen.
class HeadlessShell : public Shell {
  public:
    explicit HeadlessShell(std::ostream& out);
    bool Open(const std::string& path) override;  // prints "open: " + path
    std::optional<std::string> BrowseForFolder(const std::string& title) override;

  private:
    std::ostream& out_;
};

class NullCursor : public Cursor {
  public:
    void ShowWait() override {}
    void ShowArrow() override {}
};

}  // namespace platform
