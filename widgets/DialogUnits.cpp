#include "widgets/DialogUnits.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVariant>
#include <algorithm>

namespace widgets {

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

namespace {

int WidestLine(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

}  // namespace

int CaptionWidth(const QWidget* control) {
    if (control->property(kWrapsCaptionProperty).toBool()) return 0;
    const QFontMetrics metrics(control->font());
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        if (label->text().isEmpty() || label->wordWrap()) return 0;
        return WidestLine(metrics, label->text()) + 2 * label->margin() + 2 * label->frameWidth();
    }
    const auto* button = qobject_cast<const QAbstractButton*>(control);
    if (button == nullptr || button->text().isEmpty()) return 0;
    const int text = WidestLine(metrics, button->text());
    QStyleOptionButton option;
    option.initFrom(button);
    if (qobject_cast<const QCheckBox*>(control) != nullptr) {
        return button->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, button) +
               button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, button) +
               text + 1;
    }
    if (qobject_cast<const QRadioButton*>(control) != nullptr) {
        return button->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &option, button) +
               button->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, button) +
               text + 1;
    }
    if (qobject_cast<const QPushButton*>(control) != nullptr) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        const int frame =
            button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
        return text + 2 * (margin + frame);
    }
    return 0;
}

DialogUnits FitCaptions(QWidget* container, const DialogUnits& units) {
    const QList<QWidget*> children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    int baseX = units.baseX();
    for (QWidget* child : children) {
        const int needed = CaptionWidth(child);
        const int width = child->width();
        if (needed <= width || width <= 0) continue;
        // The smallest whole base unit that makes this caption fit.
        baseX = std::max(baseX, (needed * units.baseX() + width - 1) / width);
    }
    if (baseX == units.baseX()) return units;
    const auto scaled = [&](int pixels) {
        return (pixels * baseX + units.baseX() / 2) / units.baseX();
    };
    for (QWidget* child : children) {
        const QRect r = child->geometry();
        child->setGeometry(QRect(QPoint(scaled(r.left()), r.top()),
                                 QPoint(scaled(r.right() + 1) - 1, r.bottom())));
    }
    const bool fixed = container->minimumSize() == container->maximumSize();
    const QSize size(scaled(container->width()), container->height());
    if (fixed) {
        container->setFixedSize(size);
    } else {
        container->resize(size);
    }
    // Rounding each edge may still leave a caption a pixel short.
    return FitCaptions(container, DialogUnits(baseX, units.baseY()));
}

}  // namespace widgets
