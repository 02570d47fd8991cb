// Error log files, the update error dialog and the clipboard copy.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "errors/ErrorLog.h"
#include "errors/UpdateErrorMsgDlg.h"
#include "support/FakeServices.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"
#include "widgets/DialogUnits.h"

namespace {

using testsupport::FakeServices;

TEST(ErrorLog, FileNameAndExactBytes) {
    testsupport::TempFolder folder;
    FakeServices fakes;
    fakes.clock.Time = {2020, 5, 24, 9, 5, 3, 7};
    struct Case {
        const char* query;
        const char* queryBytes;  // as written in the file
    } cases[] = {
        {"", "Query：\r\n\r\n\r\n"},
        {"DROP TABLE t;\r\nX", "Query：\r\nDROP TABLE t;\r\r\nX\r\n\r\n"},
    };
    for (const auto& c : cases) {
        auto result = errors::WriteErrorLog(folder.Folder(), "CVantolyPatchDlg::OnUpdateTables",
                                            c.query, "Message : m\nCode : 0x80004005\n",
                                            fakes.clock, fakes.messageBoxes, "VantolyPatch");
        EXPECT_TRUE(result.written);
        EXPECT_EQ(result.path, folder.Folder() + "DBErr/DBErr20200524090503007.txt");
        const std::string expected = std::string("Time：\r\n2020/05/24 09:05:03:007\r\n\r\n") +
                                     "Function：\r\nCVantolyPatchDlg::OnUpdateTables\r\n\r\n" +
                                     c.queryBytes +
                                     "ErrorLog：\r\nMessage : m\r\nCode : 0x80004005\r\n\r\n";
        EXPECT_EQ(testsupport::ReadFileBytes(result.path), expected);
    }
    ASSERT_EQ(fakes.messageBoxes.Shown().size(), 2u);
    const auto& box = fakes.messageBoxes.Shown()[0];
    EXPECT_EQ(box.text,
              "Function :\nCVantolyPatchDlg::OnUpdateTables\n\nQuery :\n\n\nErrorLog :\nMessage : "
              "m\nCode : "
              "0x80004005\n\n\nこのエラーの記録は、[メニュー] ⇒ [データベース] ⇒ [エラー履歴] "
              "で、確認することが出来ます。");
    EXPECT_EQ(box.caption, "VantolyPatch");
    EXPECT_EQ(box.icon, platform::MessageIcon::Warning);
    // Nothing but the log itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Folder() + "DBErr"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ErrorLog, PasswordsReachNeitherTheFileNorTheMessage) {
    testsupport::TempFolder folder;
    FakeServices fakes;
    auto result =
        errors::WriteErrorLog(folder.Folder(), "f", "ALTER DATABASE PASSWORD [Neu Pw] 'Alt''Pw';",
                              "Description : cannot open Provider=Microsoft.ACE.OLEDB.12.0;Jet "
                              "OLEDB:Database Password='Dritt';\n",
                              fakes.clock, fakes.messageBoxes, "T");
    ASSERT_TRUE(result.written);
    ASSERT_EQ(fakes.messageBoxes.Shown().size(), 1u);
    for (const std::string& text :
         {testsupport::ReadFileBytes(result.path), fakes.messageBoxes.Shown()[0].text}) {
        EXPECT_NE(text.find("ALTER DATABASE PASSWORD *** ***;"), std::string::npos) << text;
        EXPECT_NE(text.find("Database Password=***;"), std::string::npos) << text;
        for (const char* secret : {"Neu", "Alt", "Dritt"}) {
            EXPECT_EQ(text.find(secret), std::string::npos) << text;
        }
    }
}

TEST(ErrorLog, UnwritableFolderStillShowsTheMessageAndSaysSo) {
    testsupport::TempFolder folder;
    std::ofstream(folder.Folder() + "DBErr") << "a plain file where the folder should be";
    FakeServices fakes;
    auto result = errors::WriteErrorLog(folder.Folder(), "f", "q", "e\n", fakes.clock,
                                        fakes.messageBoxes, "T");
    EXPECT_FALSE(result.written);
    ASSERT_EQ(fakes.messageBoxes.Shown().size(), 1u);
    EXPECT_NE(fakes.messageBoxes.Shown()[0].text.find("エラーの記録を書き込めませんでした"),
              std::string::npos);
}

TEST(ErrorLog, FullDiskLeavesNoPartialFileAndIsReported) {
    testsupport::TempFolder folder;
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        FakeServices fakes;
        auto result = errors::WriteErrorLog(folder.Folder(), "f", std::string(1000, 'q'), "e\n",
                                            fakes.clock, fakes.messageBoxes, "T");
        bool reported =
            fakes.messageBoxes.Shown().size() == 1 &&
            fakes.messageBoxes.Shown()[0].text.find("書き込めませんでした") != std::string::npos;
        _exit(!result.written && reported ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Folder() + "DBErr"));
}

