// The real program on a real X display: its main window comes from the
// window module it loads at run time, and answers real key presses
// (xdotool sends them through the X server, as a keyboard would).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "RunPatch.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

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

    ChildProcess program({"/usr/bin/env", "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                          "XDG_STATE_HOME=" + folder.Folder() + "state", VANTOLY_PATCH_BINARY,
                          "--db", db});
    ASSERT_TRUE(Xdotool(display, "search --sync --onlyvisible --name '^データベース更新'"))
        << "the main window did not appear";
    // The menu by Alt+M, its first entry (the About box) by Enter.
    ASSERT_TRUE(Xdotool(display,
                        "search --sync --onlyvisible --name '^データベース更新' "
                        "windowfocus --sync key --delay 150 alt+m Return"));
    EXPECT_TRUE(Xdotool(display, "search --sync --onlyvisible --name '^バージョン情報'"))
        << "the About box did not open from the keyboard";
}

}  // namespace
