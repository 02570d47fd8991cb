// Every caption of every window, measured with the fonts this system has:
// a text that does not fit its control is a window a person cannot read.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <functional>
#include <memory>

#include "EveryWindow.h"
#include "widgets/ButtonST.h"

static void initCaptionResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

[[maybe_unused]] const bool resourcesReady = (initCaptionResources(), true);

// What does not fit in `window`, one line per control.
std::string CaptionsThatDoNotFit(QWidget* window) {
    std::string problems;
    auto complain = [&](QWidget* control, const QString& text, const QSize& needed,
                        const QSize& room) {
        problems += window->windowTitle().toStdString() + ": \"" + text.toStdString() + "\" (" +
                    control->metaObject()->className() + " " + control->objectName().toStdString() +
                    ") needs " + std::to_string(needed.width()) + "x" +
                    std::to_string(needed.height()) + ", has " + std::to_string(room.width()) +
                    "x" + std::to_string(room.height()) + "\n";
    };
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(window)) continue;
        const QFontMetrics metrics(control->font());
        if (auto* label = qobject_cast<QLabel*>(control)) {
            if (label->text().isEmpty() || !label->pixmap().isNull()) continue;
            const QRect needed =
                metrics.boundingRect(QRect(0, 0, 100000, 100000), 0, label->text());
            const QRect room = label->contentsRect();
            if (needed.width() > room.width() || needed.height() > room.height()) {
                complain(label, label->text(), needed.size(), room.size());
            }
        } else if (auto* icon = dynamic_cast<CButtonST*>(control)) {
            if (icon->text().isEmpty()) continue;
            // Word-wrapped inside the caption area, as the button draws it.
            const QRect room = icon->CaptionArea();
            const QRect needed = metrics.boundingRect(room, CButtonST::kCaptionFlags, icon->text());
            if (needed.width() > room.width() || needed.height() > room.height()) {
                complain(icon, icon->text(), needed.size(), room.size());
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            if (button->text().isEmpty()) continue;
            QStyleOptionButton option;
            option.initFrom(button);
            const bool check = qobject_cast<QCheckBox*>(button) != nullptr;
            const QRect room = button->style()->subElementRect(
                check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option,
                button);
            // A push button's text keeps a little air to its edges.
            const int air = check ? 0 : 2 * metrics.averageCharWidth() / 2;
            const QSize needed(metrics.horizontalAdvance(button->text()) + air, metrics.height());
            if (needed.width() > room.width() || needed.height() > room.height()) {
                complain(button, button->text(), needed, room.size());
            }
        }
    }
    return problems;
}

TEST(CaptionFit, EveryLabelButtonAndCheckBoxOfEveryWindowShowsItsWholeText) {
    // The Japanese font that stands in for the Windows ones must be the one drawn.
    const QString family =
        QFontInfo(widgets::DialogFont(QStringLiteral("MS UI Gothic"), 11)).family();
    ASSERT_TRUE(family.startsWith(QStringLiteral("VL")))
        << family.toStdString() << ": install fonts-vlgothic";

    apptest::EveryWindow windows;
    CVantolyPatchDlg& main = windows.main;
    main.show();
    QApplication::processEvents();
    EXPECT_EQ(CaptionsThatDoNotFit(&main), "");
    for (const auto& make : windows.Others()) {
        std::unique_ptr<QWidget> window = make();
        window->show();
        QApplication::processEvents();
        EXPECT_EQ(CaptionsThatDoNotFit(window.get()), "");
        // Fitting widens; it never leaves a control outside its window.
        for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(window->rect().contains(control->geometry()))
                << window->windowTitle().toStdString() << " "
                << control->objectName().toStdString();
        }
    }
    EXPECT_TRUE(windows.fakes.messageBoxes.Shown().empty());
}

}  // namespace
