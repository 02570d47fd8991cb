// A main-window stand-in for the database session: records what the session
// asked the window to show.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/SessionWindow.h"

namespace testsupport {

class FakeSessionWindow : public db::SessionWindow {
  public:
    void SetWindowTitle(const std::string& title) override { Title = title; }
    void EnableUpdateButton() override { UpdateButtonEnabled = true; }
    void ShowVersionText(const std::string& versionText) override { VersionText = versionText; }
    void RefreshControlState(db::ControlState state) override { StatesRefreshed.push_back(state); }

    std::optional<std::string> Title;  // nullopt until a title was set
    bool UpdateButtonEnabled = false;
    std::optional<std::string> VersionText;
    std::vector<db::ControlState> StatesRefreshed;
};

}  // namespace testsupport
