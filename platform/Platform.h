// The services of the desktop that the windows and the update use, each behind
// a small interface. The real implementations use Qt, POSIX and X11; tests
// hand in fakes that answer from a script and record what was asked.
//
// None of these headers includes Qt, so logic libraries can depend on them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/MessageBoxes.h"

namespace platform {

// The clipboard, holding UTF-8 text on this platform.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    enum class Result { Ok, OpenFailed, EmptyFailed, SetFailed };
    // Replaces the clipboard's content with `text`.
    virtual Result SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
};

// Local time, to the millisecond.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() const = 0;
    // Waits for `duration`; a test's clock only records it.
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The shell's "open" verb and the folder-browse dialog.
class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a file or folder with the desktop's opener; false when it could not.
    virtual bool Open(const std::string& path) = 0;
    // The folder the operator chose ("/"-terminated), or nothing when cancelled.
    virtual std::optional<std::string> BrowseForFolder(const std::string& title) = 0;
};

// The shell's file copy: through a temporary file beside the destination,
// flushed and renamed into place, so a failed or cancelled copy leaves no
// partial file. It asks (through the message boxes) before replacing an
// existing destination; a No is a failed copy.
class FileCopier {
  public:
    virtual ~FileCopier() = default;
    // false for an empty source or destination and for every failure.
    virtual bool CopyFileWithShell(const std::string& source, const std::string& destination,
                                   const std::string& title) = 0;
    // Why the last copy failed, for logs; empty when unknown or when it succeeded.
    virtual std::string LastFailure() const { return {}; }
};

// Read-only access to the host application's registry values.
class Registry {
  public:
    virtual ~Registry() = default;
    // true when `key` exists under the current user and can be read.
    virtual bool KeyExists(const std::string& key) = 0;
    // The text value `name` of `key` (e.g. "SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE\\")
    // under the current user; nothing when the key or value is absent or unreadable.
    virtual std::optional<std::string> ReadString(const std::string& key,
                                                  const std::string& name) = 0;
    // The extension of the one database file this registry stands for when
    // the operator named that file exactly (--db PATH): taken as it is, never
    // searched for. Nothing for a real registry.
    virtual std::optional<std::string> ExactExtension() { return std::nullopt; }
    // Why the registry gave no keys at all (its file missing, unreadable or
    // too large), for the operator; empty when it was read.
    virtual std::string LoadProblem() { return {}; }
};

// The single-instance lock.
class InstanceLock {
  public:
    virtual ~InstanceLock() = default;
    enum class Result {
        Acquired,       // this process now holds the lock
        HeldElsewhere,  // another process holds it
        Unavailable,    // the lock could not be made at all (no lock is held)
    };
    // Takes the lock named `name` without waiting.
    virtual Result Acquire(const std::string& name) = 0;
    virtual void Release() = 0;  // safe without a held lock
};

// The host application's top-level window.
class HostWindows {
  public:
    virtual ~HostWindows() = default;
    // true when a top-level window of that class exists.
    virtual bool Find(const std::string& windowClass) = 0;
    // Sends the close request to the first top-level window of that class;
    // true when it was sent. It does not wait for the window to close.
    virtual bool RequestClose(const std::string& windowClass) = 0;
};

// The wait and arrow cursors. The waits nest: ShowWait begins one, ShowArrow
// ends the latest, and the arrow comes back only when the outermost has ended
// (a step that waits inside the update's work leaves the update's wait on).
// ShowArrow with no wait begun does nothing.
class Cursor {
  public:
    virtual ~Cursor() = default;
    virtual void ShowWait() = 0;
    virtual void ShowArrow() = 0;
};

// The wait cursor for one scope: the pointer before it comes back however the
// scope ends.
class WaitCursor {
  public:
    explicit WaitCursor(Cursor& cursor) : cursor_(cursor) { cursor_.ShowWait(); }
    ~WaitCursor() { cursor_.ShowArrow(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    Cursor& cursor_;
};

// "Take one pending message and dispatch it", so a long loop keeps the window painting.
class MessagePump {
  public:
    virtual ~MessagePump() = default;
    // Everything pending, the operator's clicks and keys too: a loop that
    // a click may stop.
    virtual void PumpOne() = 0;
    // Painting only, the operator's input left waiting: work that must not
    // be interrupted, and asks its questions itself. Cheap to call very
    // often; paints at most every few tens of milliseconds.
    virtual void Repaint() = 0;
};

// Where the running program keeps the user's files.
class ProgramInfo {
  public:
    virtual ~ProgramInfo() = default;
    // The folder of the statement log and the scratch file, ending with "/";
    // it may not exist yet (platform::CreatePrivateFolders makes it).
    virtual std::string StateFolder() const = 0;
};

// Every service, handed to a window at construction.
struct Services {
    MessageBoxes& messageBoxes;
    Clipboard& clipboard;
    Clock& clock;
    Shell& shell;
    FileCopier& fileCopier;
    Registry& registry;
    InstanceLock& instanceLock;
    HostWindows& hostWindows;
    Cursor& cursor;
    MessagePump& messagePump;
    ProgramInfo& programInfo;
};

}  // namespace platform
