// The command words on the main window's logic, without a window: status,
// update, restore, import in place, and the viewer's tables, show,
// create-query and export-spec. Each calls what the window's button or the
// viewer calls, with the same message boxes (printed, answered by --yes /
// --no), and judges its success by what that logic answers.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/CommandLine.h"
#include "commands/HeadlessMainWindow.h"

namespace commands {

// "the database is not open (TITLE)", and why when the engine said why.
std::string NotOpenText(const HeadlessMainWindow& window);

// Why the restore has no backup to use: nothing at the backup name, or what
// is there cannot be one.
std::string NoBackupText(const HeadlessMainWindow& window);

// status: what the main window would show, one "name<TAB>value" line each.
int PrintStatus(const HeadlessMainWindow& window, std::ostream& out, std::ostream& err);

// A command word on the headless window: its lines on `out`, its messages
// on `err`, the exit status from what the window's logic answers.
using WindowCommand = int (*)(HeadlessMainWindow& window, const cli::CommandLine& line,
                              std::ostream& out, std::ostream& err);

// The command words without --json (and update without --dry-run).
int RunUpdateWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                  std::ostream& err);
int RunRestoreWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                   std::ostream& err);
// import without paths, --json included (it writes its own report).
int RunImportInPlaceWord(HeadlessMainWindow& window, const cli::CommandLine& line,
                         std::ostream& out, std::ostream& err);
// The viewer's table list, a table's grid, the table-creation statement and
// the workbook, read as the viewer window reads them.
int RunTablesWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                  std::ostream& err);
int RunShowWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                std::ostream& err);
int RunCreateQueryWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                       std::ostream& err);
int RunExportSpecWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                      std::ostream& err);

}  // namespace commands
