#include "host/HostGuard.h"

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

bool AskToCloseHostApplication(platform::HostWindows& hostWindows,
                               platform::MessageBoxes& messageBoxes) {
    if (!hostWindows.Find(kHostWindowClass)) return true;
    const platform::MessageAnswer answer = messageBoxes.Show(platform::MessageBoxRequest{
        .text = kCloseHostText,
        .caption = kCloseHostCaption,
        .buttons = platform::MessageButtons::YesNo,
        .icon = platform::MessageIcon::Stop,
        .owner = platform::MessageOwner::Window,
    });
    if (answer != platform::MessageAnswer::Yes) return false;
    // The host may ask its own question or refuse; the update goes on anyway.
    hostWindows.RequestClose(kHostWindowClass);
    return true;
}

}  // namespace host
