// The one symbol the window module exports (window-module.map hides the
// rest, so its copies of our libraries never mix with the executable's).
#include "cli/WindowModule.h"
#include "gui/WindowFrontEnd.h"
#include "platform/Interrupts.h"

extern "C" int VantolyRunWindowFrontEnd(const cli::CommandLine& line, int argc, char** argv,
                                        std::ostream& out, std::ostream& err,
                                        platform::InterruptWatcher* interrupts) {
    // The module's own copy of the platform library answers from the
    // executable's watcher: one request to stop, one set of temporaries.
    platform::ShareInterruptWatcher(interrupts);
    return gui::RunWindowFrontEnd(line, argc, argv, out, err);
}
