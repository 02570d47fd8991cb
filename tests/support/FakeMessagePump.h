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
    // Counted apart: how often a step repaints depends on how long it runs.
    void Repaint() override {
        ++Repaints;
        if (OnRepaint) OnRepaint(Repaints);
    }

    int Pumps = 0;
    int Repaints = 0;
    std::function<void(int pumpNumber)> OnPump;
    std::function<void(int repaintNumber)> OnRepaint;
};

}  // namespace testsupport
