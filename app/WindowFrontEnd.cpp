#include "app/WindowFrontEnd.h"

#include <QApplication>
#include <QPushButton>
#include <clocale>
#include <cstdlib>
#include <ostream>

#include "app/AppServices.h"
#include "app/CommandReports.h"
#include "app/DryRun.h"
#include "app/VantolyPatchApp.h"
#include "app/VantolyPatchDlg.h"
#include "app/WindowCommands.h"
#include "db/NumberText.h"
#include "platform/SystemServices.h"

// Outside any namespace, as Qt requires.
static void initResources() { Q_INIT_RESOURCE(resources); }

namespace app {

namespace {

int printStatus(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err) {
    auto state = [](bool enabled) { return enabled ? "enabled" : "disabled"; };
    out << "folder\t" << dialog.target.PathName << "\n"
        << "name\t" << dialog.target.FileName << "\n"
        << "extension\t" << dialog.target.Extension << "\n"
        << "version\t" << dialog.target.VersionText << "\n"
        << "title\t" << dialog.windowTitle().toStdString() << "\n"
        << "update button\t" << state(dialog.updateButton()->isEnabled()) << "\n"
        << "restore button\t" << state(dialog.restoreButton()->isEnabled()) << "\n";
    if (!dialog.session.Connected()) {
        err << "VantolyPatch: " << NotOpenText(dialog) << "\n";
        return cli::kExitFailed;
    }
    return cli::kExitOk;
}

}  // namespace

int RunWindowFrontEnd(const cli::CommandLine& line, int argc, char** argv, std::ostream& out, std::ostream& err) {
    const bool headless = line.command != cli::Command::kNone;
    if (headless && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    // Qt takes the locale from the environment; the currency text follows it,
    // every other number, and every library the program calls, keeps the full stop.
    std::setlocale(LC_ALL, "");
    db::KeepUserDecimalSeparator();
    std::setlocale(LC_NUMERIC, "C");
    initResources();

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

    return app.Run([&](CVantolyPatchDlg& dialog) {
                       WireCommands(dialog, out, err);
                       dialog.makeBackupFolder = !line.dryRun;
                       dialog.programFileName = programFile;
                   },
                   [&](CVantolyPatchDlg& dialog) -> int {
                       switch (line.command) {
                           case cli::Command::kNone:
                               dialog.show();
                               OfferConversionInPlace(dialog, out, err);
                               dialog.exec();
                               return cli::kExitOk;
                           case cli::Command::kStatus:
                               return line.json ? ReportStatus(dialog, out, err) : printStatus(dialog, out, err);
                           default:
                               if (line.dryRun) return RunDryRun(dialog, line, out, err);
                               // The import writes its own report.
                               if (line.json && line.command != cli::Command::kImport) {
                                   return RunReportedCommand(dialog, line, services.boxCounts(), out, err);
                               }
                               return RunWindowCommand(dialog, line, services.boxCounts(), out, err);
                       }
                   });
}

}  // namespace app
