// The JSON reports (--json) of status, update and restore: the command runs
// as it does without the option, its messages still on standard error, and
// standard output carries one JSON object instead of its lines.
#pragma once

#include <iosfwd>

#include "cli/CommandLine.h"
#include "commands/CommandWords.h"
#include "commands/HeadlessMainWindow.h"

namespace commands {

int ReportStatus(HeadlessMainWindow& window, std::ostream& out, std::ostream& err);

// update and restore with --json; the exit status is the command's own.
// `run` is the command's own handler, whose lines the report replaces.
int RunReportedCommand(HeadlessMainWindow& window, const cli::CommandLine& line, WindowCommand run,
                       std::ostream& out, std::ostream& err);

}  // namespace commands
