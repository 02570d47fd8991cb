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

int RunOnWindow(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                std::ostream& err) {
    if (line.command == cli::Command::kStatus)
        return line.json ? ReportStatus(window, out, err) : PrintStatus(window, out, err);
    if (line.dryRun) return RunDryRun(window, line, out, err);
    // The import writes its own report.
    if (line.json && line.command != cli::Command::kImport)
        return RunReportedCommand(window, line, out, err);
    return RunCommandWord(window, line, out, err);
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

int RunCommandWordLine(const cli::CommandLine& line, std::ostream& out, std::ostream& err) {
    TakeUserLocale();
    const std::string title = platform::ApplicationTitleOf(ProgramFileName(err));
    HeadlessServices services(ServiceOptionsOf(line), title, err);

    // It takes no single-instance lock: one that changes the database holds
    // that database's lock (cli::RunCommandLine), one that reads runs beside anything.
    HeadlessMainWindow window(services.services(), title, err, !line.dryRun);
    window.Initialise();
    return RunOnWindow(window, line, out, err);
}

}  // namespace commands
