// Every window and a box with a very tall text on the screen this process
// was given (ctest runs it at 96, 120 and 144 DPI on 1366x768 and 1600x1000
// screens): each frame lies inside the screen's available area, and so does
// every control and button an operator needs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "EveryWindow.h"
#include "platform/qt/QtMessageBoxes.h"

namespace {

std::string Outside(QWidget& window) {
    const QRect available = window.screen()->availableGeometry();
    std::string problems;
    auto name = [](const QRect& r) {
        return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " +
               std::to_string(r.width()) + "x" + std::to_string(r.height());
    };
    const QRect frame = window.frameGeometry();
    if (!available.contains(frame))
        problems += window.windowTitle().toStdString() + ": frame " + name(frame) +
                    " outside the screen " + name(available) + "\n";
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->isVisibleTo(&window) || control->isWindow()) continue;
        if (qobject_cast<QAbstractButton*>(control) == nullptr &&
            control->parentWidget() != &window)
            continue;
        const QRect global(control->mapToGlobal(QPoint(0, 0)), control->size());
        if (!available.contains(global))
            problems += window.windowTitle().toStdString() + ": " +
                        control->metaObject()->className() + " " +
                        control->objectName().toStdString() + " at " + name(global) +
                        " outside the screen\n";
    }
    return problems;
}

TEST(ScreenFit, EveryWindowLiesInsideTheScreen) {
    apptest::EveryWindow windows;
    windows.main.show();
    QApplication::processEvents();
    EXPECT_EQ(Outside(windows.main), "");
    for (const auto& make : windows.Others()) {
        std::unique_ptr<QWidget> window = make();
        window->show();
        QApplication::processEvents();
        EXPECT_EQ(Outside(*window), "");
    }
}

TEST(ScreenFit, ABoxWithATallTextScrollsItAndKeepsItsButtonsOnScreen) {
    std::string statement = "CREATE TABLE t_seikyu_data (\r\n";
    for (int column = 1; column <= 90; ++column)
        statement += "  [SeikyuColumn" + std::to_string(column) + "] CURRENCY NOT NULL,\r\n";
    statement += "  CONSTRAINT pk_seikyu_data PRIMARY KEY ([SeikyuColumn1])\r\n);";
    std::string problems = "the box never opened";
    QTimer::singleShot(0, [&problems] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        problems = Outside(*box);
        if (box->findChild<QWidget*>(QStringLiteral("boxTextScroll")) == nullptr)
            problems += "the text does not scroll\n";
        box->button(QMessageBox::Ok)->click();
    });
    platform::QtMessageBoxes boxes("VantolyPatch");
    boxes.Show({statement, "", platform::MessageButtons::Ok, platform::MessageIcon::None,
                platform::MessageOwner::Window});
    EXPECT_EQ(problems, "");
}

}  // namespace
