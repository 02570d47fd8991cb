// Host windows for tests: a set of open window classes and a record of the
// close requests sent.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

class FakeHostWindows : public platform::HostWindows {
  public:
    bool Find(const std::string& windowClass) override {
        Looked.push_back(windowClass);
        return OpenClasses.contains(windowClass);
    }
    bool RequestClose(const std::string& windowClass) override {
        CloseRequests.push_back(windowClass);
        const bool open = OpenClasses.contains(windowClass);
        if (ClosesOnRequest) OpenClasses.erase(windowClass);
        return open;
    }

    std::set<std::string> OpenClasses;
    bool ClosesOnRequest = false;  // the host closes as soon as it is asked
    std::vector<std::string> Looked;
    std::vector<std::string> CloseRequests;
};

}  // namespace testsupport
