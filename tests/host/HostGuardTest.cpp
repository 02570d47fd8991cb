#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>

#include "DisplayConnection.h"
#include "host/HostGuard.h"
#include "platform/X11HostWindows.h"
#include "reliability/WriteLockHolder.h"
#include "support/ChildProcess.h"
#include "support/FakeClock.h"
#include "support/FakeHostWindows.h"
#include "support/FakeInstanceLock.h"
#include "support/FakeMessageBoxes.h"
#include "support/Process.h"
#include "support/SampleDatabase.h"

namespace {

using platform::MessageAnswer;
using testsupport::ChildProcess;
using LockResult = platform::InstanceLock::Result;

TEST(EnsureSingleInstanceTest, OnlyAnotherCopyStopsTheStart) {
    for (const auto& [result, goesOn] :
         {std::pair{LockResult::Acquired, true}, std::pair{LockResult::HeldElsewhere, false},
          std::pair{LockResult::Unavailable, true}}) {
        testsupport::FakeInstanceLock lock;
        lock.NextResult = result;
        testsupport::FakeMessageBoxes boxes;
        EXPECT_EQ(host::EnsureSingleInstance(lock, boxes), goesOn);
        EXPECT_EQ(lock.AcquiredNames, std::vector<std::string>{"VantolyPatchInstance"});
        if (goesOn) {
            EXPECT_TRUE(boxes.Shown().empty());
        } else {
            ASSERT_EQ(boxes.Shown().size(), 1u);
            const auto& box = boxes.Shown()[0];
            EXPECT_EQ(box.text, "すでに起動されています");
            EXPECT_EQ(box.buttons, platform::MessageButtons::Ok);
            EXPECT_EQ(box.icon, platform::MessageIcon::Warning);
            EXPECT_EQ(box.owner, platform::MessageOwner::Application);
        }
        host::ReleaseSingleInstance(lock);
        EXPECT_EQ(lock.Releases, 1);
        EXPECT_FALSE(lock.Held);
    }
}

TEST(AskToCloseHostApplicationTest, AsksOnlyWhenTheHostIsOpenAndClosesOnYes) {
    struct Case {
        bool hostOpen;
        std::optional<MessageAnswer> answer;
        host::HostGuardOutcome outcome;
        std::size_t closeRequests;
    };
    for (const Case& c : {Case{false, std::nullopt, host::HostGuardOutcome::NoHost, 0},
                          Case{true, MessageAnswer::No, host::HostGuardOutcome::KeptOpen, 0},
                          Case{true, MessageAnswer::Yes, host::HostGuardOutcome::StillOpen, 1}}) {
        testsupport::FakeHostWindows windows;
        if (c.hostOpen) windows.OpenClasses.insert("Vantoly");
        testsupport::FakeMessageBoxes boxes;
        if (c.answer) boxes.ScriptAnswers({*c.answer});
        testsupport::FakeClock clock;
        EXPECT_EQ(host::AskToCloseHostApplication(windows, boxes, clock), c.outcome);
        EXPECT_EQ(windows.Looked.front(), "Vantoly");
        EXPECT_EQ(windows.CloseRequests.size(), c.closeRequests);
        ASSERT_EQ(boxes.Shown().size(), c.hostOpen ? 1u : 0u);
        if (c.hostOpen) {
            const auto& box = boxes.Shown()[0];
            EXPECT_EQ(box.text,
                      "Vantoly計算ソフトを終了してから再実行してください。\n\n計算ソフトを終了しま"
                      "すか？");
            EXPECT_EQ(box.caption, "ＤＢ更新");
            EXPECT_EQ(box.icon, platform::MessageIcon::Stop);
            EXPECT_EQ(box.buttons, platform::MessageButtons::YesNo);
        }
    }
}

// After the close request the guard looks again every 100 ms for at most
// 10 s: a host that closes ends the wait at once, one that stays is given
// the whole wait, and the update goes on in both cases.
TEST(AskToCloseHostApplicationTest, WaitsUpToTenSecondsForTheWindowToGo) {
    struct Case {
        int closesAfterPolls;  // -1: never
        host::HostGuardOutcome outcome;
        std::chrono::milliseconds slept;
    };
    using std::chrono::milliseconds;
    for (const Case& c : {Case{0, host::HostGuardOutcome::Closed, milliseconds(0)},
                          Case{3, host::HostGuardOutcome::Closed, milliseconds(300)},
                          Case{100, host::HostGuardOutcome::Closed, milliseconds(10000)},
                          Case{101, host::HostGuardOutcome::StillOpen, milliseconds(10000)},
                          Case{-1, host::HostGuardOutcome::StillOpen, milliseconds(10000)}}) {
        testsupport::FakeHostWindows windows;
        windows.OpenClasses.insert("Vantoly");
        testsupport::FakeMessageBoxes boxes;
        boxes.ScriptAnswers({MessageAnswer::Yes});
        testsupport::FakeClock clock;
        int polls = 0;
        clock.OnSleep = [&] {
            if (++polls == c.closesAfterPolls) windows.OpenClasses.clear();
        };
        windows.ClosesOnRequest = c.closesAfterPolls == 0;
        EXPECT_EQ(host::AskToCloseHostApplication(windows, boxes, clock), c.outcome)
            << c.closesAfterPolls;
        EXPECT_EQ(clock.Slept, c.slept) << c.closesAfterPolls;
        EXPECT_EQ(windows.CloseRequests.size(), 1u);
    }
    EXPECT_NE(host::HostGuardText(host::HostGuardOutcome::StillOpen).find("still open 10 s"),
              std::string::npos);
    EXPECT_EQ(host::HostGuardText(host::HostGuardOutcome::NoHost), "");
}

// A real X server without a window manager, on a display it picks itself.
// -displayfd names the display before the server is sure to take clients, and
// a server resets whenever its last client leaves, refusing connections
// meanwhile; so the fixture waits until a connection succeeds and keeps it
// open for the test's lifetime (with -noreset as well).
class XvfbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists("/usr/bin/Xvfb"))
            << "Xvfb is not installed; scripts/install-deps installs it";
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/bin/sh", "-c",
                                     "exec /usr/bin/Xvfb -displayfd 1 -noreset -nolisten tcp "
                                     "-screen 0 640x480x24 2>/dev/null"});
        const auto number = server_->ReadLine(std::chrono::seconds(20));
        ASSERT_TRUE(number) << "Xvfb did not start";
        display_ = ":" + *number;
        connection_ = testsupport::DisplayConnection::Open(display_, std::chrono::seconds(20));
        ASSERT_TRUE(connection_) << "Xvfb on " << display_ << " takes no connection";
    }

    // The stand-in host, started on our display; waits until its window is
    // in the state `mode` names.
    std::unique_ptr<ChildProcess> StartHost(const std::string& windowClass, const std::string& mode,
                                            const std::string& onRequest = "stays") {
        auto host = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/env", "DISPLAY=" + display_, FAKE_HOST_WINDOW_BINARY,
                                     windowClass, mode, onRequest});
        EXPECT_EQ(host->ReadLine(std::chrono::seconds(30)), "ready") << mode;
        return host;
    }

    // Every line the host printed within a short while.
    static std::vector<std::string> LinesWithin(ChildProcess& host,
                                                std::chrono::milliseconds wait) {
        std::vector<std::string> lines;
        while (auto line = host.ReadLine(wait)) lines.push_back(*line);
        return lines;
    }

    std::unique_ptr<ChildProcess> server_;
    std::string display_;
    std::unique_ptr<testsupport::DisplayConnection> connection_;
};

