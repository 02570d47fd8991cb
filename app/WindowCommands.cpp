#include "app/WindowCommands.h"

#include <QCheckBox>
#include <QLineEdit>
#include <algorithm>
#include <filesystem>
#include <ostream>

#include "app/ImportCommand.h"
#include "app/VantolyPatchDlg.h"
#include "console/ExecuteQueryDlg.h"
#include "host/TargetDatabaseLocation.h"
#include "import/Import.h"
#include "viewer/CreateTableQuery.h"
#include "viewer/ShowDatabaseDlg.h"
#include "viewer/WorkbookExport.h"

namespace app {

namespace {

class NoProgress : public viewer::ExportProgress {
public:
    void ShowBars() override {}
    void HideBars() override {}
    void BeginTables(int) override {}
    void NextTable() override {}
    void BeginRows(int) override {}
    void NextRow() override {}
};

// The viewer commands, on a viewer window that is never shown.
int runViewerCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, const CountingMessageBoxes& boxes,
                     std::ostream& out, std::ostream& err) {
    if (!dialog.session.Connected()) {
        err << "VantolyPatch: " << NotOpenText(dialog) << "\n";
        return cli::kExitFailed;
    }
    platform::Services& services = dialog.services();
    const int failuresBefore = boxes.failures;
    CShowDatabaseDlg viewerWindow(ViewerContext{dialog.session, dialog.target, services, dialog.applicationTitle(), {}});
    viewerWindow.groupCheck()->setChecked(line.command != cli::Command::kShow && !line.allTables);
    viewerWindow.FillTableList();
    switch (line.command) {
        case cli::Command::kTables:
            for (const auto& name : viewerWindow.TableList()) out << name << "\n";
            break;
        case cli::Command::kShow: {
            const std::string& table = line.operands.at(0);
            viewerWindow.rowLimitEdit()->setText(QString::fromStdString(line.limit.value_or("500")));
            if (!viewerWindow.SelectTable(table)) {
                err << "VantolyPatch: there is no table \"" << table << "\" in the table list\n";
                return cli::kExitFailed;
            }
            out << viewerWindow.GridText();
            break;
        }
        case cli::Command::kCreateQuery: {
            viewerWindow.ReadCatalog();
            const viewer::CDataADOXTable* table = viewer::FindTable(viewerWindow.tableMap, line.operands.at(0));
            if (!table) {
                err << "VantolyPatch: the catalog has no table \"" << line.operands.at(0) << "\"\n";
                return cli::kExitFailed;
            }
            out << viewer::CreateTableQueryText(*table) << "\n";
            break;
        }
        case cli::Command::kExportSpec: {
            std::error_code ignored;  // a folder that cannot be made is reported by the export
            std::filesystem::create_directories(line.operands.at(0), ignored);
            NoProgress progress;
            const auto written = viewer::ExportWorkbookToFolder(
                line.operands.at(0), {services.shell, services.messageBoxes, progress, [&] { viewerWindow.ReadCatalog(); }},
                viewerWindow.tableMap, viewerWindow.TableList());
            if (!written) return cli::kExitFailed;
            out << *written << "\n";
            break;
        }
        default:
            return cli::kExitBadArguments;
    }
    return boxes.failures == failuresBefore ? cli::kExitOk : cli::kExitFailed;
}

}  // namespace

std::string NotOpenText(const CVantolyPatchDlg& dialog) {
    std::string text = "the database is not open (" + dialog.windowTitle().toStdString() + ")";
    if (const auto& why = dialog.session.LastOpenErrorText()) text += ":\n" + *why;
    return text;
}

void WireCommands(CVantolyPatchDlg& dialog, std::ostream&, std::ostream&) {
    dialog.viewerCommand = [&dialog] {
        CShowDatabaseDlg viewerWindow(ViewerContext{dialog.session, dialog.target, dialog.services(),
                                                    dialog.applicationTitle(), [&dialog] { dialog.showMaximized(); }});
        viewerWindow.OnInitDialog();
        viewerWindow.exec();
    };
    dialog.consoleCommand = [&dialog] {
        ConsoleContext context{[&dialog] { return dialog.session.SessionConnection(); }, dialog.services(),
                               dialog.applicationTitle(),
                               dialog.services().programInfo.StateFolder(), dialog.programFileName};
        CExecuteQueryDlg console(std::move(context));
        console.exec();
    };
}

