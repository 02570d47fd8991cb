#include "commands/CommandWords.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "backup/Backup.h"
#include "backup/Restore.h"
#include "commands/ConvertInPlaceCommand.h"
#include "update/VersionFacts.h"
#include "viewer/CatalogReader.h"
#include "viewer/CreateTableQuery.h"
#include "viewer/TableReader.h"
#include "viewer/WorkbookExport.h"

namespace commands {

namespace {

constexpr const char* kDefaultRowLimit = "500";  // the viewer's limit field as it opens

class NoProgress : public viewer::ExportProgress {
  public:
    void ShowBars() override {}
    void HideBars() override {}
    void BeginTables(int) override {}
    void NextTable() override {}
    void BeginRows(int) override {}
    void NextRow() override {}
};

int runUpdate(HeadlessMainWindow& window, std::ostream& out, std::ostream& err) {
    MainWindowLogic& logic = window.logic();
    if (!window.UpdateButtonEnabled()) {
        err << "VantolyPatch: the update button is disabled: " << NotOpenText(window) << "\n";
        return cli::kExitFailed;
    }
    const std::string before = logic.target.VersionText;
    logic.OnUpdateCommand();
    const std::string hostWindow = host::HostGuardText(logic.HostGuard());
    if (!hostWindow.empty()) out << "host window\t" << hostWindow << "\n";
    out << "version\t" << logic.target.VersionText << "\n";
    const std::string updated = "ver." + std::string(update::kToVersion);
    return logic.target.VersionText == updated && before != updated ? cli::kExitOk
                                                                    : cli::kExitFailed;
}

int runRestore(HeadlessMainWindow& window, std::ostream& out, std::ostream& err) {
    MainWindowLogic& logic = window.logic();
    if (!window.RestoreButtonEnabled()) {
        err << "VantolyPatch: " << NoBackupText(window) << "\n";
        return cli::kExitFailed;
    }
    logic.OnRestoreCommand();
    out << "version\t" << logic.target.VersionText << "\n";
    for (const backup::RenamedFile& renamed : logic.restore().Renamed())
        out << "renamed\t" << renamed.from << "\t" << renamed.to << "\n";
    const bool restored = logic.restore().LastOutcome() == backup::RestoreOutcome::Restored;
    return restored && logic.session.Connected() ? cli::kExitOk : cli::kExitFailed;
}

// The viewer's commands: its table list, a table's grid, the table-creation
// statement and the workbook, read as the viewer window reads them.
int RunViewerCommand(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                     std::ostream& err) {
    MainWindowLogic& logic = window.logic();
    if (!logic.session.Connected()) {
        err << "VantolyPatch: " << NotOpenText(window) << "\n";
        return cli::kExitFailed;
    }
    platform::Services& services = logic.services();
    viewer::TableMap tableMap;
    bool catalogRead = true;
    auto readCatalog = [&] {
        catalogRead = viewer::ReadCatalog(
                          {logic.session, logic.target, services.messageBoxes, services.cursor},
                          tableMap) == viewer::CatalogReadOutcome::Complete;
    };
    if (line.command == cli::Command::kCreateQuery) {
        readCatalog();
        const viewer::CDataADOXTable* table = viewer::FindTable(tableMap, line.operands.at(0));
        if (!table) {
            err << "VantolyPatch: the catalog has no table \"" << line.operands.at(0) << "\"\n";
            return cli::kExitFailed;
        }
        out << viewer::CreateTableQueryText(*table) << "\n";
        return catalogRead ? cli::kExitOk : cli::kExitFailed;
    }

    // `show` looks for its table among all of them, as a list not grouped.
    const bool grouped = line.command != cli::Command::kShow && !line.allTables;
    std::vector<std::string> tableList;
    const bool listRead = viewer::ReadTableList(
        logic.session, grouped ? viewer::TableGrouping::Grouped : viewer::TableGrouping::All,
        tableList);
    switch (line.command) {
        case cli::Command::kTables: {
            for (const auto& name : tableList) out << name << "\n";
            // Every name, each saved query marked as one after a tab.
            std::vector<std::string> queries;
            const bool queriesRead =
                !line.allTables || viewer::ReadSavedQueryNames(logic.session, queries);
            for (const auto& name : queries) out << name << "\tquery\n";
            return listRead && queriesRead ? cli::kExitOk : cli::kExitFailed;
        }
        case cli::Command::kShow: {
            const std::string& table = line.operands.at(0);
            if (std::find(tableList.begin(), tableList.end(), table) == tableList.end()) {
                err << "VantolyPatch: there is no table \"" << table << "\" in the table list\n";
                return cli::kExitFailed;
            }
            std::vector<std::string> headings;
            const bool fieldsRead = logic.session.ListFieldNames(table, headings);
            viewer::KeptRows rows(headings.size());
            const bool loaded =
                viewer::LoadRecords({logic.session, services.messageBoxes}, table, headings,
                                    line.limit.value_or(kDefaultRowLimit), rows);
            out << viewer::GridCopyText(
                headings, rows.rows.CompleteRows(),
                [&](std::size_t row, std::size_t column) { return rows.rows.Cell(row, column); });
            return listRead && fieldsRead && loaded ? cli::kExitOk : cli::kExitFailed;
        }
        case cli::Command::kExportSpec: {
            std::error_code ignored;  // a folder that cannot be made is reported by the export
            std::filesystem::create_directories(line.operands.at(0), ignored);
            NoProgress progress;
            const auto written = viewer::ExportWorkbookToFolder(
                line.operands.at(0), {services.shell, services.messageBoxes, progress, readCatalog},
                tableMap, tableList);
            if (!written) return cli::kExitFailed;
            out << *written << "\n";
            return listRead && catalogRead ? cli::kExitOk : cli::kExitFailed;
        }
        default:
            return cli::kExitBadArguments;
    }
}

}  // namespace

std::string NotOpenText(const HeadlessMainWindow& window) {
    std::string text = "the database is not open (" + window.Title() + ")";
    if (const auto& why = window.logic().session.LastOpenErrorText()) text += ":\n" + *why;
    const std::string registryProblem = window.logic().services().registry.LoadProblem();
    if (!registryProblem.empty()) text += ":\n" + registryProblem;
    return text;
}

std::string NoBackupText(const HeadlessMainWindow& window) {
    const host::TargetDatabase& target = window.logic().target;
    if (std::optional<std::string> problem = backup::BackupNameProblem(target)) return *problem;
    return "there is no backup to restore: " + backup::BackupFilePath(target);
}

int PrintStatus(const HeadlessMainWindow& window, std::ostream& out, std::ostream& err) {
    auto state = [](bool enabled) { return enabled ? "enabled" : "disabled"; };
    const host::TargetDatabase& target = window.logic().target;
    out << "folder\t" << target.PathName << "\n"
        << "name\t" << target.FileName << "\n"
        << "extension\t" << target.Extension << "\n"
        << "version\t" << target.VersionText << "\n"
        << "title\t" << window.Title() << "\n"
        << "update button\t" << state(window.UpdateButtonEnabled()) << "\n"
        << "restore button\t" << state(window.RestoreButtonEnabled()) << "\n";
    if (!window.logic().session.Connected()) {
        err << "VantolyPatch: " << NotOpenText(window) << "\n";
        return cli::kExitFailed;
    }
    return cli::kExitOk;
}

int RunCommandWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                   std::ostream& err) {
    switch (line.command) {
        case cli::Command::kUpdate:
            return runUpdate(window, out, err);
        case cli::Command::kRestore:
            return runRestore(window, out, err);
        case cli::Command::kImport: {
            // With --json the report takes standard output; the lines go to standard error.
            TerminalConversionView view(line.json ? err : out, err);
            return RunConvertInPlace(window.logic(), view, out, err, line.json);
        }
        case cli::Command::kTables:
        case cli::Command::kShow:
        case cli::Command::kCreateQuery:
        case cli::Command::kExportSpec:
            return RunViewerCommand(window, line, out, err);
        default:
            // status, query and the window itself are handled by the callers.
            err << "VantolyPatch: this command does not run through the window\n";
            return cli::kExitBadArguments;
    }
}

}  // namespace commands
