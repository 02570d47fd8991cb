// The commands behind the main window's buttons and menu items, installed on
// the window, and the command words that drive them without showing it.
#pragma once

#include <iosfwd>
#include <string>

#include "app/AppServices.h"
#include "app/CommandLine.h"

class CVantolyPatchDlg;

namespace app {

void WireCommands(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err);

// "the database is not open (TITLE)", and why when the engine said why.
std::string NotOpenText(const CVantolyPatchDlg& dialog);

// `boxes` counts what the run has shown, so a command can tell whether it did its job.
int RunWindowCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, const CountingMessageBoxes& boxes,
                     std::ostream& out, std::ostream& err);

}  // namespace app
