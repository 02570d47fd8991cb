#include "platform/Interrupts.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <thread>

namespace platform {

namespace {

InterruptWatcher* process = nullptr;

sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

[[noreturn]] void Watch(InterruptWatcher* watcher, sigset_t set) {
    // Once a stop was asked the hooks are called again and again: a
    // statement that began after the last call would not see it otherwise.
    constexpr timespec kRepeat{0, 100'000'000};
    for (;;) {
        siginfo_t info{};
        const int got = watcher->Signal() == 0 ? ::sigwaitinfo(&set, &info)
                                               : ::sigtimedwait(&set, &info, &kRepeat);
        if (got > 0) watcher->Record(got);
        if (watcher->Signal() != 0) watcher->CallHooks();
    }
}

}  // namespace

InterruptWatcher& WatchInterrupts() {
    static InterruptWatcher watcher;
    if (process == &watcher) return watcher;
    const sigset_t set = WatchedSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A reader that went away (`| head`, a dropped ssh session's pipe) makes
    // a write fail instead of ending the program where it stands, with its
    // temporaries left behind.
    ::signal(SIGPIPE, SIG_IGN);
    process = &watcher;
    std::thread(Watch, &watcher, set).detach();
    return watcher;
}

void ShareInterruptWatcher(InterruptWatcher* watcher) {
    process = watcher;
}

InterruptWatcher* ProcessInterruptWatcher() {
    return process;
}

int InterruptSignal() {
    return process == nullptr ? 0 : process->Signal();
}

int SettleInterrupt() {
    return process == nullptr ? 0 : process->Settle();
}

void ExitInterrupted() {
    const int signal = InterruptSignal();
    if (process != nullptr) process->Temporaries().RemoveAll();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(InterruptedExitStatus(signal));
}

InterruptHook::InterruptHook(std::function<void()> call) {
    if (process != nullptr) id_ = process->AddHook(std::move(call));
}

InterruptHook::~InterruptHook() {
    if (process != nullptr && id_ != 0) process->RemoveHook(id_);
}

int InterruptWatcher::Signal() const {
    return std::max(signal_.load(), 0);
}

int InterruptWatcher::Settle() {
    int signal = 0;
    signal_.compare_exchange_strong(signal, kSettledWithout);
    return std::max(signal, 0);
}

void InterruptWatcher::Record(int signal) {
    int none = 0;
    // The first signal is the one reported; none is taken once settled.
    signal_.compare_exchange_strong(none, signal);
}

void InterruptWatcher::CallHooks() {
    // Under the lock: a hook's owner that unregisters waits for a running call.
    const std::lock_guard lock(mutex_);
    for (const auto& hook : hooks_) hook.second();
}

std::uint64_t InterruptWatcher::AddHook(std::function<void()> call) {
    const std::lock_guard lock(mutex_);
    hooks_.emplace_back(nextHook_, std::move(call));
    return nextHook_++;
}

void InterruptWatcher::RemoveHook(std::uint64_t id) {
    const std::lock_guard lock(mutex_);
    std::erase_if(hooks_, [id](const auto& hook) { return hook.first == id; });
}

}  // namespace platform
