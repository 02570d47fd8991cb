// A cursor for tests: records the cursors shown, in order.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

class FakeCursor : public platform::Cursor {
  public:
    void ShowWait() override { Shown.push_back("wait"); }
    void ShowArrow() override { Shown.push_back("arrow"); }

    std::vector<std::string> Shown;  // "wait" and "arrow"
};

}  // namespace testsupport
