// The query console window, offscreen, on a real database.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "console/ExecuteQueryDlg.h"
#include "support/FakeServices.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"

namespace {

using testsupport::FakeServices;

class ConsoleTest : public testing::Test {
  protected:
    void SetUp() override {
        const std::string path = folder_.Folder() + "db.mdb";
        engine::CreateDatabase(path);
        connection_ = engine::Connection::create();
        connection_->Open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path +
                          ";Jet OLEDB:Database Password='';");
        connection_->Execute("CREATE TABLE t_a (ID LONG PRIMARY KEY, X LONG, Y LONG, S TEXT(20))");
        connection_->Execute("INSERT INTO t_a VALUES (1, 0, 0, 'a')");
        connection_->Execute("INSERT INTO t_a VALUES (2, 0, 0, 'b')");
        dialog_ = std::make_unique<CExecuteQueryDlg>(ConsoleContext{[this] { return connection_; },
                                                                    fakes_.services, "VantolyPatch",
                                                                    stateFolder(), "VantolyPatch"});
    }

    // Not there yet: the console makes it when it first writes a file.
    std::string stateFolder() const { return folder_.Folder() + "state/vantoly/"; }

    long count(const std::string& where) {
        auto rs = connection_->Execute("SELECT COUNT(*) FROM t_a WHERE " + where);
        return static_cast<long>(rs->Collect(0L).intValue());
    }

    std::vector<std::string> shownTexts() {
        std::vector<std::string> texts;
        for (const auto& box : fakes_.messageBoxes.Shown()) texts.push_back(box.text);
        return texts;
    }

    void run(const std::string& text) {
        fakes_.messageBoxes.Clear();
        dialog_->queryEdit()->setPlainText(QString::fromStdString(text));
        ASSERT_TRUE(dialog_->runButton()->isEnabled());
        dialog_->runButton()->click();
    }

    testsupport::TempFolder folder_;
    FakeServices fakes_;
    std::shared_ptr<engine::Connection> connection_;
    std::unique_ptr<CExecuteQueryDlg> dialog_;
};

// Each row: the edit's text, the boxes shown, and a condition that must hold after.
struct RunCase {
    const char* name;
    const char* text;
    std::vector<std::string> boxes;
    const char* check;  // WHERE clause counted; expected count in `expected`
    long expected;
};

class ConsoleRuns : public ConsoleTest, public testing::WithParamInterface<RunCase> {};

TEST_P(ConsoleRuns, SplitRunAndReport) {
    const RunCase& c = GetParam();
    run(c.text);
    EXPECT_EQ(shownTexts(), c.boxes);
    EXPECT_EQ(count(c.check), c.expected);
    EXPECT_FALSE(dialog_->runButton()->isEnabled() && c.boxes.front() == "クエリ発行終了");
}

const char* const kDone = "クエリ発行終了";

INSTANTIATE_TEST_SUITE_P(
    Cases, ConsoleRuns,
    testing::Values(
        RunCase{"two_lines_one_statement", "DELETE FROM t_a\nWHERE ID = 1;", {kDone}, "ID = 1", 0},
        RunCase{"two_statements_one_line",
                "UPDATE t_a SET X = 1; UPDATE t_a SET Y = 2;",
                {kDone},
                "X = 1 AND Y = 2",
                2},
        RunCase{"no_semicolon",
                "UPDATE t_a SET X = 5",
                {"クエリの最後に「；」がありません"},
                "X = 5",
                0},
        RunCase{"trailing_blanks",
                "UPDATE t_a SET X = 6;\n   ",
                {"クエリの最後に「；」がありません"},
                "X = 6",
                0},
        RunCase{"comment_with_semicolon",
                "# UPDATE t_a SET X = 7; nothing\nUPDATE t_a SET Y = 3;",
                {kDone},
                "X = 7 OR Y <> 3",
                0},
        RunCase{"nothing", "\n\n", {"クエリを入力して下さい。"}, "ID > 0", 2}),
    [](const testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST_F(ConsoleTest, SecondOfThreeFailingRollsBackTheFirstButLogsIt) {
    run("UPDATE t_a SET X = 9;\n\nINSERT INTO t_a VALUES (1, 0, 0, 'dup');\nUPDATE t_a SET Y = 9;");
    const auto texts = shownTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find("Code : 0x80004005"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[1], "[ 3行目 ]\n INSERT INTO t_a VALUES (1, 0, 0, 'dup');");
    EXPECT_EQ(count("X = 9"), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(dialog_->LogFilePath()), "UPDATE t_a SET X = 9;\n");
    EXPECT_FALSE(dialog_->runButton()->isEnabled());
}

TEST_F(ConsoleTest, SemicolonInsideALiteralSplitsThere) {
    run("UPDATE t_a SET S = 'a;b' WHERE ID = 1;");
    const auto texts = shownTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], "[ 1行目 ]\nUPDATE t_a SET S = 'a;");
    EXPECT_EQ(count("S = 'a'"), 1);
}

