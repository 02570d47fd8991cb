// Lays out a window from dialog units, as Windows does: a dialog unit is a
// quarter of the dialog font's average character width horizontally and an
// eighth of its height vertically.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QStringList>

namespace platform {

// The dialog's font: the family it names, falling back to the installed
// Japanese Gothic font when the named one is missing.
QFont DialogFont(const QString& family, int pointSize);

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

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

}  // namespace platform
