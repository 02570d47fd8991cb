// The commands behind the main window's buttons and menu items, installed on
// the window, and the command words that drive them without showing it.
#pragma once

#include <iosfwd>
#include <string>

#include "app/AppServices.h"
#include "app/CommandLine.h"

class CVantolyPatchDlg;

namespace app {

void WireCommands(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err);

// "the database is not open (TITLE)", and why when the engine said why.
std::string NotOpenText(const CVantolyPatchDlg& dialog);

// `boxes` counts what the run has shown, so a command can tell whether it did its job.
int RunWindowCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, const CountingMessageBoxes& boxes,
                     std::ostream& out, std::ostream& err);

// import without paths: the window's database, when it is a genuine Access
// file, converted in place after a question (the genuine file kept beside it
// under a free name the result states). In the window a progress bar shows
// the work and the converted database is opened afterwards; headless, a line
// per table goes to `out`. kExitOk when everything was converted.
int RunConvertInPlace(CVantolyPatchDlg& dialog, bool inWindow, std::ostream& out, std::ostream& err,
                      bool json = false);

// When the window's database did not open because it is a genuine Access
// file, offers the conversion in place.
void OfferConversionInPlace(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err);

}  // namespace app