TEST_F(ConsoleTest, LongLineRefusesTheRunAndNamesTheLine) {
    // The cut would end the first statement at byte 512 and run it, WHERE lost.
    std::string line = "UPDATE t_a SET S = 'x'";
    line += std::string(520 - line.size(), ' ') + "WHERE ID = 1;";
    run("UPDATE t_a SET X = 3;\n" + line);
    const auto texts = shownTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("[ 2行目 ]"), std::string::npos) << texts[0];
    EXPECT_EQ(count("S = 'x' OR X = 3"), 0);
}

// A NUL can only reach the edit by a paste; the whole run is refused, by the
// mouse as by any other way, and the line is named.
TEST_F(ConsoleTest, PastedNulRefusesTheWholeRunAndNamesTheLine) {
    dialog_->QDialog::show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    QPlainTextEdit* edit = dialog_->queryEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("UPDATE t_a SET X = 9;"));
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::clipboard()->setText(QStringLiteral("UPDATE t_a SET S = 'a") + QChar(0) +
                                       QStringLiteral("b' WHERE ID = 2;"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(edit->toPlainText().contains(QChar(0)));
    QTest::mouseClick(dialog_->runButton(), Qt::LeftButton);
    const auto texts = shownTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("[ 2行目 ]"), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find("NUL"), std::string::npos) << texts[0];
    EXPECT_EQ(count("X = 9"), 0);
    EXPECT_EQ(count("S = 'b'"), 1);
    EXPECT_TRUE(dialog_->runButton()->isEnabled());  // mend the line and run again
}

std::filesystem::perms PermissionsOf(const std::string& path) {
    return std::filesystem::status(path).permissions() & std::filesystem::perms::mask;
}

TEST_F(ConsoleTest, LogAndScratchFileLiveInTheStateFolderForTheUserAlone) {
    using std::filesystem::perms;
    const std::string log = stateFolder() + "VantolyPatch実行クエリ保存.txt";
    const std::string scratch = stateFolder() + "VantolyPatchクエリ.txt";
    dialog_->OnOpenLogFile();
    EXPECT_TRUE(fakes_.shell.Opened.empty());
    run("UPDATE t_a SET X = 1;");
    dialog_->OnOpenLogFile();
    EXPECT_EQ(fakes_.shell.Opened, std::vector<std::string>{log});
    EXPECT_EQ(testsupport::ReadFileBytes(log), "UPDATE t_a SET X = 1;\n");
    dialog_->OnOpenScratchFile();
    EXPECT_TRUE(std::filesystem::is_regular_file(scratch));
    EXPECT_EQ(fakes_.shell.Opened.back(), scratch);

    EXPECT_EQ(PermissionsOf(folder_.Folder() + "state"), perms::owner_all);
    EXPECT_EQ(PermissionsOf(stateFolder()), perms::owner_all);
    EXPECT_EQ(PermissionsOf(log), perms::owner_read | perms::owner_write);
    EXPECT_EQ(PermissionsOf(scratch), perms::owner_read | perms::owner_write);
}

TEST_F(ConsoleTest, ScratchFileThatCannotBeMadeIsSaidWithTheReason) {
    std::ofstream(folder_.Folder() + "state") << "a plain file where the state folder belongs";
    dialog_->OnOpenScratchFile();
    ASSERT_EQ(shownTexts().size(), 1u);
    EXPECT_NE(shownTexts()[0].find("ファイルを作成できませんでした：" + stateFolder() +
                                   "VantolyPatchクエリ.txt"),
              std::string::npos)
        << shownTexts()[0];
    EXPECT_NE(shownTexts()[0].find("Not a directory"), std::string::npos) << shownTexts()[0];
    EXPECT_TRUE(fakes_.shell.Opened.empty());
}

