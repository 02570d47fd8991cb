#include "app/WindowCommands.h"

#include <QCheckBox>
#include <QLineEdit>
#include <filesystem>
#include <ostream>

#include "app/VantolyPatchDlg.h"
#include "console/ExecuteQueryDlg.h"
#include "viewer/CreateTableQuery.h"
#include "viewer/ShowDatabaseDlg.h"
#include "viewer/WorkbookExport.h"

namespace app {

namespace {

// Counts the boxes that report a failure, so a command can say it failed.
class CountingMessageBoxes : public platform::MessageBoxes {
public:
    explicit CountingMessageBoxes(platform::MessageBoxes& inner) : inner_(inner) {}
    platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override {
        if (request.icon == platform::MessageIcon::Stop || request.icon == platform::MessageIcon::Warning) ++failures;
        return inner_.Show(request);
    }
    int failures = 0;

private:
    platform::MessageBoxes& inner_;
};

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
int runViewerCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, std::ostream& out, std::ostream& err) {
    if (!dialog.session.Connected()) {
        err << "VantolyPatch: the database is not open (" << dialog.windowTitle().toStdString() << ")\n";
        return cli::kExitFailed;
    }
    platform::Services& real = dialog.services();
    CountingMessageBoxes boxes(real.messageBoxes);
    platform::Services services{boxes,      real.clipboard,   real.clock,       real.shell,
                                real.fileCopier, real.registry, real.instanceLock, real.hostWindows,
                                real.cursor, real.messagePump, real.programInfo};
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
                line.operands.at(0), {services.shell, boxes, progress, [&] { viewerWindow.ReadCatalog(); }},
                viewerWindow.tableMap, viewerWindow.TableList());
            if (!written) return cli::kExitFailed;
            out << *written << "\n";
            break;
        }
        default:
            return cli::kExitBadArguments;
    }
    return boxes.failures == 0 ? cli::kExitOk : cli::kExitFailed;
}

}  // namespace

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
                               dialog.services().programInfo.ProgramFolder() + dialog.applicationTitle()};
        CExecuteQueryDlg console(std::move(context));
        console.exec();
    };
}

int RunWindowCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, std::ostream& out, std::ostream& err) {
    switch (line.command) {
        case cli::Command::kTables:
        case cli::Command::kShow:
        case cli::Command::kCreateQuery:
        case cli::Command::kExportSpec:
            return runViewerCommand(dialog, line, out, err);
        default:
            err << "VantolyPatch: this command is not available yet\n";
            return cli::kExitBadArguments;
    }
}

}  // namespace app
