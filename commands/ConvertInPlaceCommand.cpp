#include "commands/ConvertInPlaceCommand.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <ostream>

#include "cli/CommandLine.h"
#include "cli/ImportCommand.h"
#include "cli/JsonReport.h"
#include "import/Import.h"

namespace commands {

namespace {

// Why the in-place conversion has nothing to work on, in terms the operator
// can act on: no database named at all, no file at the name, or a file that
// is not a genuine Access database.
std::string NothingToConvert(MainWindowLogic& logic, const std::string& path) {
    if (logic.target.FileName.empty()) {
        std::string why = "no database is named (give --db PATH or a registry naming one)";
        const std::string registryProblem = logic.services().registry.LoadProblem();
        if (!registryProblem.empty()) why += ": " + registryProblem;
        return why;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return path + ": " + std::strerror(errno);
    return path + " is not a genuine Access file";
}

}  // namespace

void TerminalConversionView::KeptNameChosen(const std::string& keptName) {
    text_ << "The genuine file will be kept unchanged as " << keptName << ".\n";
}

void TerminalConversionView::Progress(const genuine::ImportProgress& p) {
    if (!p.finished) return;
    text_ << "[" << p.tableNumber << "/" << p.tableCount << "] " << p.table << ": " << p.rowsDone
          << " rows\n";
}

void TerminalConversionView::Tell(const std::string& summary) {
    text_ << summary;
}

void TerminalConversionView::Fail(const std::string& why) {
    err_ << "VantolyPatch: import: " << why << "\n";
}

int RunConvertInPlace(MainWindowLogic& logic, ConversionView& view, std::ostream& out,
                      std::ostream& err, bool json) {
    cli::JsonReport report("import");
    const std::string path = logic.target.FilePath();
    cli::ImportOutcome outcome;
    auto finish = [&](int status) {
        if (json) cli::WriteImportJson(report, out, path, path, outcome);
        return status;
    };
    if (!genuine::IsGenuineAccessFile(path)) {
        outcome.outcome = "refused";
        outcome.error = NothingToConvert(logic, path);
        err << "VantolyPatch: import: " << outcome.error << "; there is nothing to convert\n";
        return finish(cli::kExitFailed);
    }
    platform::MessageBoxes& boxes = logic.services().messageBoxes;
    const std::string kept = path.substr(0, path.size() - logic.target.Extension.size()) +
                             ".access-original" + logic.target.Extension;
    platform::MessageBoxRequest question;
    question.text =
        path +
        " is a genuine Access database, which this program cannot open as it is. Convert it into "
        "this program's format in place? The converted database takes its name; the genuine file "
        "is kept unchanged as " +
        kept + " (or the next free name, which the result states).";
    question.buttons = platform::MessageButtons::YesNo;
    question.icon = platform::MessageIcon::Question;
    if (boxes.Show(question) != platform::MessageAnswer::Yes) {
        outcome.outcome = "declined";
        return finish(cli::kExitFailed);
    }

    logic.session.CloseDatabase();
    genuine::ImportOptions options;
    options.password = logic.target.Password;
    // Named before any file changes name, so an operator who finds the run
    // cut off knows where the genuine file is meant to be.
    options.keptNameChosen = [&](const std::string& keptName) { view.KeptNameChosen(keptName); };
    options.progress = [&](const genuine::ImportProgress& p) { view.Progress(p); };
    view.Begin();
    int status = cli::kExitOk;
    std::optional<genuine::InPlaceReport> converted;
    try {
        converted = genuine::ConvertInPlace(path, options);
        const genuine::InPlaceReport& report = *converted;
        outcome.report = &report.import;
        outcome.keptOriginal = report.keptOriginal;
        outcome.outcome = report.import.Complete() ? "imported" : "incomplete";
        std::string summary =
            "Converted " + path + " (" + std::to_string(report.import.tables.size()) + " tables, " +
            std::to_string(report.import.rows) + " rows, " +
            std::to_string(report.import.queries.size()) +
            " saved queries); the genuine file is kept unchanged as " + report.keptOriginal + ".\n";
        if (!report.import.Complete()) {
            summary += "Left out (" + std::to_string(report.import.leftOut.size()) + "):\n" +
                       genuine::DescribeLeftOut(report.import.leftOut);
            status = cli::kExitFailed;
        }
        view.Tell(summary);
    } catch (const genuine::ImportError& error) {
        view.Fail(error.what());
        outcome.outcome = "failed";
        outcome.error = error.what();
        status = cli::kExitFailed;
    }
    view.Finish();
    return finish(status);
}

}  // namespace commands
