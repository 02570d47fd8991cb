#include "gui/WindowFrontEnd.h"

#include <QApplication>
#include <new>
#include <ostream>

#include "commands/HeadlessFrontEnd.h"
#include "console/QueryRunner.h"
#include "gui/AppServices.h"
#include "gui/VantolyPatchApp.h"
#include "gui/VantolyPatchDlg.h"
#include "gui/WindowCommands.h"
#include "platform/Interrupts.h"
#include "platform/SystemServices.h"
#include "platform/qt/QtTranslations.h"

// Outside any namespace, as Qt requires.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

namespace gui {

namespace {

// Every window action runs inside an event handler, and no exception may
// cross Qt's event loop: memory that runs out in an action ends that action
// with a box and leaves the windows running. The engine's transactions were
// rolled back on the way here, so nothing of the action was committed.
class GuardedApplication : public QApplication {
  public:
    using QApplication::QApplication;

    void SetMessageBoxes(platform::MessageBoxes* boxes) { boxes_ = boxes; }

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            if (boxes_ != nullptr) {
                boxes_->Show({std::string(console::kOutOfMemoryText), "",
                              platform::MessageButtons::Ok, platform::MessageIcon::Stop,
                              platform::MessageOwner::Application});
            }
            return false;
        }
    }

  private:
    platform::MessageBoxes* boxes_ = nullptr;
};

// SIGTERM (SIGINT, SIGHUP) to the window's process, asked again every tenth
// of a second until it ends: a box waiting for an answer is closed as its
// Escape would (a question reads No), and the window then closes as soon as
// it is idle; a busy window finishes its step first, as for a close request
// (a copy in progress stops at once, the update's script runs to its end).
void EndWindowOnSignal(CVantolyPatchDlg& dialog) {
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != &dialog) {
        modal->close();
        return;
    }
    if (!dialog.busy()) dialog.done(QDialog::Rejected);
}

}  // namespace

int RunWindowFrontEnd(const cli::CommandLine& line, int argc, char** argv, std::ostream& out,
                      std::ostream& err) {
    GuardedApplication application(argc, argv);
    // Qt takes the locale from the environment; the program then sets it as
    // the command words have it.
    commands::TakeUserLocale();
    InitResources();
    // Before the first window, so every box and dialog of Qt's speaks the
    // operator's language.
    if (const std::string problem = platform::InstallQtTranslations(application); !problem.empty())
        err << "VantolyPatch: " << problem << "\n";

    const std::string programFile = commands::ProgramFileName(err);
    const std::string title = platform::ApplicationTitleOf(programFile);
    AppServices services(commands::ServiceOptionsOf(line), title, err);
    application.SetMessageBoxes(&services.services().messageBoxes);
    struct ForgetBoxes {
        GuardedApplication& application;
        ~ForgetBoxes() { application.SetMessageBoxes(nullptr); }
    } forgetBoxes{application};
    CVantolyPatchApp app(services.services(), title);

    // The window shows only that no database is chosen; why goes to the
    // terminal (a command word says it with the not-open message).
    if (const std::string problem = services.services().registry.LoadProblem(); !problem.empty())
        err << "VantolyPatch: " << problem << "\n";
    return app.Run(
        [&](CVantolyPatchDlg& dialog) {
            WireCommands(dialog);
            dialog.programFileName = programFile;
        },
        [&](CVantolyPatchDlg& dialog) {
            const platform::InterruptHook onSignal([&dialog] {
                QMetaObject::invokeMethod(
                    &dialog, [&dialog] { EndWindowOnSignal(dialog); }, Qt::QueuedConnection);
            });
            dialog.show();
            OfferConversionInPlace(dialog, out, err);
            dialog.exec();
            return cli::kExitOk;
        });
}

}  // namespace gui
