// The JSON reports (--json) of status, update and restore: the command runs
// as it does without the option, its messages still on standard error, and
// standard output carries one JSON object instead of its lines.
#pragma once

#include <iosfwd>

#include "app/AppServices.h"
#include "app/CommandLine.h"

class CVantolyPatchDlg;

namespace app {

int ReportStatus(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err);

// update and restore with --json; the exit status is the command's own.
int RunReportedCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, const CountingMessageBoxes& boxes,
                       std::ostream& out, std::ostream& err);

}  // namespace app
