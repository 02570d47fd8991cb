#include "widgets/ButtonST.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QIcon>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>

#include "widgets/DialogUnits.h"

namespace {

constexpr int kImageOrigin = 3;    // pixels from the left edge
constexpr int kPressedOffset = 1;  // icon and caption move right and down while pressed
constexpr int kMaxTipWidth = 400;

}  // namespace

CButtonST::CButtonST(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover, true);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFlat(true);
    setProperty(widgets::kWrapsCaptionProperty, true);
}

QPixmap CButtonST::GreyIcon(const QPixmap& icon) {
    QImage image = icon.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
            if (r == 0 && g == 0 && b == 0) continue;  // black stays black
            const int grey =
                std::clamp(static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b), 0, 255);
            line[x] = qRgba(grey, grey, grey, qAlpha(pixel));  // the mask is kept
        }
    }
    return QPixmap::fromImage(image);
}

QFont CButtonST::OwnFont() {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("VL PGothic"),
                      QStringLiteral("VL Gothic")});
    font.setWeight(QFont::Medium);  // 500
    // A font height of 14 names the character cell (ascent plus descent), as
    // Windows reads a positive height, so the letters themselves are smaller.
    for (int pixels = 14; pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= 14) break;
    }
    return font;
}

int CButtonST::AssignIcons(const QPixmap& hover, const QPixmap& rest) {
    if (hover.isNull()) {
        hover_ = QPixmap();
        rest_ = QPixmap();
        update();
        return 1;
    }
    hover_ = hover;
    rest_ = rest;
    update();
    return 0;
}

int CButtonST::AssignIcons(const QString& hoverIcon, bool restIsGrey) {
    const QPixmap hover(hoverIcon);
    return AssignIcons(hover, restIsGrey && !hover.isNull() ? GreyIcon(hover) : QPixmap());
}

void CButtonST::AssignTooltip(const QString& text, bool activate) {
    if (text.isNull()) return;
    tooltipCreated_ = true;
    tooltipText_ = text;
    tooltipActive_ = activate;
    setToolTip(activate ? text : QString());
}

void CButtonST::AssignIconTooltipAndFont(const QString& iconPath, const QString& text) {
    AssignIcons(iconPath, true);
    AssignTooltip(text, true);
    setFont(OwnFont());
    update();
}

void CButtonST::setMouseOver(bool over) {
    if (mouseOver_ == over) return;
    mouseOver_ = over;
    update();
}

void CButtonST::enterEvent(QEnterEvent* event) {
    // Nothing while the left button is held and the pointer was not over us.
    if (isEnabled() && !(QApplication::mouseButtons() & Qt::LeftButton && !mouseOver_))
        setMouseOver(true);
    QPushButton::enterEvent(event);
}

void CButtonST::leaveEvent(QEvent* event) {
    setMouseOver(false);
    QPushButton::leaveEvent(event);
}

void CButtonST::mouseMoveEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    if (!inside)
        setMouseOver(false);
    else if (isEnabled() && !(event->buttons() & Qt::LeftButton && !mouseOver_))
        setMouseOver(true);
    QPushButton::mouseMoveEvent(event);
}

void CButtonST::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click is a second press, so quick repeated clicks each count.
    QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                      event->globalPosition(), event->button(), event->buttons(),
                      event->modifiers());
    QPushButton::mousePressEvent(&press);
}

void CButtonST::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QPushButton::mousePressEvent(event);
}

void CButtonST::focusOutEvent(QFocusEvent* event) {
    setMouseOver(false);
    QPushButton::focusOutEvent(event);
}

void CButtonST::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::EnabledChange:
            if (!isEnabled()) setMouseOver(false);
            break;
        case QEvent::ActivationChange:
            if (!isActiveWindow()) setMouseOver(false);
            break;
        case QEvent::PaletteChange:
            update();  // the face and text colours are read from the palette at every paint
            break;
        default:
            break;
    }
    QPushButton::changeEvent(event);
}

bool CButtonST::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && tooltipActive_ && !tooltipText_.isEmpty()) {
        auto* help = static_cast<QHelpEvent*>(event);
        // Wrapped at 400 pixels, as the tip control's maximum width.
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("<p style='white-space:pre-wrap; max-width:%1px'>%2</p>")
                               .arg(kMaxTipWidth)
                               .arg(tooltipText_.toHtmlEscaped()),
                           this);
        return true;
    }
    return QPushButton::event(event);
}

QRect CButtonST::CaptionArea() const {
    QRect area = rect();
    if (!hover_.isNull())
        area.setLeft(hover_.deviceIndependentSize().toSize().width() + kImageOrigin);
    return area;
}

void CButtonST::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const bool pressed = isDown();
    const bool disabled = !isEnabled();
    const bool over = mouseOver_ && !disabled;
    const QRect r = rect();

    painter.fillRect(r, pal.color(QPalette::Button));
    const QColor light = pal.color(QPalette::Light);
    const QColor shadow = pal.color(QPalette::Dark);
    auto edge = [&](const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    if (pressed)
        edge(shadow, light);
    else if (over)
        edge(light, shadow);

    const int offset = pressed ? kPressedOffset : 0;
    const QRect captionArea = CaptionArea();
    const QPixmap& icon = (pressed || over || rest_.isNull()) ? hover_ : rest_;
    if (!icon.isNull()) {
        const QSize size = icon.deviceIndependentSize().toSize();
        const int top = (r.height() - size.height()) / 2 + offset;
        int left = text().isEmpty() ? (r.width() - size.width()) / 2 : kImageOrigin;
        left += offset;
        if (disabled) {
            QStyleOption option;
            option.initFrom(this);
            const QPixmap embossed = style()->generatedIconPixmap(QIcon::Disabled, icon, &option);
            painter.drawPixmap(left, top, embossed);
        } else {
            painter.drawPixmap(left, top, icon);
        }
    }

    if (!text().isEmpty()) {
        // Centred and word-wrapped in the caption area: a line too long for
        // it breaks, as the Windows button draws it.
        const QRect area = captionArea.translated(offset, offset);
        const int flags = kCaptionFlags;
        if (disabled) {
            painter.setPen(light);
            painter.drawText(area.translated(1, 1), flags, text());
            painter.setPen(shadow);
            painter.drawText(area, flags, text());
        } else {
            painter.setPen(pal.color(QPalette::ButtonText));
            painter.drawText(area, flags, text());
        }
    }
    // No focus rectangle: the flat look.
}
