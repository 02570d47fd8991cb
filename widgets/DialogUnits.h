// Lays out a window from dialog units, as Windows does: a dialog unit is a
// quarter of the dialog font's average character width horizontally and an
// eighth of its height vertically.
#pragma once

#include <QFont>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QStringList>

namespace widgets {

// The dialog's font: the family it names, falling back to the installed
// Japanese Gothic font when the named one is missing.
QFont DialogFont(const QString& family, int pointSize);

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

    int x(int units) const { return (units * baseX_ + 2) / 4; }
    int y(int units) const { return (units * baseY_ + 4) / 8; }
    QRect rect(int left, int top, int width, int height) const {
        return QRect(x(left), y(top), x(left + width) - x(left), y(top + height) - y(top));
    }
    QSize size(int width, int height) const { return QSize(x(width), y(height)); }

  private:
    int baseX_ = 0;
    int baseY_ = 0;
};

// A widget whose caption wraps inside it (the flat icon button) sets this
// property to true; its caption is not measured as one line.
inline constexpr char kWrapsCaptionProperty[] = "vantolyWrapsCaption";

// How wide `control` must be for its caption to show whole on one line with
// the font it draws with: a label's text; a check box's or radio button's box,
// gap and text; a push button's text with the style's margin on each side.
// 0 for any other widget and for a caption that wraps.
int CaptionWidth(const QWidget* control);

// The layout drew the window in the units of Windows' dialog font; the
// installed fonts may draw a caption wider than the control meant for it.
// Widens the direct children of `container` and the container itself in
// proportion, as the smallest larger horizontal base unit would have laid
// them out, until every caption fits. Answers the units now in effect.
DialogUnits FitCaptions(QWidget* container, const DialogUnits& units);

// The room a window has on `screen` (the one it will show on when null): the
// screen's available area less the window manager's frame, which is not
// known before the window is shown and is taken as a caption line and a
// border.
QSize RoomOnScreen(const QWidget* window, const QScreen* screen = nullptr);

// A window laid out in dialog units is as large as its font makes it; at a
// high DPI on a small screen that may be larger than the screen. Scales the
// window down until it fits `room`, fonts and dialog units together: every
// font set on the window or a control, the controls it places and the window
// itself. A window that fits is left as it is. Answers the factor applied.
double FitToScreen(QWidget* window, const QSize& room);

}  // namespace widgets
