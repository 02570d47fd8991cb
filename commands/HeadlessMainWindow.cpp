#include "commands/HeadlessMainWindow.h"

#include <ostream>

#include "db/PasswordMask.h"

namespace commands {

void PrintUpdateReport(std::ostream& err, const std::string& reportText) {
    // The report is shown, copied and printed; a password in it would go with it.
    err << "--- 更新エラー内容 ---\n" << db::MaskPasswords(reportText) << "\n--- end ---\n";
}

HeadlessMainWindow::HeadlessMainWindow(platform::Services& services, std::string applicationTitle,
                                       std::ostream& err, bool makeBackupFolder)
    : logic_(*this, services, std::move(applicationTitle)),
      err_(err),
      makeBackupFolder_(makeBackupFolder) {}

void HeadlessMainWindow::Initialise() {
    logic_.LoadLocation();
    RefreshControlState(db::ControlState::Idle);
}

void HeadlessMainWindow::ShowVersionText(const std::string& versionText) {
    logic_.target.VersionText = versionText;
}

void HeadlessMainWindow::RefreshControlState(db::ControlState state) {
    // Whatever path led back to idle, the cursor is the arrow again.
    if (state == db::ControlState::Idle) logic_.services().cursor.ShowArrow();
    controls_ = logic_.ControlsFor(state, makeBackupFolder_);
}

void HeadlessMainWindow::ShowUpdateErrorDialog(const std::string& reportText) {
    PrintUpdateReport(err_, reportText);
}

}  // namespace commands
