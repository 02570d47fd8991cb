#include "app/WindowFrontEnd.h"

#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <ostream>

#include "app/AppServices.h"
#include "app/CommandReports.h"
#include "app/CommandWords.h"
#include "app/DryRun.h"
#include "app/HeadlessMainWindow.h"
#include "app/VantolyPatchApp.h"
#include "app/VantolyPatchDlg.h"
#include "app/WindowCommands.h"
#include "db/NumberText.h"
#include "platform/Interrupts.h"
#include "platform/SystemServices.h"

// Outside any namespace, as Qt requires.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

namespace app {

namespace {

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
    const bool headless = line.command != cli::Command::kNone;
    if (headless && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    // Qt takes the locale from the environment; the currency text follows it,
    // every other number, and every library the program calls, keeps the full stop.
    std::setlocale(LC_ALL, "");
    db::KeepUserDecimalSeparator();
    std::setlocale(LC_NUMERIC, "C");
    InitResources();

    std::string programFile = "VantolyPatch";
    try {
        programFile = platform::SystemProgramInfo().ProgramName();
    } catch (const std::exception& e) {
        err << "VantolyPatch: " << e.what() << "; the title stays VantolyPatch\n";
    }
    const std::string title = platform::ApplicationTitleOf(programFile);
    ServiceOptions options;
    options.headless = headless;
    options.answerYes = line.answerYes;
    options.registryPath = line.registryPath;
    options.databasePath = line.databasePath;
    options.password = line.password.value_or("");
    AppServices services(options, title, out, err);
    CVantolyPatchApp app(services.services(), title);

    if (!headless) {
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
    // A command word runs the window's logic without building the window.
    return app.RunLocked([&] {
        HeadlessMainWindow window(services.services(), title, err, !line.dryRun);
        window.Initialise();
        if (line.command == cli::Command::kStatus) {
            return line.json ? ReportStatus(window, out, err) : PrintStatus(window, out, err);
        }
        if (line.dryRun) return RunDryRun(window, line, out, err);
        // The import writes its own report.
        if (line.json && line.command != cli::Command::kImport)
            return RunReportedCommand(window, line, out, err);
        return RunCommandWord(window, line, out, err);
    });
}

}  // namespace app
