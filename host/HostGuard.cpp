#include "host/HostGuard.h"

#include "platform/Interrupts.h"

namespace host {

bool EnsureSingleInstance(platform::InstanceLock& lock, platform::MessageBoxes& messageBoxes) {
    if (lock.Acquire(kInstanceLockName) != platform::InstanceLock::Result::HeldElsewhere) {
        return true;
    }
    messageBoxes.Show(platform::MessageBoxRequest{
        .text = kAlreadyRunningText,
        .caption = {},
        .buttons = platform::MessageButtons::Ok,
        .icon = platform::MessageIcon::Warning,
        .owner = platform::MessageOwner::Application,
    });
    return false;
}

void ReleaseSingleInstance(platform::InstanceLock& lock) {
    lock.Release();
}

std::string DatabaseInUseText(const std::string& databasePath, const platform::DatabaseLock& lock) {
    return "the database " + databasePath + " is being changed by " +
           platform::DescribeHolder(lock.Holder()) +
           "; nothing was done: run this again when that has ended (its lock: " + lock.LockFile() +
           ")";
}

HostGuardOutcome AskToCloseHostApplication(platform::HostWindows& hostWindows,
                                           platform::MessageBoxes& messageBoxes,
                                           platform::Clock& clock) {
    if (!hostWindows.Find(kHostWindowClass)) return HostGuardOutcome::NoHost;
    const platform::MessageAnswer answer = messageBoxes.Show(platform::MessageBoxRequest{
        .text = kCloseHostText,
        .caption = kCloseHostCaption,
        .buttons = platform::MessageButtons::YesNo,
        .icon = platform::MessageIcon::Stop,
        .owner = platform::MessageOwner::Window,
    });
    if (answer != platform::MessageAnswer::Yes) return HostGuardOutcome::KeptOpen;
    hostWindows.RequestClose(kHostWindowClass);
    // Time spent looking is not counted: an X server answers in microseconds.
    for (std::chrono::milliseconds waited{0};; waited += kHostClosePoll) {
        if (!hostWindows.Find(kHostWindowClass)) return HostGuardOutcome::Closed;
        // A stop request ends the wait; the update then does not begin.
        if (waited >= kHostCloseWait || platform::InterruptRequested())
            return HostGuardOutcome::StillOpen;
        clock.Sleep(kHostClosePoll);
    }
}

std::string HostGuardText(HostGuardOutcome outcome) {
    const std::string seconds =
        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kHostCloseWait).count());
    switch (outcome) {
        case HostGuardOutcome::Closed:
            return "the host application's window closed within " + seconds +
                   " s of the close request";
        case HostGuardOutcome::StillOpen:
            return "the host application's window was still open " + seconds +
                   " s after the close request; the update went on";
        case HostGuardOutcome::NotRun:
        case HostGuardOutcome::NoHost:
        case HostGuardOutcome::KeptOpen:
            break;
    }
    return {};
}

}  // namespace host
