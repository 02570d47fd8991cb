#include "gui/WindowCommands.h"

#include <algorithm>

#include "commands/ConvertInPlaceCommand.h"
#include "console/ExecuteQueryDlg.h"
#include "gui/VantolyPatchDlg.h"
#include "import/Import.h"
#include "viewer/ShowDatabaseDlg.h"

namespace gui {

void WireCommands(CVantolyPatchDlg& dialog) {
    dialog.viewerCommand = [&dialog] {
        CShowDatabaseDlg viewerWindow(ViewerContext{dialog.session, dialog.target,
                                                    dialog.services(), dialog.applicationTitle(),
                                                    [&dialog] { dialog.showMaximized(); }});
        viewerWindow.OnInitDialog();
        viewerWindow.exec();
    };
    dialog.consoleCommand = [&dialog] {
        ConsoleContext context{[&dialog] { return dialog.session.SessionConnection(); },
                               dialog.services(), dialog.applicationTitle(),
                               dialog.services().programInfo.StateFolder(), dialog.programFileName};
        CExecuteQueryDlg console(std::move(context));
        console.exec();
    };
}

namespace {

// The conversion shown in the main window: its progress bar while the work
// runs (the window kept painting), the outcome in a box, and the database
// under the working name opened afterwards.
class WindowConversionView : public commands::ConversionView {
  public:
    explicit WindowConversionView(commands::MainWindowLogic& logic) : logic_(logic) {}

    void Begin() override {
        logic_.window().SetProgressRange(0, kSteps);
        logic_.window().SetProgressPosition(0);
        logic_.window().ShowProgressBar();
    }
    void KeptNameChosen(const std::string&) override {}  // the summary names it
    void Progress(const genuine::ImportProgress& p) override {
        const double done =
            p.rowsTotal ? static_cast<double>(p.rowsDone) / static_cast<double>(p.rowsTotal) : 1.0;
        logic_.window().SetProgressPosition(static_cast<int>(
            kSteps * (static_cast<double>(p.tableNumber - 1) + std::min(done, 1.0)) /
            static_cast<double>(p.tableCount)));
        logic_.services().messagePump.PumpOne();
    }
    void Tell(const std::string& summary) override {
        Show(summary, platform::MessageIcon::Information);
    }
    void Fail(const std::string& why) override { Show(why, platform::MessageIcon::Stop); }
    void Finish() override {
        logic_.window().HideProgressBar();
        // The working name now holds the converted database (or, after a
        // failure, the genuine file as it was): open whichever is there.
        logic_.LoadLocation();
    }

  private:
    static constexpr int kSteps = 1000;

    void Show(const std::string& text, platform::MessageIcon icon) {
        platform::MessageBoxRequest box;
        box.text = text;
        box.icon = icon;
        logic_.services().messageBoxes.Show(box);
    }

    commands::MainWindowLogic& logic_;
};

}  // namespace

void OfferConversionInPlace(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err) {
    if (!dialog.session.Connected() && genuine::IsGenuineAccessFile(dialog.target.FilePath())) {
        WindowConversionView view(dialog.logic());
        commands::RunConvertInPlace(dialog.logic(), view, out, err, false);
    }
}

}  // namespace gui
