// Runs the main window, shown on the desktop or, for a command word, built
// offscreen and driven by the command.
#pragma once

#include <iosfwd>

#include "cli/CommandLine.h"

namespace gui {

int RunWindowFrontEnd(const cli::CommandLine& line, int argc, char** argv, std::ostream& out,
                      std::ostream& err);

}  // namespace gui
