// The commands behind the main window's menu items, installed on the window,
// and the conversion in place the window offers.
#pragma once

#include <iosfwd>

class CVantolyPatchDlg;

namespace gui {

// The viewer and the console, opened from the window's menu.
void WireCommands(CVantolyPatchDlg& dialog);

// When the window's database did not open because it is a genuine Access
// file, offers the conversion in place.
void OfferConversionInPlace(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err);

}  // namespace gui
