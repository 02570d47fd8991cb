// A shell for tests: records every "open" and folder dialog and answers the
// dialogs from a script.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

class FakeShell : public platform::Shell {
  public:
    bool Open(const std::string& path) override {
        Opened.push_back(path);
        return OpenSucceeds;
    }
    // The next scripted folder, or cancelled when none is left.
    std::optional<std::string> BrowseForFolder(const std::string& title) override {
        BrowseTitles.push_back(title);
        if (Folders.empty()) return std::nullopt;
        auto folder = Folders.front();
        Folders.pop_front();
        return folder;
    }

    bool OpenSucceeds = true;
    std::deque<std::optional<std::string>> Folders;
    std::vector<std::string> Opened;
    std::vector<std::string> BrowseTitles;
};

}  // namespace testsupport