// Shown, minimised, withdrawn or never shown, the host holds the database.
TEST_F(XvfbTest, FindsTheHostWindowInEveryState) {
    struct Case {
        const char* mode;
        bool found;
    };
    for (const Case& c :
         {Case{"top", true}, Case{"framed", true}, Case{"unmapped", true}, Case{"iconified", true},
          Case{"withdrawn", true}, Case{"override", false}, Case{"inputonly", false}}) {
        platform::X11HostWindows windows(display_);
        auto host = StartHost("Vantoly", c.mode);
        EXPECT_EQ(windows.Find("Vantoly"), c.found) << c.mode;
        EXPECT_FALSE(windows.Find("vantoly")) << "the class compares exactly";
        host.reset();
        EXPECT_FALSE(windows.Find("Vantoly")) << c.mode << ": gone with its client";
    }
}

TEST_F(XvfbTest, OtherClassesAreNotTheHost) {
    platform::X11HostWindows windows(display_);
    EXPECT_FALSE(windows.Find("Vantoly")) << "empty screen";
    EXPECT_FALSE(windows.RequestClose("Vantoly"));
    auto other = StartHost("VantolyPatch", "top");
    auto otherFramed = StartHost("Other", "framed");
    EXPECT_FALSE(windows.Find("Vantoly"));
    EXPECT_FALSE(windows.RequestClose("Vantoly"));
}

TEST_F(XvfbTest, YesSendsOneCloseRequestToTheHost) {
    for (const char* mode : {"top", "framed", "iconified", "withdrawn", "unmapped"}) {
        auto host = StartHost("Vantoly", mode);
        platform::X11HostWindows windows(display_);
        testsupport::FakeMessageBoxes boxes;
        testsupport::FakeClock clock;
        boxes.ScriptAnswers({MessageAnswer::Yes});
        EXPECT_EQ(host::AskToCloseHostApplication(windows, boxes, clock),
                  host::HostGuardOutcome::StillOpen)
            << mode;
        EXPECT_EQ(boxes.Shown().size(), 1u);
        EXPECT_EQ(host->ReadLine(std::chrono::seconds(5)), "close request") << mode;
        EXPECT_TRUE(LinesWithin(*host, std::chrono::milliseconds(300)).empty())
            << "only one request";
    }
}

