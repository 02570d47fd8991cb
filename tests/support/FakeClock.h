// A clock for tests that answers a fixed time.
#pragma once

#include "platform/Platform.h"

namespace testsupport {

class FakeClock : public platform::Clock {
  public:
    explicit FakeClock(platform::LocalTime time = {2020, 5, 24, 10, 20, 30, 456}) : Time(time) {}
    platform::LocalTime Now() const override {
        ++Calls;
        return Time;
    }

    platform::LocalTime Time;
    mutable int Calls = 0;
};

}  // namespace testsupport
