// A message pump for tests: counts the pumps and can run a step on each, for
// example to cancel a long loop part-way.
#pragma once

#include <functional>

#include "platform/Platform.h"

namespace testsupport {

class FakeMessagePump : public platform::MessagePump {
  public:
    void PumpOne() override {
        ++Pumps;
        if (OnPump) OnPump(Pumps);
    }

    int Pumps = 0;
    std::function<void(int pumpNumber)> OnPump;
};

}  // namespace testsupport
