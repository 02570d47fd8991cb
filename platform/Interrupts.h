// SIGINT, SIGTERM and SIGHUP end the program cleanly. The signals are
// blocked in every thread and taken by a watcher thread, so no work happens
// inside a signal handler: the watcher records the first signal and calls
// the hooks the running work registered (stop the running statement, say),
// again every tenth of a second until the process ends, so a statement that
// started just after a call is stopped too. The main thread notices the
// request at its next safe point, lets its owners remove what they made,
// removes whatever temporary is still registered, and exits with 128 plus
// the signal's number.
//
// The watcher's state is one object per process; a module loaded at run time
// (with its own copy of this library) is handed the executable's object.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Temporaries.h"

namespace platform {

class InterruptWatcher;

// Starts watching. Call first in main(), before any other thread starts,
// so every thread inherits the blocked signals. SIGPIPE is ignored: a write
// to a reader that went away fails like any other write.
InterruptWatcher& WatchInterrupts();
// In a module with its own copy of this library: the executable's watcher.
void ShareInterruptWatcher(InterruptWatcher* watcher);
// The process's watcher, null when nothing watches (tests, helpers).
InterruptWatcher* ProcessInterruptWatcher();

// The signal that asked this run to stop; 0 while none did.
int InterruptSignal();
inline bool InterruptRequested() {
    return InterruptSignal() != 0;
}

// The signal the run ends with, fixed from this call on: a signal that comes
// later is ignored. Called where the run's outcome is told (its --json
// report) and by main() before it exits, so the exit status always says what
// the report says; a Ctrl+C that comes after the report of a finished update
// no longer turns its exit 0 into 130.
int SettleInterrupt();

// The exit status of a run stopped by `signal`: 128 + its number.
inline int InterruptedExitStatus(int signal) {
    return 128 + signal;
}

// Removes the temporaries still registered, flushes the standard streams
// and ends the process with InterruptedExitStatus. Only on the main thread,
// at a safe point.
[[noreturn]] void ExitInterrupted();

// A call the watcher makes (on its own thread) while the object lives, once
// a stop was asked: it must be thread-safe and quick.
class InterruptHook {
  public:
    explicit InterruptHook(std::function<void()> call);
    ~InterruptHook();
    InterruptHook(const InterruptHook&) = delete;
    InterruptHook& operator=(const InterruptHook&) = delete;

  private:
    std::uint64_t id_ = 0;
};

class InterruptWatcher {
  public:
    TemporaryRegistry& Temporaries() { return temporaries_; }
    int Signal() const;
    int Settle();

    // For the watcher thread and InterruptHook.
    void Record(int signal);
    void CallHooks();
    std::uint64_t AddHook(std::function<void()> call);
    void RemoveHook(std::uint64_t id);

  private:
    std::mutex mutex_;  // the hooks
    // The first signal; kSettledWithout once settled before any came.
    static constexpr int kSettledWithout = -1;
    std::atomic<int> signal_{0};
    std::vector<std::pair<std::uint64_t, std::function<void()>>> hooks_;
    std::uint64_t nextHook_ = 1;
    TemporaryRegistry temporaries_;
};

}  // namespace platform
