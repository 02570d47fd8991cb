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

// Every command word but status, query and the dry run.
int RunCommandWord(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
                   std::ostream& err);

}  // namespace commands
