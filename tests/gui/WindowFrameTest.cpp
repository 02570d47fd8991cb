// The frame of every window: a caption with the system menu and the close
// box, no minimise or maximise box, and a size nobody can change, so no
// control ever floats in grey space or is cut off.
#include <gtest/gtest.h>

#include <QApplication>

#include "EveryWindow.h"
#include "platform/qt/WindowFrame.h"

namespace {

std::string FrameProblems(QWidget& window) {
    std::string problems;
    const std::string title = window.windowTitle().toStdString() + ": ";
    const Qt::WindowFlags flags = window.windowFlags();
    if ((flags & Qt::WindowType_Mask) != Qt::Dialog) problems += title + "not a dialog frame\n";
    for (const auto& [hint, name] : {std::pair{Qt::WindowTitleHint, "caption"},
                                     std::pair{Qt::WindowSystemMenuHint, "system menu"},
                                     std::pair{Qt::WindowCloseButtonHint, "close box"}})
        if (!(flags & hint)) problems += title + "no " + name + "\n";
    for (const auto& [hint, name] : {std::pair{Qt::WindowMinimizeButtonHint, "minimise box"},
                                     std::pair{Qt::WindowMaximizeButtonHint, "maximise box"}})
        if (flags & hint) problems += title + std::string(name) + "\n";
    if (window.minimumSize() != window.maximumSize() || window.size() != window.minimumSize())
        problems += title + "resizable\n";
    return problems;
}

TEST(WindowFrame, EveryWindowHasAFixedFrameWithOnlyItsCloseBox) {
    apptest::EveryWindow windows;
    windows.main.show();
    QApplication::processEvents();
    EXPECT_EQ(FrameProblems(windows.main), "");
    for (const auto& make : windows.Others()) {
        std::unique_ptr<QWidget> window = make();
        window->show();
        QApplication::processEvents();
        EXPECT_EQ(FrameProblems(*window), "");
        // A resize asked for by anyone is refused.
        const QSize size = window->size();
        window->resize(size + QSize(200, 100));
        window->resize(size - QSize(200, 100));
        EXPECT_EQ(window->size(), size) << window->windowTitle().toStdString();
    }
}

TEST(WindowFrame, TheWindowManagerIsToldTheFunctionsAsTheCloseBoxStands) {
    constexpr unsigned long kMove = 4, kResize = 2, kMinimise = 8, kMaximise = 16, kClose = 32;
    constexpr unsigned long kHandles = 4, kMinimiseBox = 32, kMaximiseBox = 64;
    for (const bool closable : {true, false}) {
        const platform::MotifHints hints = platform::FixedFrameHints(closable);
        EXPECT_EQ(hints.flags & 3, 3UL) << "functions and decorations both restricted";
        EXPECT_EQ(hints.functions & 1, 0UL) << "not the inverted 'all but' form";
        EXPECT_EQ(hints.functions, kMove | (closable ? kClose : 0));
        EXPECT_EQ(hints.functions & (kResize | kMinimise | kMaximise), 0UL);
        EXPECT_EQ(hints.decorations & (kHandles | kMinimiseBox | kMaximiseBox), 0UL);
    }
}

}  // namespace
