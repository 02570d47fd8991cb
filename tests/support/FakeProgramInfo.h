// Program information for tests: a state folder chosen by the test.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace testsupport {

class FakeProgramInfo : public platform::ProgramInfo {
  public:
    explicit FakeProgramInfo(std::string folder = "/opt/vantoly/") : Folder(std::move(folder)) {}
    std::string StateFolder() const override { return Folder; }

    std::string Folder;  // ends with "/"
};

}  // namespace testsupport
