// The import command: a genuine Access database brought over into a new
// engine database.
//
//   VantolyPatch [--password-file FILE | --password - | --password TEXT] import SOURCE DEST
#pragma once

#include <iosfwd>

#include "app/CommandLine.h"

namespace cli {

// Prints a line per table with its rows, then what was left out. Exit
// status: kExitOk when everything was imported, kExitFailed when something
// was left out (listed) or nothing could be imported (DEST not made),
// kExitBadArguments when DEST exists.
int RunImportCommand(const CommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace cli
