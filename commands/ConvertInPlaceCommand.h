// A genuine Access database converted in place: offered by the main window,
// run by `import` without paths.
#pragma once

#include <iosfwd>

#include "commands/MainWindowLogic.h"

namespace commands {

// import without paths: the logic's database, when it is a genuine Access
// file, converted in place after a question (the genuine file kept beside it
// under a free name the result states). In the window a progress bar shows
// the work and the converted database is opened afterwards; headless, a line
// per table goes to `out`. kExitOk when everything was converted.
int RunConvertInPlace(MainWindowLogic& logic, bool inWindow, std::ostream& out, std::ostream& err,
                      bool json = false);

}  // namespace commands
