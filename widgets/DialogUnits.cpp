#include "widgets/DialogUnits.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVariant>
#include <algorithm>
#include <climits>

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

namespace {

// In whole pixels, rounded down: a font rounded up would outgrow its control.
QFont ScaledFont(QFont font, double factor) {
    const int pixels = QFontInfo(font).pixelSize();
    font.setPixelSize(std::max(6, static_cast<int>(pixels * factor)));
    return font;
}

QRect ScaledRect(const QRect& r, double factor) {
    const auto scaled = [factor](int pixels) { return static_cast<int>(pixels * factor + 0.5); };
    return QRect(QPoint(scaled(r.left()), scaled(r.top())),
                 QPoint(scaled(r.right() + 1) - 1, scaled(r.bottom() + 1) - 1));
}

bool HasFixedSize(const QWidget* widget) {
    return widget->minimumSize() == widget->maximumSize();
}

// The controls a window places itself: the direct children of `container`
// that no layout manages, and the plain containers among them. Qt's own
// composite widgets (views, scroll bars) place their parts themselves.
void ScaleChildren(QWidget* container, double factor) {
    const QLayout* layout = container->layout();
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) continue;
        if (child->testAttribute(Qt::WA_SetFont)) child->setFont(ScaledFont(child->font(), factor));
        const bool laidOut = layout != nullptr && layout->indexOf(child) >= 0;
        if (laidOut) {
            if (HasFixedSize(child))
                child->setFixedSize(ScaledRect(QRect(QPoint(), child->size()), factor).size());
        } else {
            child->setGeometry(ScaledRect(child->geometry(), factor));
        }
        if (child->metaObject() == &QWidget::staticMetaObject && child->layout() == nullptr)
            ScaleChildren(child, factor);
    }
}

}  // namespace

QSize RoomOnScreen(const QWidget* window, const QScreen* screen) {
    if (screen == nullptr) screen = window->screen();
    if (screen == nullptr) return QSize(INT_MAX, INT_MAX);
    const QSize available = screen->availableGeometry().size();
    // A caption line somewhat taller than the window's text, and a border.
    const int caption = QFontMetrics(window->font()).height() * 2;
    const int border = 8;
    return QSize(available.width() - 2 * border, available.height() - caption - 2 * border);
}

double FitToScreen(QWidget* window, const QSize& room) {
    double applied = 1.0;
    // Fonts shrink by whole pixels and check boxes keep their box, so a
    // caption may need its control widened again, and the window then
    // shrinks once more.
    for (int round = 0; round < 4; ++round) {
        const QSize size = window->layout() != nullptr
                               ? window->sizeHint().expandedTo(window->size())
                               : window->size();
        if (size.width() <= room.width() && size.height() <= room.height()) break;
        // A little below the exact share: font sizes and pixels round.
        const double factor = 0.98 * std::min(double(room.width()) / size.width(),
                                              double(room.height()) / size.height());
        applied *= factor;
        window->setFont(ScaledFont(window->font(), factor));
        ScaleChildren(window, factor);
        if (window->layout() == nullptr) {
            const QSize scaled = ScaledRect(QRect(QPoint(), window->size()), factor).size();
            if (HasFixedSize(window)) {
                window->setFixedSize(scaled);
            } else {
                window->resize(scaled);
            }
            FitCaptions(window, DialogUnits(window->font()));
        } else {
            for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->metaObject() == &QWidget::staticMetaObject && child->layout() == nullptr)
                    FitCaptions(child, DialogUnits(child->font()));
            window->adjustSize();
        }
    }
    return applied;
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
