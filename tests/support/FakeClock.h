// A clock for tests that answers a fixed time. Sleeping takes no time: it is
// added up, and OnSleep (when set) runs, so a test can change the world
// between the polls of a wait.
#pragma once

#include <functional>

#include "platform/Platform.h"

namespace testsupport {

class FakeClock : public platform::Clock {
  public:
    explicit FakeClock(platform::LocalTime time = {2020, 5, 24, 10, 20, 30, 456}) : Time(time) {}
    platform::LocalTime Now() const override {
        ++Calls;
        return Time;
    }
    void Sleep(std::chrono::milliseconds duration) override {
        Slept += duration;
        if (OnSleep) OnSleep();
    }

    platform::LocalTime Time;
    mutable int Calls = 0;
    std::chrono::milliseconds Slept{0};
    std::function<void()> OnSleep;
};

}  // namespace testsupport
