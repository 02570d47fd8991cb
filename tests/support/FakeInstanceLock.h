// A single-instance lock for tests: answers a preset result and records the
// calls.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

class FakeInstanceLock : public platform::InstanceLock {
  public:
    Result Acquire(const std::string& name) override {
        AcquiredNames.push_back(name);
        Held = NextResult == Result::Acquired;
        return NextResult;
    }
    void Release() override {
        ++Releases;
        Held = false;
    }

    Result NextResult = Result::Acquired;
    bool Held = false;
    std::vector<std::string> AcquiredNames;
    int Releases = 0;
};

}  // namespace testsupport
