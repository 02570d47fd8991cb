#include "commands/HeadlessFrontEnd.h"

#include <clocale>
#include <ostream>
#include <stdexcept>

#include "cli/JsonReport.h"
#include "commands/CommandReports.h"
#include "commands/CommandWords.h"
#include "commands/DryRun.h"
#include "commands/HeadlessMainWindow.h"
#include "db/NumberText.h"
#include "host/HostGuard.h"
#include "platform/SystemServices.h"

namespace commands {

namespace {

int RunStatus(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
              std::ostream& err) {
    return line.json ? ReportStatus(window, out, err) : PrintStatus(window, out, err);
}

int RunUpdate(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
              std::ostream& err) {
    if (line.dryRun) return RunDryRun(window, line, out, err);
    return line.json ? RunReportedCommand(window, line, RunUpdateWord, out, err)
                     : RunUpdateWord(window, line, out, err);
}

int RunRestore(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
               std::ostream& err) {
    return line.json ? RunReportedCommand(window, line, RunRestoreWord, out, err)
                     : RunRestoreWord(window, line, out, err);
}

// A command word run on a headless window made for the run.
//
// It takes no single-instance lock: one that changes the database holds
// that database's lock (cli::RunCommandLine), one that reads runs beside anything.
cli::CommandRunner OnHeadlessWindow(WindowCommand run, std::ostream& out, std::ostream& err) {
    return [run, &out, &err](const cli::CommandLine& line) {
        TakeUserLocale();
        const std::string title = platform::ApplicationTitleOf(ProgramFileName(err));
        HeadlessServices services(ServiceOptionsOf(line), title, err);
        HeadlessMainWindow window(services.services(), title, err, !line.dryRun);
        window.Initialise();
        return run(window, line, out, err);
    };
}

}  // namespace

void TakeUserLocale() {
    std::setlocale(LC_ALL, "");
    db::KeepUserDecimalSeparator();
    std::setlocale(LC_NUMERIC, "C");
}

std::string ProgramFileName(std::ostream& err) {
    try {
        return platform::SystemProgramInfo().ProgramName();
    } catch (const std::exception& e) {
        err << "VantolyPatch: " << e.what() << "; the title stays VantolyPatch\n";
        return "VantolyPatch";
    }
}

ServiceOptions ServiceOptionsOf(const cli::CommandLine& line) {
    ServiceOptions options;
    options.answerYes = line.answerYes;
    options.registryPath = line.registryPath;
    options.databasePath = line.databasePath;
    options.password = line.password.value_or("");
    return options;
}

cli::FrontEnds HeadlessFrontEnds(std::ostream& out, std::ostream& err) {
    cli::FrontEnds frontEnds;
    frontEnds.status = OnHeadlessWindow(RunStatus, out, err);
    frontEnds.update = OnHeadlessWindow(RunUpdate, out, err);
    frontEnds.restore = OnHeadlessWindow(RunRestore, out, err);
    frontEnds.tables = OnHeadlessWindow(RunTablesWord, out, err);
    frontEnds.show = OnHeadlessWindow(RunShowWord, out, err);
    frontEnds.createQuery = OnHeadlessWindow(RunCreateQueryWord, out, err);
    frontEnds.exportSpec = OnHeadlessWindow(RunExportSpecWord, out, err);
    frontEnds.importInPlace = OnHeadlessWindow(RunImportInPlaceWord, out, err);
    return frontEnds;
}

}  // namespace commands
