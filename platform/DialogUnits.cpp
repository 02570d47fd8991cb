#include "platform/DialogUnits.h"

#include <QFontMetrics>

namespace platform {

QFont DialogFont(const QString& family, int pointSize) {
    QFont font;
    font.setFamilies({family, QStringLiteral("VL Gothic"), QStringLiteral("VL PGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic")});
    font.setPointSize(pointSize);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // Windows: the extent of the 52 letters, averaged over 26 and halved, rounded.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (letters / 26 + 1) / 2;
    baseY_ = metrics.height();
    if (baseX_ <= 0) baseX_ = 6;
    if (baseY_ <= 0) baseY_ = 13;
}

}  // namespace platform