TEST(Clipboard, EachFailureShowsItsMessage) {
    struct Case {
        bool owner;
        platform::Clipboard::Result result;
        const char* message;  // empty: no message
    } cases[] = {
        {false, platform::Clipboard::Result::Ok, "クリップボードへの貼り付けが失敗しました"},
        {true, platform::Clipboard::Result::OpenFailed, "Failed to open clipboard"},
        {true, platform::Clipboard::Result::EmptyFailed, "Failed to empty clipboard"},
        {true, platform::Clipboard::Result::Ok, ""},
    };
    for (const auto& c : cases) {
        FakeServices fakes;
        fakes.clipboard.NextResult = c.result;
        errors::CopyTextToClipboard("text", c.owner, fakes.clipboard, fakes.messageBoxes,
                                    "VantolyPatch");
        if (*c.message) {
            ASSERT_EQ(fakes.messageBoxes.Shown().size(), 1u);
            EXPECT_EQ(fakes.messageBoxes.Shown()[0].text, c.message);
            EXPECT_EQ(fakes.messageBoxes.Shown()[0].caption, "VantolyPatch");
            EXPECT_EQ(fakes.messageBoxes.Shown()[0].icon, platform::MessageIcon::Warning);
        } else {
            EXPECT_TRUE(fakes.messageBoxes.Shown().empty());
            EXPECT_EQ(fakes.clipboard.Text(), "text");
        }
    }
}

// The dialog as the operator uses it: the focus starts on the close button,
// Tab walks close, report, copy; typing edits the report; the copy button and
// the close button by mouse take the edited text with CR LF line ends.
TEST(UpdateErrorDialog, TypedEditsAreCopiedAndKeptWithCrLf) {
    FakeServices fakes;
    CUpdateErrorMsgDlg dialog(nullptr, fakes.clipboard, fakes.messageBoxes, "VantolyPatch");
    dialog.ReportText = "line one\r\nline two";
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    auto* edit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("1011"));
    auto* copy = dialog.findChild<QPushButton*>(QStringLiteral("1013"));
    auto* close = dialog.findChild<QPushButton*>(QStringLiteral("1"));
    ASSERT_TRUE(edit && copy && close);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "更新エラー内容");
    EXPECT_EQ(edit->toPlainText().toStdString(), "line one\nline two");
    EXPECT_EQ(QApplication::focusWidget(), close);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("edited"));
    QTest::keyClick(edit, Qt::Key_Tab);  // Tab leaves the report for the copy button
    EXPECT_EQ(QApplication::focusWidget(), copy);
    QTest::keyClick(copy, Qt::Key_Space);
    EXPECT_EQ(fakes.clipboard.Text(), "line one\r\nline two\r\nedited");
    fakes.clipboard.SetText("");
    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(fakes.clipboard.Text(), "line one\r\nline two\r\nedited");
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.ReportText, "line one\r\nline two\r\nedited");
    EXPECT_TRUE(fakes.messageBoxes.Shown().empty());
}

// The report reads as in the Windows edit box: tab stops every 32 dialog
// units, long lines scroll with the caret but no scroll bar shows.
TEST(UpdateErrorDialog, TabStopsEvery32DialogUnitsAndNoScrollBars) {
    FakeServices fakes;
    CUpdateErrorMsgDlg dialog(nullptr, fakes.clipboard, fakes.messageBoxes, "VantolyPatch");
    dialog.ReportText = "\tA\r\nxx\tB\r\n\t\tC\r\n" + std::string(2000, 'W');
    dialog.show();
    auto* edit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("1011"));
    ASSERT_TRUE(edit);
    const widgets::DialogUnits& du = dialog.units();
    ASSERT_GT(du.baseX(), 0);
    auto leftOf = [&](int block, int column) {
        QTextCursor cursor(edit->document()->findBlockByNumber(block));
        cursor.setPosition(cursor.position() + column);
        return edit->cursorRect(cursor).left();
    };
    const int start = leftOf(0, 0);
    EXPECT_EQ(leftOf(0, 1) - start, du.x(32));      // after one tab
    EXPECT_EQ(leftOf(1, 3) - start, du.x(32));      // a short text before the tab
    EXPECT_EQ(leftOf(2, 2) - start, 2 * du.x(32));  // two tabs
    QApplication::processEvents();
    EXPECT_FALSE(edit->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(edit->verticalScrollBar()->isVisible());
}

// Escape closes the dialog without taking the edits back.
TEST(UpdateErrorDialog, EscapeClosesWithoutTakingTheEdits) {
    FakeServices fakes;
    CUpdateErrorMsgDlg dialog(nullptr, fakes.clipboard, fakes.messageBoxes, "VantolyPatch");
    dialog.ReportText = "report";
    dialog.show();
    auto* edit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("1011"));
    QTest::keyClicks(edit, QStringLiteral("typed"));
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.ReportText, "report");
}

}  // namespace