// A hidden window of the class above the host's shown one (an application
// may keep hidden top-level windows) does not take the close request, and
// neither does a popup of the class.
TEST_F(XvfbTest, TheCloseRequestGoesToTheShownWindow) {
    auto shown = StartHost("Vantoly", "framed");
    auto minimised = StartHost("Vantoly", "iconified");
    auto hidden = StartHost("Vantoly", "unmapped");
    auto popup = StartHost("Vantoly", "override");
    platform::X11HostWindows windows(display_);
    EXPECT_TRUE(windows.RequestClose("Vantoly"));
    EXPECT_EQ(shown->ReadLine(std::chrono::seconds(5)), "close request");
    for (auto* other : {minimised.get(), hidden.get(), popup.get()}) {
        EXPECT_TRUE(LinesWithin(*other, std::chrono::milliseconds(300)).empty());
    }
    shown.reset();
    EXPECT_TRUE(windows.RequestClose("Vantoly"));
    EXPECT_EQ(minimised->ReadLine(std::chrono::seconds(5)), "close request")
        << "minimised before hidden";
    EXPECT_TRUE(LinesWithin(*hidden, std::chrono::milliseconds(300)).empty());
}

TEST_F(XvfbTest, NoLeavesTheHostAlone) {
    auto host = StartHost("Vantoly", "top");
    platform::X11HostWindows windows(display_);
    testsupport::FakeMessageBoxes boxes;
    testsupport::FakeClock clock;
    boxes.ScriptAnswers({MessageAnswer::No});
    EXPECT_EQ(host::AskToCloseHostApplication(windows, boxes, clock),
              host::HostGuardOutcome::KeptOpen);
    EXPECT_TRUE(LinesWithin(*host, std::chrono::milliseconds(300)).empty());
}

// The real program on the display: after its Yes it waits for the host's
// window to go, and its report and error log say whether it went. A host
// that closes lets the update run at once; one that stays is waited for,
// then the update goes on (here into a write lock, so the error log is
// written).
TEST_F(XvfbTest, TheProgramWaitsForTheHostWindowAndReportsWhetherItWent) {
    testsupport::TempFolder folder;
    const std::string database = folder.Folder() + "host.mdb";
    testsupport::BuildSampleDatabase(database);
    testsupport::ProcessOptions onDisplay;
    onDisplay.environment = {"DISPLAY=" + display_};

    auto closing = StartHost("Vantoly", "framed", "closes");
    const testsupport::ProcessResult closed = testsupport::RunProcess(
        {VANTOLY_PATCH_BINARY, "--db", database, "--yes", "update"}, onDisplay);
    EXPECT_EQ(closing->ReadLine(std::chrono::seconds(5)), "close request");
    EXPECT_EQ(closed.exitStatus, 0) << closed.err;
    EXPECT_NE(closed.out.find("host window\tthe host application's window closed within 10 s"),
              std::string::npos)
        << closed.out;

    std::filesystem::remove(database);
    std::filesystem::remove_all(folder.Folder() + "データベース更新前データ");
    testsupport::BuildSampleDatabase(database);
    auto staying = StartHost("Vantoly", "top");
    testsupport::ProcessResult stillOpen;
    {
        const reliability::WriteLockHolder lock(database);
        stillOpen = testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--db", database, "--yes", "--json", "update"}, onDisplay);
    }
    EXPECT_EQ(staying->ReadLine(std::chrono::seconds(5)), "close request");
    EXPECT_EQ(stillOpen.exitStatus, 1) << stillOpen.err;
    const QJsonObject report =
        QJsonDocument::fromJson(QByteArray::fromStdString(stillOpen.out)).object();
    EXPECT_EQ(report.value("hostWindow").toString(), "still-open") << stillOpen.out;
    EXPECT_EQ(report.value("outcome").toString(), "failed") << stillOpen.out;
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Folder() + "DBErr"))
        log += testsupport::ReadFileBytes(entry.path());
    EXPECT_NE(log.find("Host：\r\nthe host application's window was still open 10 s after the "
                       "close request; the update went on\r\n"),
              std::string::npos)
        << log;
}

TEST(X11HostWindowsTest, NoDisplayMeansNoHostWindow) {
    platform::X11HostWindows windows(":65000");
    EXPECT_FALSE(windows.Find("Vantoly"));
    EXPECT_FALSE(windows.RequestClose("Vantoly"));
}

}  // namespace
