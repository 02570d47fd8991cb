// The real program on a real X display: its main window comes from the
// window module it loads at run time, and answers real key presses
// (xdotool sends them through the X server, as a keyboard would).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/ChildProcess.h"
#include "support/RunPatch.h"
#include "support/TempFolder.h"
#include "support/XDesktop.h"

namespace {

using apptest::RunPatch;
using apptest::RunResult;
using testsupport::ChildProcess;

// Runs xdotool on `display`; true when it succeeded (a search found its window).
bool Xdotool(const std::string& display, const std::string& arguments) {
    const std::string command =
        "DISPLAY=" + display + " timeout 60 /usr/bin/xdotool " + arguments + " >/dev/null";
    return std::system(command.c_str()) == 0;
}

TEST(WindowModuleDisplayTest, TheMainWindowShowsAndAnswersTheKeyboard) {
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/Xvfb") &&
                std::filesystem::exists("/usr/bin/xdotool"))
        << "Xvfb or xdotool is not installed; scripts/install-deps installs them";
    testsupport::TempFolder folder;
    const std::string db = folder.Folder() + "host.mdb";
    const RunResult built =
        RunPatch({"--db", db, "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"});
    ASSERT_EQ(built.exitStatus, 0) << built.err;

    ChildProcess server({"/bin/sh", "-c",
                         "exec /usr/bin/Xvfb -displayfd 1 -noreset -nolisten tcp "
                         "-screen 0 1024x768x24 2>/dev/null"});
    const auto number = server.ReadLine(std::chrono::seconds(20));
    ASSERT_TRUE(number) << "Xvfb did not start";
    const std::string display = ":" + *number;

    // A runtime folder of its own: its single-instance lock must not meet
    // another test's window running at the same time.
    ChildProcess program({"/usr/bin/env", "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                          "XDG_STATE_HOME=" + folder.Folder() + "state",
                          "XDG_RUNTIME_DIR=" + folder.Folder(), VANTOLY_PATCH_BINARY, "--db", db});
    ASSERT_TRUE(Xdotool(display, "search --sync --onlyvisible --name '^データベース更新'"))
        << "the main window did not appear";
    // The menu by Alt+M, its first entry (the About box) by Enter.
    ASSERT_TRUE(Xdotool(display,
                        "search --sync --onlyvisible --name '^データベース更新' "
                        "windowfocus --sync key --delay 150 alt+m Return"));
    EXPECT_TRUE(Xdotool(display, "search --sync --onlyvisible --name '^バージョン情報'"))
        << "the About box did not open from the keyboard";
}

// The last line an X client printed (xdotool's window id).
std::string LastLine(const std::string& text) {
    std::string rest = text.substr(0, text.find_last_not_of('\n') + 1);
    return rest.substr(rest.find_last_of('\n') + 1);
}

// Under a window manager, as an operator runs it: the main window and the
// About box carry our frame hints (move and close; border, title and menu;
// no resize handles, minimise or maximise), the manager offers neither
// resizing nor maximising, and a resize asked through the manager is refused.
TEST(WindowModuleDisplayTest, OnADesktopTheWindowsKeepTheirFixedFrames) {
    ASSERT_TRUE(testsupport::XDesktop::Available())
        << "Xvfb, openbox, xdotool or xprop is not installed; scripts/install-deps installs them";
    testsupport::TempFolder folder;
    const std::string db = folder.Folder() + "host.mdb";
    const RunResult built =
        RunPatch({"--db", db, "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"});
    ASSERT_EQ(built.exitStatus, 0) << built.err;
    const testsupport::XDesktop desktop;
    ASSERT_TRUE(desktop.Ready()) << "no desktop on " << desktop.Display();
    ChildProcess program({"/usr/bin/env", "DISPLAY=" + desktop.Display(), "QT_QPA_PLATFORM=xcb",
                          "LANG=ja_JP.UTF-8", "XDG_STATE_HOME=" + folder.Folder() + "state",
                          "XDG_RUNTIME_DIR=" + folder.Folder(), VANTOLY_PATCH_BINARY, "--db", db});
    auto find = [&](const std::string& title) {
        return LastLine(
            desktop.Run({"xdotool", "search", "--sync", "--onlyvisible", "--name", title}).out);
    };
    auto property = [&](const std::string& window, const std::string& name) {
        return desktop.Run({"xprop", "-id", window, name}).out;
    };
    const std::string main = find("^データベース更新");
    ASSERT_FALSE(main.empty()) << "the main window did not appear";
    desktop.Run(
        {"xdotool", "windowfocus", "--sync", main, "key", "--delay", "150", "alt+m", "Return"});
    const std::string about = find("^バージョン情報");
    ASSERT_FALSE(about.empty()) << "the About box did not open";
    for (const std::string& window : {main, about}) {
        SCOPED_TRACE(window);
        EXPECT_NE(property(window, "_MOTIF_WM_HINTS").find("= 0x3, 0x24, 0x1a, 0x0, 0x0"),
                  std::string::npos)
            << property(window, "_MOTIF_WM_HINTS");
        const std::string actions = property(window, "_NET_WM_ALLOWED_ACTIONS");
        EXPECT_NE(actions.find("_NET_WM_ACTION_MOVE"), std::string::npos) << actions;
        EXPECT_EQ(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << actions;
        EXPECT_EQ(actions.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << actions;
        EXPECT_NE(property(window, "_NET_FRAME_EXTENTS").find("= "), std::string::npos)
            << "the window manager did not frame it";
        const std::string before = desktop.Run({"xdotool", "getwindowgeometry", window}).out;
        // No --sync: a window that keeps its size would keep xdotool waiting.
        desktop.Run({"xdotool", "windowsize", window, "1300", "740", "sleep", "0.5"});
        EXPECT_EQ(desktop.Run({"xdotool", "getwindowgeometry", window}).out, before);
    }
}

}  // namespace
