// A file copier for tests: records every copy asked for and answers from a
// script (true when the script is empty). With CopyForReal set it also
// copies the bytes, so that what follows the copy can be checked.
#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

class FakeFileCopier : public platform::FileCopier {
  public:
    struct Call {
        std::string source, destination, title;
    };

    bool CopyFileWithShell(const std::string& source, const std::string& destination,
                           const std::string& title) override {
        Calls.push_back({source, destination, title});
        if (source.empty() || destination.empty()) return false;
        bool result = true;
        if (!Results.empty()) {
            result = Results.front();
            Results.pop_front();
        }
        if (result && CopyForReal) {
            std::error_code error;
            std::filesystem::copy_file(source, destination,
                                       std::filesystem::copy_options::overwrite_existing, error);
            result = !error;
        }
        return result;
    }

    std::deque<bool> Results;
    bool CopyForReal = false;
    std::vector<Call> Calls;
};

}  // namespace testsupport
