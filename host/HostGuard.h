// Keeping a second copy of the tool and the running host application out of
// the way of an update.
#pragma once

#include <chrono>
#include <string>

#include "platform/DatabaseLock.h"
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

// What the operator reads when a run that would change the database at
// `databasePath` finds its lock (`lock`, just refused) held by another run.
std::string DatabaseInUseText(const std::string& databasePath, const platform::DatabaseLock& lock);

// How long the update gives the host's window to disappear after the close
// request, and how often it looks.
inline constexpr std::chrono::milliseconds kHostCloseWait{10000};
inline constexpr std::chrono::milliseconds kHostClosePoll{100};

enum class HostGuardOutcome {
    NotRun,     // the guard was not asked
    NoHost,     // no window of the host was open; nothing asked
    KeptOpen,   // the operator answered No; nothing else may happen
    Closed,     // the close request was sent and the window went within the wait
    StillOpen,  // the close request was sent and the window was there after the wait
};

// The first step of the update: when a window of the host application is
// open, asks whether to close it (stop icon, caption kCloseHostCaption).
// Yes sends one close request and then looks for the window every
// kHostClosePoll until it is gone, for at most kHostCloseWait; the update
// goes on either way (the host may ask its own question or refuse), and the
// outcome says which it was.
HostGuardOutcome AskToCloseHostApplication(platform::HostWindows& hostWindows,
                                           platform::MessageBoxes& messageBoxes,
                                           platform::Clock& clock);

// A sentence for the logs and the reports on a guard that sent the close
// request; empty for the other outcomes.
std::string HostGuardText(HostGuardOutcome outcome);

}  // namespace host
