// update --dry-run: the real update, the same code, on a private copy of the
// database in a temporary folder, recording every probe answer and statement.
// The database itself is only read, under the engine's shared lock; no host
// guard question, no backup, no error log, and the copy is removed.
#pragma once

#include <iosfwd>

#include "cli/CommandLine.h"
#include "commands/HeadlessMainWindow.h"

namespace commands {

// Prints what the update would do (the JSON report with --json) and answers
// kExitOk when it would run to its end.
int RunDryRun(HeadlessMainWindow& window, const cli::CommandLine& line, std::ostream& out,
              std::ostream& err);

}  // namespace commands
