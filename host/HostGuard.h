// Keeping a second copy of the tool and the running host application out of
// the way of an update.
#pragma once

#include "platform/Platform.h"

namespace host {

inline constexpr char kInstanceLockName[] = "VantolyPatchInstance";
inline constexpr char kHostWindowClass[] = "Vantoly";

inline constexpr char kAlreadyRunningText[] = "すでに起動されています";
inline constexpr char kCloseHostCaption[] = "ＤＢ更新";
inline constexpr char kCloseHostText[] =
    "Vantoly計算ソフトを終了してから再実行してください。\n\n計算ソフトを終了しますか？";

// Takes the single-instance lock. When another copy holds it: shows
// kAlreadyRunningText (application box, warning icon) and answers false, and
// the caller ends. When the lock cannot be made at all the tool runs
// without one: true, nothing shown.
bool EnsureSingleInstance(platform::InstanceLock& lock, platform::MessageBoxes& messageBoxes);

// Releases the lock; nothing happens when none is held.
void ReleaseSingleInstance(platform::InstanceLock& lock);

// The first step of the update: when a window of the host application is
// open, asks whether to close it (stop icon, caption kCloseHostCaption).
// No: false, and nothing else happens. Yes: one close request is sent and
// the answer is true whether or not the host then closes. No host window:
// true, nothing asked.
bool AskToCloseHostApplication(platform::HostWindows& hostWindows,
                               platform::MessageBoxes& messageBoxes);

}  // namespace host
