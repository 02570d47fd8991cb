// The commands behind the main window's buttons and menu items, installed on
// the window, and the command words that drive them without showing it.
#pragma once

#include <iosfwd>

#include "app/CommandLine.h"

class CVantolyPatchDlg;

namespace app {

void WireCommands(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err);

int RunWindowCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace app
