// The main window: the target database's folder, name, extension and
// version, the list of what the update contains, the update and restore
// buttons, and the menu that opens the About box, the viewer and the console.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/MainWindowLogic.h"
#include "db/DatabaseSession.h"
#include "db/SessionWindow.h"
#include "host/TargetDatabase.h"
#include "platform/Platform.h"
#include "update/VersionFacts.h"
#include "widgets/ButtonST.h"

class QAction;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// Texts fixed in the program.
// A literal, so its data() ends in a NUL.
inline constexpr const char* kReleaseDateText = update::kReleaseDate.data();
inline constexpr const char* kAboutMenuText = "バージョン情報 VantolyPatch(&A)...";

class CVantolyPatchDlg : public QDialog, public commands::MainWindowInterface {
    // First, so that the references below it are bound to its members.
    commands::MainWindowLogic logic_;

  public:
    // System-menu command ids, as the window's own menu keeps them.
    enum MenuId { kAboutId = 16, kViewerId = 32, kConsoleId = 48 };

    CVantolyPatchDlg(platform::Services& services, std::string applicationTitle,
                     QWidget* parent = nullptr);
    ~CVantolyPatchDlg() override;

    // Runs the window's initialisation: menu, list, icons, the target
    // database location and the idle control state. Called once, by the
    // application before the modal run and by tests.
    void OnInitDialog();

    // db::SessionWindow
    void SetWindowTitle(const std::string& title) override;
    void EnableUpdateButton() override;
    void ShowVersionText(const std::string& versionText) override;
    void RefreshControlState(db::ControlState state) override;
    // host::LocationWindow
    void ShowLocationFields(const host::TargetDatabase& record) override;

    // update::UpdateView
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPosition(int position) override;
    int ProgressPosition() const override;
    void ShowProgressBar() override;
    void HideProgressBar() override;
    void ShowUpdateErrorDialog(const std::string& reportText) override;

    // Copies the record's fields into the controls. Never the other way: the
    // fields are read-only, and a path's bytes that are not UTF-8 would come
    // back from a control as U+FFFD, naming a folder that does not exist.
    void UpdateData();

    void OnSysCommand(int id);
    void OnUpdateCommand();
    void OnRestoreCommand();

    // What the menu items do; installed by the front end. When set, the
    // update's report goes to `updateReportPresenter` instead of the error
    // dialog.
    std::function<void(const std::string&)> updateReportPresenter;
    std::function<void()> viewerCommand;
    std::function<void()> consoleCommand;
    // The program's file name, which names the console's files; the
    // application title is this name without its extension.
    std::string programFileName = "VantolyPatch";

    // State owned by the window, kept by its logic.
    host::TargetDatabase& target;
    db::DatabaseSession& session;
    const std::vector<std::string>& UpdateContents;

    commands::MainWindowLogic& logic() { return logic_; }
    platform::Services& services() { return logic_.services(); }
    const std::string& applicationTitle() const { return logic_.applicationTitle(); }
    bool busy() const { return busy_; }

    // Controls, by id.
    QLineEdit* pathEdit() const { return edits_[0]; }
    QLineEdit* fileEdit() const { return edits_[1]; }
    QLineEdit* extensionEdit() const { return edits_[2]; }
    QLineEdit* versionEdit() const { return edits_[3]; }
    CButtonST* updateButton() const { return updateButton_; }
    CButtonST* restoreButton() const { return restoreButton_; }
    QProgressBar* progressBar() const { return progress_; }
    QTreeWidget* contentList() const { return list_; }
    QMenu* systemMenu() const { return menu_; }
    QAction* menuAction(int id) const;
    QAction* closeAction() const { return closeAction_; }

    // Escape: refused while busy.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void buildControls();
    void OnAbout();

    bool busy_ = false;
    bool initialised_ = false;

    QMenuBar* menuBar_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* viewerAction_ = nullptr;
    QAction* consoleAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    QLineEdit* edits_[4] = {};
    CButtonST* updateButton_ = nullptr;
    CButtonST* restoreButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

// The About box.
class CAboutDlg : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent);
};
