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

int RunConvertInPlace(MainWindowLogic& logic, bool inWindow, std::ostream& out, std::ostream& err,
                      bool json) {
    cli::JsonReport report("import");
    const std::string path = logic.target.FilePath();
    cli::ImportOutcome outcome;
    auto finish = [&](int status) {
        if (json) cli::WriteImportJson(report, out, path, path, outcome);
        return status;
    };
    std::ostream& text = json ? err : out;
    if (!genuine::IsGenuineAccessFile(path)) {
        outcome.outcome = "refused";
        outcome.error = NothingToConvert(logic, path);
        err << "VantolyPatch: import: " << outcome.error << "; there is nothing to convert\n";
        return finish(cli::kExitFailed);
    }
    platform::MessageBoxes& boxes = logic.services().messageBoxes;
    auto tell = [&](const std::string& text, platform::MessageIcon icon) {
        platform::MessageBoxRequest box;
        box.text = text;
        box.icon = icon;
        boxes.Show(box);
    };
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
    options.keptNameChosen = [&](const std::string& keptName) {
        if (!inWindow) text << "The genuine file will be kept unchanged as " << keptName << ".\n";
    };
    constexpr int kSteps = 1000;
    options.progress = [&](const genuine::ImportProgress& p) {
        if (inWindow) {
            const double done =
                p.rowsTotal ? static_cast<double>(p.rowsDone) / static_cast<double>(p.rowsTotal)
                            : 1.0;
            logic.window().SetProgressPosition(static_cast<int>(
                kSteps * (static_cast<double>(p.tableNumber - 1) + std::min(done, 1.0)) /
                static_cast<double>(p.tableCount)));
            logic.services().messagePump.PumpOne();
        } else if (p.finished) {
            text << "[" << p.tableNumber << "/" << p.tableCount << "] " << p.table << ": "
                 << p.rowsDone << " rows\n";
        }
    };
    if (inWindow) {
        logic.window().SetProgressRange(0, kSteps);
        logic.window().SetProgressPosition(0);
        logic.window().ShowProgressBar();
    }
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
            std::to_string(report.import.rows) + " rows); the genuine file is kept unchanged as " +
            report.keptOriginal + ".\n";
        if (!report.import.Complete()) {
            summary += "Left out (" + std::to_string(report.import.leftOut.size()) + "):\n" +
                       genuine::DescribeLeftOut(report.import.leftOut);
            status = cli::kExitFailed;
        }
        if (inWindow)
            tell(summary, platform::MessageIcon::Information);
        else
            text << summary;
    } catch (const genuine::ImportError& error) {
        if (inWindow)
            tell(error.what(), platform::MessageIcon::Stop);
        else
            err << "VantolyPatch: import: " << error.what() << "\n";
        outcome.outcome = "failed";
        outcome.error = error.what();
        status = cli::kExitFailed;
    }
    if (inWindow) {
        logic.window().HideProgressBar();
        // The working name now holds the converted database (or, after a
        // failure, the genuine file as it was): open whichever is there.
        logic.LoadLocation();
    }
    return finish(status);
}

}  // namespace commands
