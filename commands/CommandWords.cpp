#include "commands/CommandWords.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "backup/Backup.h"
#include "backup/Restore.h"
#include "commands/ConvertInPlaceCommand.h"
#include "db/SchemaNames.h"
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

// Whether the viewer's commands can read the database; when not, why on `err`.
bool ViewerCanRead(const HeadlessMainWindow& window, std::ostream& err) {
    if (window.logic().session.Connected()) return true;
    err << "VantolyPatch: " << NotOpenText(window) << "\n";
    return false;
}

// The viewer's table list, grouped (the window's list) or every table.
struct TableList {
    std::vector<std::string> names;
    bool read = false;
};
TableList ReadTables(MainWindowLogic& logic, bool grouped) {
    TableList list;
    list.read = viewer::ReadTableList(
        logic.session, grouped ? viewer::TableGrouping::Grouped : viewer::TableGrouping::All,
        list.names);
    return list;
}

// Reads the catalog as the viewer does; false when it was not read whole.
bool ReadWholeCatalog(MainWindowLogic& logic, viewer::TableMap& tableMap) {
    platform::Services& services = logic.services();
    return viewer::ReadCatalog(
               {logic.session, logic.target, services.messageBoxes, services.cursor}, tableMap) ==
           viewer::CatalogReadOutcome::Complete;
}

}  // namespace

int RunUpdateWord(HeadlessMainWindow& window, const cli::CommandLine&, std::ostream& out,
                  std::ostream& err) {
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

int RunRestoreWord(HeadlessMainWindow& window, const cli::CommandLine&, std::ostream& out,
                   std::ostream& err) {
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

int RunImportInPlaceWord(HeadlessMainWindow& window, const cli::CommandLine& line,
                         std::ostream& out, std::ostream& err) {
    // With --json the report takes standard output; the lines go to standard error.
    TerminalConversionView view(line.json ? err : out, err);
    return RunConvertInPlace(window.logic(), view, out, err, line.json);
}

int RunTablesWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                  std::ostream& err) {
    if (!ViewerCanRead(window, err)) return cli::kExitFailed;
    const TableList list = ReadTables(window.logic(), !line.allTables);
    for (const auto& name : list.names) out << name << "\n";
    // Every name, each saved query marked as one after a tab.
    std::vector<std::string> queries;
    const bool queriesRead =
        !line.allTables || viewer::ReadSavedQueryNames(window.logic().session, queries);
    for (const auto& name : queries) out << name << "\tquery\n";
    return list.read && queriesRead ? cli::kExitOk : cli::kExitFailed;
}

int RunShowWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                std::ostream& err) {
    if (!ViewerCanRead(window, err)) return cli::kExitFailed;
    MainWindowLogic& logic = window.logic();
    // `show` looks for its table among all of them, as a list not grouped.
    const TableList list = ReadTables(logic, false);
    const std::string& table = line.operands.at(0);
    if (std::find(list.names.begin(), list.names.end(), table) == list.names.end()) {
        err << "VantolyPatch: there is no table \"" << table << "\" in the table list\n";
        return cli::kExitFailed;
    }
    std::vector<std::string> headings;
    const bool fieldsRead = logic.session.ListFieldNames(table, headings);
    viewer::KeptRows rows(headings.size());
    const bool loaded = viewer::LoadRecords({logic.session, logic.services().messageBoxes}, table,
                                            headings, line.limit.value_or(kDefaultRowLimit), rows);
    out << viewer::GridCopyText(
        headings, rows.rows.CompleteRows(),
        [&](std::size_t row, std::size_t column) { return rows.rows.Cell(row, column); });
    return list.read && fieldsRead && loaded ? cli::kExitOk : cli::kExitFailed;
}

int RunCreateQueryWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                       std::ostream& err) {
    if (!ViewerCanRead(window, err)) return cli::kExitFailed;
    viewer::TableMap tableMap;
    const bool catalogRead = ReadWholeCatalog(window.logic(), tableMap);
    const viewer::CDataADOXTable* table = viewer::FindTable(tableMap, line.operands.at(0));
    if (!table) {
        err << "VantolyPatch: the catalog has no table \"" << line.operands.at(0) << "\"\n";
        return cli::kExitFailed;
    }
    try {
        out << viewer::CreateTableQueryText(*table) << "\n";
    } catch (const db::JetNameError& error) {
        err << "VantolyPatch: " << error.what() << "\n";
        return cli::kExitFailed;
    }
    return catalogRead ? cli::kExitOk : cli::kExitFailed;
}

int RunExportSpecWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                      std::ostream& err) {
    if (!ViewerCanRead(window, err)) return cli::kExitFailed;
    MainWindowLogic& logic = window.logic();
    platform::Services& services = logic.services();
    const TableList list = ReadTables(logic, true);
    viewer::TableMap tableMap;
    bool catalogRead = true;
    auto readCatalog = [&] { catalogRead = ReadWholeCatalog(logic, tableMap); };
    std::error_code ignored;  // a folder that cannot be made is reported by the export
    std::filesystem::create_directories(line.operands.at(0), ignored);
    NoProgress progress;
    const auto written = viewer::ExportWorkbookToFolder(
        line.operands.at(0), {services.shell, services.messageBoxes, progress, readCatalog},
        tableMap, list.names);
    if (!written) return cli::kExitFailed;
    out << *written << "\n";
    return list.read && catalogRead ? cli::kExitOk : cli::kExitFailed;
}

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

}  // namespace commands
