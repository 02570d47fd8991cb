// The flat icon button rendered offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "widgets/ButtonST.h"

namespace {

// A 8x8 icon: red, green, blue and white quarters, a black and a
// transparent pixel.
QPixmap testIcon() {
    QImage image(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            QColor c = y < 4 ? (x < 4 ? QColor(255, 0, 0) : QColor(0, 200, 0))
                             : (x < 4 ? QColor(0, 0, 255) : QColor(255, 255, 255));
            image.setPixelColor(x, y, c);
        }
    }
    image.setPixelColor(0, 0, QColor(0, 0, 0));
    image.setPixelColor(7, 7, QColor(10, 20, 30, 0));
    return QPixmap::fromImage(image);
}

int greyOf(int r, int g, int b) {
    return static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b);
}

TEST(ButtonST, GreyIconFollowsTheFormulaKeepsBlackAndTheMask) {
    const QImage grey =
        CButtonST::GreyIcon(testIcon()).toImage().convertToFormat(QImage::Format_ARGB32);
    struct Case {
        int x, y;
        QColor expected;
    } cases[] = {
        {2, 2, QColor(greyOf(255, 0, 0), greyOf(255, 0, 0), greyOf(255, 0, 0))},
        {5, 2, QColor(greyOf(0, 200, 0), greyOf(0, 200, 0), greyOf(0, 200, 0))},
        {2, 5, QColor(greyOf(0, 0, 255), greyOf(0, 0, 255), greyOf(0, 0, 255))},
        {5, 5, QColor(255, 255, 255)},
        {0, 0, QColor(0, 0, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grey.pixelColor(c.x, c.y), c.expected) << c.x << "," << c.y;
    EXPECT_EQ(grey.pixelColor(7, 7).alpha(), 0);
}

class ButtonRender : public testing::Test {
  protected:
    void SetUp() override {
        window_.resize(200, 100);
        button_ = new CButtonST(&window_);
        button_->setGeometry(10, 10, 120, 40);
        button_->AssignIcons(testIcon(), CButtonST::GreyIcon(testIcon()));
        window_.show();
        QApplication::processEvents();
    }
    QImage render() { return button_->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    void hover() {
        QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
        QApplication::sendEvent(button_, &enter);
    }
    void leave() {
        QEvent leaveEvent(QEvent::Leave);
        QApplication::sendEvent(button_, &leaveEvent);
    }
    // The icon's red quarter: left edge at 3 px with a caption, vertically centred.
    QColor iconPixel(const QImage& image, int dx = 0) {
        return image.pixelColor(3 + 2 + dx, (40 - 8) / 2 + 2 + dx);
    }

    QDialog window_;
    CButtonST* button_ = nullptr;
};

TEST_F(ButtonRender, HoverShowsColourAndRaisedEdgeLeavingRestoresThem) {
    button_->setText(QStringLiteral("更新"));
    QImage rest = render();
    EXPECT_EQ(iconPixel(rest), QColor(greyOf(255, 0, 0), greyOf(255, 0, 0), greyOf(255, 0, 0)));
    EXPECT_EQ(rest.pixelColor(0, 0).rgb(),
              button_->palette().color(QPalette::Button).rgb());  // no edge
    hover();
    EXPECT_TRUE(button_->isMouseOver());
    QImage over = render();
    EXPECT_EQ(iconPixel(over), QColor(255, 0, 0));
    EXPECT_EQ(over.pixelColor(0, 0).rgb(), button_->palette().color(QPalette::Light).rgb());
    EXPECT_EQ(over.pixelColor(119, 39).rgb(), button_->palette().color(QPalette::Dark).rgb());
    leave();
    EXPECT_FALSE(button_->isMouseOver());
    EXPECT_EQ(render(), rest);
}

TEST_F(ButtonRender, PressedMovesTheIconOnePixelAndSinksTheEdge) {
    button_->setText(QStringLiteral("更新"));
    button_->setDown(true);
    QImage pressed = render();
    EXPECT_EQ(pressed.pixelColor(0, 0).rgb(), button_->palette().color(QPalette::Dark).rgb());
    // The black corner pixel of the icon sits one pixel further right and down.
    EXPECT_EQ(pressed.pixelColor(3 + 1, 16 + 1), QColor(0, 0, 0));
    button_->setDown(false);
    EXPECT_EQ(render().pixelColor(3, 16), QColor(0, 0, 0));
}

TEST_F(ButtonRender, DisabledIsEmbossedAndIgnoresHover) {
    button_->setText(QStringLiteral("更新"));
    const QImage enabled = render();
    button_->setEnabled(false);
    hover();
    EXPECT_FALSE(button_->isMouseOver());
    const QImage disabled = render();
    EXPECT_NE(iconPixel(disabled), iconPixel(enabled));
    EXPECT_EQ(disabled.pixelColor(0, 0).rgb(), button_->palette().color(QPalette::Button).rgb());
}

TEST_F(ButtonRender, TwoLineCaptionIsDrawnAsTwoCentredLines) {
    button_->setText(QStringLiteral("バックアップ\nファイルを戻す"));
    button_->setFont(CButtonST::OwnFont());
    const QImage image = render();
    // Rows with ink right of the icon, grouped into bands separated by blank rows.
    int bands = 0;
    bool inBand = false;
    for (int y = 1; y < image.height() - 1; ++y) {
        bool ink = false;
        for (int x = 3 + 8 + 3; x < image.width() - 1; ++x) {
            if (image.pixelColor(x, y).lightness() < 128) ink = true;
        }
        if (ink && !inBand) ++bands;
        inBand = ink;
    }
    EXPECT_EQ(bands, 2);
}

TEST_F(ButtonRender, DoubleClickCountsAsTwoClicks) {
    QSignalSpy clicks(button_, &QPushButton::clicked);
    // What the window system sends for a double click: press, release,
    // double click, release.
    const QPointF at(20, 20);
    auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent event(type, at, button_->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(button_, &event);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(ButtonRender, TooltipIsCreatedWhenFirstNeeded) {
    EXPECT_FALSE(button_->tooltipCreated());
    button_->AssignTooltip(QString());
    EXPECT_FALSE(button_->tooltipCreated());
    button_->AssignTooltip(QStringLiteral("元に戻す"));
    EXPECT_TRUE(button_->tooltipCreated());
    EXPECT_EQ(button_->toolTip(), QStringLiteral("元に戻す"));
}

}  // namespace