int RunConvertInPlace(CVantolyPatchDlg& dialog, bool inWindow, std::ostream& out, std::ostream& err, bool json) {
    app::JsonReport report("import");
    const std::string path = dialog.target.FilePath();
    cli::ImportOutcome outcome;
    auto finish = [&](int status) {
        if (json) cli::WriteImportJson(report, out, path, path, outcome);
        return status;
    };
    std::ostream& text = json ? err : out;
    if (!genuine::IsGenuineAccessFile(path)) {
        err << "VantolyPatch: import: " << path << " is not a genuine Access file; there is nothing to convert\n";
        outcome.outcome = "refused";
        outcome.error = path + " is not a genuine Access file";
        return finish(cli::kExitFailed);
    }
    platform::MessageBoxes& boxes = dialog.services().messageBoxes;
    auto tell = [&](const std::string& text, platform::MessageIcon icon) {
        platform::MessageBoxRequest box;
        box.text = text;
        box.icon = icon;
        boxes.Show(box);
    };
    const std::string kept = path.substr(0, path.size() - dialog.target.Extension.size()) + ".access-original" +
                             dialog.target.Extension;
    platform::MessageBoxRequest question;
    question.text = path + " is a genuine Access database, which this program cannot open as it is. Convert it into "
                           "this program's format in place? The converted database takes its name; the genuine file "
                           "is kept unchanged as " +
                    kept + " (or the next free name, which the result states).";
    question.buttons = platform::MessageButtons::YesNo;
    question.icon = platform::MessageIcon::Question;
    if (boxes.Show(question) != platform::MessageAnswer::Yes) {
        outcome.outcome = "declined";
        return finish(cli::kExitFailed);
    }

    dialog.session.CloseDatabase();
    genuine::ImportOptions options;
    options.password = dialog.target.Password;
    constexpr int kSteps = 1000;
    options.progress = [&](const genuine::ImportProgress& p) {
        if (inWindow) {
            const double done = p.rowsTotal ? static_cast<double>(p.rowsDone) / static_cast<double>(p.rowsTotal) : 1.0;
            dialog.SetProgressPosition(static_cast<int>(
                kSteps * (static_cast<double>(p.tableNumber - 1) + std::min(done, 1.0)) / static_cast<double>(p.tableCount)));
            dialog.services().messagePump.PumpOne();
        } else if (p.finished) {
            text << "[" << p.tableNumber << "/" << p.tableCount << "] " << p.table << ": " << p.rowsDone << " rows\n";
        }
    };
    if (inWindow) {
        dialog.SetProgressRange(0, kSteps);
        dialog.SetProgressPosition(0);
        dialog.ShowProgressBar();
    }
    int status = cli::kExitOk;
    std::optional<genuine::InPlaceReport> converted;
    try {
        converted = genuine::ConvertInPlace(path, options);
        const genuine::InPlaceReport& report = *converted;
        outcome.report = &report.import;
        outcome.keptOriginal = report.keptOriginal;
        outcome.outcome = report.import.Complete() ? "imported" : "incomplete";
        std::string summary = "Converted " + path + " (" + std::to_string(report.import.tables.size()) + " tables, " +
                              std::to_string(report.import.rows) + " rows); the genuine file is kept unchanged as " +
                              report.keptOriginal + ".\n";
        if (!report.import.Complete()) {
            summary += "Left out (" + std::to_string(report.import.leftOut.size()) + "):\n" +
                       genuine::DescribeLeftOut(report.import.leftOut);
            status = cli::kExitFailed;
        }
        if (inWindow) tell(summary, platform::MessageIcon::Information);
        else text << summary;
    } catch (const genuine::ImportError& error) {
        if (inWindow) tell(error.what(), platform::MessageIcon::Stop);
        else err << "VantolyPatch: import: " << error.what() << "\n";
        outcome.outcome = "failed";
        outcome.error = error.what();
        status = cli::kExitFailed;
    }
    if (inWindow) {
        dialog.HideProgressBar();
        // The working name now holds the converted database (or, after a
        // failure, the genuine file as it was): open whichever is there.
        host::LoadTargetDatabaseLocation(dialog.target, dialog.services().registry, dialog.session, dialog);
    }
    return finish(status);
}

void OfferConversionInPlace(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err) {
    if (!dialog.session.Connected() && genuine::IsGenuineAccessFile(dialog.target.FilePath())) {
        RunConvertInPlace(dialog, true, out, err, false);
    }
}

int RunWindowCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, const CountingMessageBoxes& boxes,
                     std::ostream& out, std::ostream& err) {
    if (line.command == cli::Command::kUpdate) {
        // The report that the error dialog would show goes to the terminal.
        dialog.updateReportPresenter = [&err](const std::string& report) {
            err << "--- 更新エラー内容 ---\n" << report << "\n--- end ---\n";
        };
        if (!dialog.updateButton()->isEnabled()) {
            err << "VantolyPatch: the update button is disabled: " << NotOpenText(dialog) << "\n";
            return cli::kExitFailed;
        }
        const std::string before = dialog.target.VersionText;
        dialog.OnUpdateCommand();
        out << "version\t" << dialog.target.VersionText << "\n";
        const std::string updated = "ver." + std::string(update::kToVersion);
        return dialog.target.VersionText == updated && before != updated ? cli::kExitOk : cli::kExitFailed;
    }
    if (line.command == cli::Command::kRestore) {
        if (!dialog.restoreButton()->isEnabled()) {
            err << "VantolyPatch: there is no backup file to restore\n";
            return cli::kExitFailed;
        }
        const int failuresBefore = boxes.failures, declinedBefore = boxes.declined;
        dialog.OnRestoreCommand();
        out << "version\t" << dialog.target.VersionText << "\n";
        const bool done = boxes.failures == failuresBefore && boxes.declined == declinedBefore;
        return done && dialog.session.Connected() ? cli::kExitOk : cli::kExitFailed;
    }
    if (line.command == cli::Command::kImport) return RunConvertInPlace(dialog, false, out, err, line.json);
    switch (line.command) {
        case cli::Command::kTables:
        case cli::Command::kShow:
        case cli::Command::kCreateQuery:
        case cli::Command::kExportSpec:
            return runViewerCommand(dialog, line, boxes, out, err);
        default:
            // status, query and the window itself are handled by the callers.
            err << "VantolyPatch: this command does not run through the window\n";
            return cli::kExitBadArguments;
    }
}

}  // namespace app
