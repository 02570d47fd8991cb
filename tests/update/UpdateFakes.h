// The main window as the update, the session and the restore see it: it
// records what it was asked and answers from a script.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/SessionWindow.h"
#include "update/UpdateHost.h"
#include "update/UpdateView.h"

namespace updatetest {

// The main window as the session, the update and the restore see it, and
// the update's host with it. One override each of RefreshControlState and
// ShowVersionText serves both interfaces, as it will in the real window.
class FakeMainWindow : public db::SessionWindow,
                       public update::UpdateView,
                       public update::UpdateHost {
  public:
    // db::SessionWindow
    void SetWindowTitle(const std::string& title) override { Title = title; }
    void EnableUpdateButton() override { UpdateButtonEnabled = true; }

    // both
    void ShowVersionText(const std::string& versionText) override { VersionText = versionText; }
    void RefreshControlState(db::ControlState state) override {
        States.push_back(state);
        if (state == db::ControlState::Busy) UpdateButtonEnabled = false;
    }

    // update::UpdateHost
    bool AskToCloseHostApplication() override {
        ++HostQuestions;
        return HostAgrees;
    }
    update::BackupOutcome TakePreUpdateBackup() override {
        ++BackupsOffered;
        return Backup;
    }
    void SetProgressRange(int lower, int upper) override {
        ProgressLower = lower;
        ProgressUpper = upper;
    }
    void SetProgressPosition(int position) override { Progress = position; }
    int ProgressPosition() const override { return Progress; }
    void ShowProgressBar() override { ProgressVisible = true; }
    void HideProgressBar() override { ProgressVisible = false; }
    void WriteErrorLog(const std::string& functionName, const std::string& query,
                       const std::string& errorText) override {
        ErrorLogs.push_back({functionName, query, errorText});
    }
    void ShowUpdateErrorDialog(const std::string& reportText) override {
        Reports.push_back(reportText);
    }
    void CopyTextToClipboard(const std::string& text) override { Clipboard = text; }

    struct ErrorLogCall {
        std::string functionName, query, errorText;
    };

    // Script.
    bool HostAgrees = true;
    update::BackupOutcome Backup = update::BackupOutcome::Proceed;

    // Record.
    std::optional<std::string> Title;
    bool UpdateButtonEnabled = false;
    std::optional<std::string> VersionText;
    std::vector<db::ControlState> States;
    int HostQuestions = 0;
    int BackupsOffered = 0;
    int ProgressLower = -1, ProgressUpper = -1, Progress = -1;
    bool ProgressVisible = false;
    std::vector<ErrorLogCall> ErrorLogs;
    std::vector<std::string> Reports;
    std::optional<std::string> Clipboard;
};

}  // namespace updatetest
