// The command words run in the executable itself, on Qt Core alone: the
// main window's logic without a window (HeadlessMainWindow) and the headless
// services, under the single-instance lock. No window module is loaded.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/CommandLine.h"
#include "commands/HeadlessServices.h"

namespace commands {

// Takes the user's locale for texts and the currency, and keeps the full
// stop for every other number and every library the program calls.
void TakeUserLocale();

// The program's file name, which names the title and the console's files;
// "VantolyPatch" (and why on `err`) when it cannot be read.
std::string ProgramFileName(std::ostream& err);

// Where the run's database is, and how its questions are answered.
ServiceOptions ServiceOptionsOf(const cli::CommandLine& line);

// The front ends of the command words (every command but the main window,
// the query and the import into a new file), each on a headless window made
// for its run; `out` and `err` outlive them.
cli::FrontEnds HeadlessFrontEnds(std::ostream& out, std::ostream& err);

}  // namespace commands
