// The windows live in a module of their own, loaded only to show the main
// window: every other start then maps Qt Core alone, not Qt Widgets, Qt Gui
// and the libraries below them, which made every start several times slower.
// The command words, the import and the query never load it.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace platform {
class InterruptWatcher;
}

namespace cli {

// The module's file name and the entry point it exports.
inline constexpr const char* kWindowModuleFile = "vantolypatch-windows.so";
inline constexpr const char* kWindowModuleEntry = "VantolyRunWindowFrontEnd";

// Where the module is looked for, in order: beside the executable (a build
// tree), then the installed place relative to it (../lib/vantolypatch/modules/).
std::vector<std::string> WindowModuleCandidates(const std::string& executablePath);

// Loads the module and runs the window front end in it. When the module
// cannot be found or loaded, says which files were tried and why, and
// answers kExitFailed.
int RunWindowModule(const cli::CommandLine& line, int argc, char** argv, std::ostream& out,
                    std::ostream& err);

}  // namespace cli

// The module's entry point, with C linkage so the loader can find it by name.
extern "C" int VantolyRunWindowFrontEnd(const cli::CommandLine& line, int argc, char** argv,
                                        std::ostream& out, std::ostream& err,
                                        platform::InterruptWatcher* interrupts);
