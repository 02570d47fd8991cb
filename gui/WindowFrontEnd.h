// Runs the main window on the desktop (the command words run without it,
// commands/HeadlessFrontEnd.h).
#pragma once

#include <iosfwd>

#include "cli/CommandLine.h"

namespace gui {

int RunWindowFrontEnd(const cli::CommandLine& line, int argc, char** argv, std::ostream& out,
                      std::ostream& err);

}  // namespace gui