TEST_F(ConsoleTest, TemplatesAreShownThenCopied) {
    dialog_->OnDropConstraintTemplate();
    ASSERT_EQ(fakes_.messageBoxes.Shown().size(), 1u);
    EXPECT_EQ(fakes_.messageBoxes.Shown()[0].text,
              "ALTER TABLE [table_name] DROP CONSTRAINT [fk_index_name];");
    EXPECT_EQ(fakes_.messageBoxes.Shown()[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(fakes_.clipboard.Text(), "ALTER TABLE [table_name] DROP CONSTRAINT [fk_index_name];");
    dialog_->OnDropColumnTemplate();
    EXPECT_EQ(fakes_.clipboard.Text(), "ALTER TABLE [table_name] DROP COLUMN [column_name];");
}

TEST_F(ConsoleTest, ClosedSessionReportsAndReturnsToIdle) {
    connection_->Close();
    run("UPDATE t_a SET X = 1;");
    const auto texts = shownTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find("Code : 0x800a0e78"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[1], "[ 1行目 ]\nUPDATE t_a SET X = 1;");
}

// The console as the operator drives it: statements typed into the edit, the
// run button by mouse and by the space bar, every other button by mouse. The
// pointer stays the arrow.
TEST_F(ConsoleTest, TypedStatementsClicksAndKeys) {
    dialog_->QDialog::show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    QPlainTextEdit* edit = dialog_->queryEdit();
    auto button = [&](const char* id) {
        return dialog_->findChild<QPushButton*>(QString::fromUtf8(id));
    };
    EXPECT_FALSE(dialog_->runButton()->isEnabled());
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("UPDATE t_a SET X = 5"));
    QTest::keyClick(edit, Qt::Key_Return);  // a line break in the edit, not the run
    QTest::keyClicks(edit, QStringLiteral("WHERE ID = 1;"));
    EXPECT_EQ(count("X = 5"), 0);
    ASSERT_TRUE(dialog_->runButton()->isEnabled());
    QTest::mouseClick(dialog_->runButton(), Qt::LeftButton);
    EXPECT_EQ(count("X = 5"), 1);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"クエリ発行終了"});
    EXPECT_FALSE(dialog_->runButton()->isEnabled());

    fakes_.messageBoxes.Clear();
    QTest::keyClicks(edit, QStringLiteral(" UPDATE t_a SET Y = 7;"));
    QTest::keyClick(dialog_->runButton(), Qt::Key_Space);  // the focused button, by key
    EXPECT_EQ(count("Y = 7"), 2);

    const std::pair<const char*, const char*> templates[] = {
        {"1015", "ALTER TABLE [table_name] DROP COLUMN [column_name];"},
        {"1014", "ALTER TABLE [table_name] DROP CONSTRAINT [fk_index_name];"},
    };
    for (const auto& [id, text] : templates) {
        QTest::mouseClick(button(id), Qt::LeftButton);
        EXPECT_EQ(fakes_.clipboard.Text(), text);
    }
    QTest::mouseClick(button("1028"), Qt::LeftButton);  // the log, opened for the operator
    ASSERT_FALSE(fakes_.shell.Opened.empty());
    EXPECT_EQ(fakes_.shell.Opened.back(), dialog_->LogFilePath());
    QTest::mouseClick(button("1027"), Qt::LeftButton);
    EXPECT_EQ(fakes_.shell.Opened.back(), dialog_->ScratchFilePath());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QTest::mouseClick(button("2"), Qt::LeftButton);
    EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(ConsoleTest, RunButtonWaitsForAChange) {
    EXPECT_FALSE(dialog_->runButton()->isEnabled());
    run("UPDATE t_a SET X = 1;");
    EXPECT_FALSE(dialog_->runButton()->isEnabled());
    dialog_->queryEdit()->appendPlainText(QStringLiteral(" "));
    EXPECT_TRUE(dialog_->runButton()->isEnabled());
}

}  // namespace

// A statement that would run for ever is stopped from the window while it
// runs (中止, or Esc): everything the run did is rolled back, and the window
// is back to idle.
TEST_F(ConsoleTest, StopOrEscapeInterruptsARunningStatement) {
    connection_->Execute("CREATE TABLE t_big (n LONG)");
    for (int n = 0; n < 300; ++n)
        connection_->Execute("INSERT INTO t_big VALUES (" + std::to_string(n) + ")");
    const std::string script =
        "UPDATE t_a SET X = 5;\n"
        "SELECT COUNT(*) FROM t_big AS a, t_big AS b, t_big AS c, t_big AS d;\n";
    const std::function<void()> ways[] = {
        [this] { QTest::mouseClick(dialog_->stopButton(), Qt::LeftButton); },
        [this] { QTest::keyClick(dialog_.get(), Qt::Key_Escape); },
    };
    static_cast<QWidget*>(dialog_.get())->show();
    for (const auto& stop : ways) {
        bool stopWasOn = false;
        bool runWasOff = false;
        std::vector<std::string> pointer;
        fakes_.cursor.Shown.clear();
        QTimer::singleShot(300, dialog_.get(), [&] {
            pointer = fakes_.cursor.Shown;
            stopWasOn = dialog_->stopButton()->isEnabled();
            runWasOff = !dialog_->runButton()->isEnabled();
            stop();
        });
        run(script);
        EXPECT_TRUE(stopWasOn && runWasOff) << "the window while the statements ran";
        EXPECT_EQ(pointer, std::vector<std::string>{"wait"}) << "the pointer while they ran";
        EXPECT_EQ(fakes_.cursor.Shown, (std::vector<std::string>{"wait", "arrow"}));
        EXPECT_EQ(count("X = 5"), 0) << "the UPDATE before the stopped statement stayed";
        EXPECT_FALSE(dialog_->stopButton()->isEnabled());
        EXPECT_TRUE(dialog_->isVisible()) << "Esc closed the window instead of stopping";
        EXPECT_FALSE(shownTexts().empty());
        dialog_->queryEdit()->setPlainText(QString());  // a change lets 実行 run again
    }
}
