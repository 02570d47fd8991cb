// The viewer window, offscreen, on the main window's kind of session.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "platform/qt/QtServices.h"
#include "support/AwkwardNames.h"
#include "support/BehindTheEngine.h"
#include "support/FakeServices.h"
#include "support/FakeSessionWindow.h"
#include "support/TempFolder.h"
#include "viewer/ShowDatabaseDlg.h"
#include "widgets/ButtonST.h"

namespace {

using testsupport::FakeServices;

class ViewerTest : public testing::Test {
  protected:
    void SetUp() override {
        target_.PathName = folder_.Folder();
        target_.FileName = "db";
        target_.Extension = ".mdb";
        engine::CreateDatabase(target_.FilePath());
        session_.OpenDatabase(target_.PathName, target_.FileName, target_.Extension);
        ASSERT_TRUE(session_.Connected());
        fakes_.messageBoxes.Clear();  // the version probe's box: this database has no t_db_ver
    }

    void exec(const std::string& sql) { session_.Execute(sql); }

    std::unique_ptr<CShowDatabaseDlg> openViewer() {
        auto viewer = std::make_unique<CShowDatabaseDlg>(ViewerContext{
            session_, target_, fakes_.services, "VantolyPatch", [this] { ++mainShown_; }});
        viewer->OnInitDialog();
        return viewer;
    }

    std::vector<std::string> boxTexts() {
        std::vector<std::string> texts;
        for (const auto& b : fakes_.messageBoxes.Shown()) texts.push_back(b.text);
        return texts;
    }

    testsupport::TempFolder folder_;
    FakeServices fakes_;
    testsupport::FakeSessionWindow window_;
    host::TargetDatabase target_;
    db::DatabaseSession session_{window_, fakes_.messageBoxes,
                                 db::SessionTexts{"VantolyPatch", "2020/05/24"}};
    int mainShown_ = 0;
};

TEST_F(ViewerTest, GroupingListsTheNewestDatedTableAndHidesSystemTables) {
    for (const char* t :
         {"t_log_200101", "t_log_200315", "t_log_190101", "t_log_2001AB", "t_other"}) {
        exec(std::string("CREATE TABLE ") + t + " (ID LONG)");
    }
    auto viewer = openViewer();
    EXPECT_EQ(viewer->TableList(), (std::vector<std::string>{"t_log_200315", "t_other"}));
    viewer->groupCheck()->click();
    EXPECT_EQ(viewer->TableList(),
              (std::vector<std::string>{"t_log_190101", "t_log_200101", "t_log_2001AB",
                                        "t_log_200315", "t_other"}));
}

TEST_F(ViewerTest, RowLimitAndProgress) {
    exec("CREATE TABLE t_rows (ID LONG PRIMARY KEY, Name TEXT(10))");
    session_.SessionConnection()->BeginTrans();
    for (int i = 1; i <= 600; ++i)
        exec("INSERT INTO t_rows VALUES (" + std::to_string(i) + ", 'n" + std::to_string(i) + "')");
    session_.SessionConnection()->CommitTrans();
    auto viewer = openViewer();
    int maximum = -1, last = -1;
    QObject::connect(viewer->loadProgress(), &QProgressBar::valueChanged, [&](int v) {
        last = v;
        maximum = viewer->loadProgress()->maximum();
    });
    struct Case {
        const char* limit;
        std::size_t rows;
    } cases[] = {{"500", 500}, {"", 600}, {"0", 600}, {"7", 7}};
    ASSERT_TRUE(viewer->SelectTable("t_rows"));
    for (const auto& c : cases) {
        viewer->rowLimitEdit()->setText(QString::fromUtf8(c.limit));
        viewer->LoadGridRows();
        EXPECT_EQ(viewer->gridModel().rowCount(), c.rows) << c.limit;
        EXPECT_EQ(maximum, 600);
        EXPECT_EQ(last, static_cast<int>(c.rows));  // stops short of the end when limited
        EXPECT_FALSE(viewer->loadProgress()->isVisible());
    }
    EXPECT_EQ(boxTexts(), std::vector<std::string>{});
}

TEST_F(ViewerTest, GridCopyTextByteForByte) {
    exec("CREATE TABLE t_copy (ID LONG, Name TEXT(10), Amount CURRENCY, Flag YESNO)");
    exec("INSERT INTO t_copy VALUES (1, 'a', 1.25, True)");
    exec("INSERT INTO t_copy (ID) VALUES (2)");
    auto viewer = openViewer();
    ASSERT_TRUE(viewer->SelectTable("t_copy"));
    // A Yes/No field is never Null in Jet: the row given no flag holds False.
    EXPECT_EQ(viewer->GridText(), "ID\tName\tAmount\tFlag\t\n1\ta\t1.25\tTRUE\t\n2\t\t\tFALSE\t\n");
    viewer->OnGridCommand(CShowDatabaseDlg::kCopyGrid);
    EXPECT_EQ(fakes_.clipboard.Text(), viewer->GridText());
    // The check box empties the grid but leaves the old columns.
    viewer->groupCheck()->click();
    EXPECT_EQ(viewer->gridModel().rowCount(), 0u);
    EXPECT_EQ(viewer->gridModel().headings().size(), 4u);
}

// A field name no bracket can hold ("." reads as a qualifier in Jet), left
// by another tool: the load says which name and why, and runs nothing.
TEST_F(ViewerTest, AFieldNameNoStatementCanHoldIsNamedInABox) {
    exec("CREATE TABLE t_dot (ID LONG, ab LONG)");
    testsupport::RenameFieldBehindTheEngine(target_.FilePath(), "t_dot", "ab", "a.b");
    auto viewer = openViewer();
    fakes_.messageBoxes.Clear();
    ASSERT_TRUE(viewer->SelectTable("t_dot"));
    ASSERT_EQ(boxTexts(), std::vector<std::string>{
                              "the name \"a.b\" cannot be used in a statement: a name cannot "
                              "hold \".\""});
    EXPECT_EQ(fakes_.messageBoxes.Shown()[0].caption, "データベース");
    EXPECT_EQ(fakes_.messageBoxes.Shown()[0].icon, platform::MessageIcon::Stop);
    EXPECT_EQ(viewer->gridModel().rowCount(), 0u);
}

// Names that work only in brackets: the list shows each as it is, its grid
// loads its fields and row, and its creation statement names it.
TEST_F(ViewerTest, TablesWhoseNamesNeedBracketsLoadByTheirOwnNames) {
    testsupport::AddAwkwardTables(*session_.SessionConnection());
    auto viewer = openViewer();
    const std::vector<std::string> listed = viewer->TableList();
    for (const testsupport::AwkwardTable& table : testsupport::kAwkwardTables) {
        SCOPED_TRACE(table.name);
        EXPECT_NE(std::find(listed.begin(), listed.end(), table.name), listed.end());
        fakes_.messageBoxes.Clear();
        ASSERT_TRUE(viewer->SelectTable(table.name));
        std::string headings, row;
        for (std::size_t at = 0; at < table.fields.size(); ++at) {
            headings += table.fields[at] + "\t";
            row += table.row[at] + "\t";
        }
        EXPECT_EQ(viewer->GridText(), headings + "\n" + row + "\n");
        viewer->OnGridCommand(CShowDatabaseDlg::kCreateTableQuery);
        EXPECT_TRUE(fakes_.clipboard.Text().starts_with("CREATE TABLE [" + table.name + "] (\r\n[" +
                                                        table.fields[0] + "]\t"))
            << fakes_.clipboard.Text();
        // Only the statement's own box: no failure.
        EXPECT_EQ(boxTexts(), std::vector<std::string>{fakes_.clipboard.Text()});
    }
}

TEST_F(ViewerTest, ASecondLoadOrClosingInterruptsARunningLoad) {
    exec("CREATE TABLE t_big (ID LONG PRIMARY KEY)");
    session_.SessionConnection()->BeginTrans();
    for (int i = 1; i <= 10000; ++i) exec("INSERT INTO t_big VALUES (" + std::to_string(i) + ")");
    session_.SessionConnection()->CommitTrans();
    auto viewer = openViewer();
    viewer->rowLimitEdit()->setText(QString());
    // While the first load pumps its messages, the operator limits and reloads.
    bool reloaded = false;
    fakes_.messagePump.OnPump = [&](int) {
        if (reloaded) return;
        reloaded = true;
        viewer->rowLimitEdit()->setText(QStringLiteral("3"));
        viewer->LoadGridRows();
    };
    ASSERT_TRUE(viewer->SelectTable("t_big"));
    EXPECT_TRUE(reloaded);
    EXPECT_EQ(viewer->gridModel().rowCount(), 3u);
    // Closing during a load stops it, then closes and shows the main window.
    fakes_.messagePump.OnPump = [&](int) { viewer->reject(); };
    viewer->show();
    viewer->rowLimitEdit()->setText(QString());
    viewer->LoadGridRows();
    EXPECT_LT(viewer->gridModel().rowCount(), 10000u);
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_EQ(mainShown_, 1);
}

// What a person does at the table list, and the table whose columns and rows
// the grid must show afterwards. Each table has a column named after it and
// as many rows as its number.
TEST_F(ViewerTest, ClicksAndKeysInTheTableListLoadTheChosenTable) {
    for (int t = 1; t <= 4; ++t) {
        const std::string n = std::to_string(t);
        exec("CREATE TABLE t_" + n + " (c_" + n + " LONG, other LONG)");
        for (int r = 0; r < t; ++r)
            exec("INSERT INTO t_" + n + " VALUES (" + std::to_string(r) + ", 0)");
    }
    platform::QtCursor pointer;
    platform::Services services = testsupport::WithCursor(fakes_, pointer);
    CShowDatabaseDlg viewer(ViewerContext{session_, target_, services, "VantolyPatch", {}});
    viewer.OnInitDialog();
    viewer.show();
    QListWidget* list = viewer.tableList();
    ASSERT_EQ(viewer.TableList(), (std::vector<std::string>{"t_1", "t_2", "t_3", "t_4"}));
    EXPECT_EQ(viewer.gridModel().headings().size(), 0u);  // nothing chosen yet
    auto click = [&](int row) {
        QListWidgetItem* item = list->item(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int table;
    } steps[] = {
        {"click the third", [&] { click(2); }, 3},
        {"click the first", [&] { click(0); }, 1},
        {"down arrow", [&] { QTest::keyClick(list, Qt::Key_Down); }, 2},
        {"end", [&] { QTest::keyClick(list, Qt::Key_End); }, 4},
        {"up arrow", [&] { QTest::keyClick(list, Qt::Key_Up); }, 3},
        {"home", [&] { QTest::keyClick(list, Qt::Key_Home); }, 1},
        {"a new row, then a click on the selected table",
         [&] {
             exec("INSERT INTO t_1 VALUES (9, 9)");
             click(0);
         },
         1},
    };
    int extraRows = 0;
    for (const Step& step : steps) {
        fakes_.messageBoxes.Clear();
        step.act();
        if (std::string(step.what).starts_with("a new row")) extraRows = 1;
        const std::string column = "c_" + std::to_string(step.table);
        ASSERT_FALSE(viewer.gridModel().headings().empty()) << step.what;
        EXPECT_EQ(viewer.gridModel().headings().front(), column) << step.what;
        EXPECT_EQ(viewer.gridModel().rowCount(), static_cast<std::size_t>(step.table + extraRows))
            << step.what;
        EXPECT_EQ(viewer.grid()->model()->headerData(0, Qt::Horizontal).toString().toStdString(),
                  column);
        EXPECT_EQ(boxTexts(), std::vector<std::string>{}) << step.what;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << step.what;
    }
    // The reload button reads the same selection.
    exec("INSERT INTO t_1 VALUES (10, 10)");
    QTest::mouseClick(viewer.reloadButton(), Qt::LeftButton);
    EXPECT_EQ(viewer.gridModel().rowCount(), 3u);
    // A row limit typed over the old one, then the reload button.
    QTest::keyClick(viewer.rowLimitEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(viewer.rowLimitEdit(), QStringLiteral("2x"));  // the x is refused: digits only
    EXPECT_EQ(viewer.rowLimitEdit()->text().toStdString(), "2");
    QTest::mouseClick(viewer.reloadButton(), Qt::LeftButton);
    EXPECT_EQ(viewer.gridModel().rowCount(), 2u);
    // The export button asks for the folder (cancelled here) and gives the controls back.
    QTest::mouseClick(viewer.exportButton(), Qt::LeftButton);
    EXPECT_EQ(fakes_.shell.BrowseTitles.size(), 1u);
    EXPECT_TRUE(viewer.exportButton()->isEnabled());
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"出力先フォルダを選択してください。"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QTest::mouseClick(viewer.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(viewer.isVisible());
}

// A load cut short by the operator: the bar goes away and the pointer is the
// arrow, whatever interrupted it.
TEST_F(ViewerTest, AnInterruptedLoadLeavesNoBarAndNoWaitCursor) {
    exec("CREATE TABLE t_big (ID LONG PRIMARY KEY)");
    exec("CREATE TABLE t_small (ID LONG PRIMARY KEY)");
    session_.SessionConnection()->BeginTrans();
    for (int i = 1; i <= 10000; ++i) exec("INSERT INTO t_big VALUES (" + std::to_string(i) + ")");
    session_.SessionConnection()->CommitTrans();
    platform::QtCursor pointer;
    platform::Services services = testsupport::WithCursor(fakes_, pointer);
    CShowDatabaseDlg viewer(ViewerContext{session_, target_, services, "VantolyPatch", {}});
    viewer.OnInitDialog();
    viewer.show();
    viewer.rowLimitEdit()->setText(QString());
    QListWidget* list = viewer.tableList();
    auto rectOf = [&](const char* table) {
        return list
            ->visualItemRect(list->findItems(QString::fromUtf8(table), Qt::MatchExactly).front())
            .center();
    };
    struct Case {
        const char* interruption;
        std::function<void()> act;
    } cases[] = {
        {"the grouping check box", [&] { QTest::mouseClick(viewer.groupCheck(), Qt::LeftButton); }},
        {"another table",
         [&] { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rectOf("t_small")); }},
    };
    for (const Case& c : cases) {
        bool interrupted = false;
        bool barShownMeanwhile = false;
        fakes_.messagePump.OnPump = [&](int) {
            if (std::exchange(interrupted, true)) return;
            barShownMeanwhile = viewer.loadProgress()->isVisible();
            c.act();
        };
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rectOf("t_big"));
        EXPECT_TRUE(interrupted) << c.interruption;
        EXPECT_TRUE(barShownMeanwhile) << c.interruption;
        EXPECT_LT(viewer.gridModel().rowCount(), 10000u) << c.interruption;
        EXPECT_FALSE(viewer.loadProgress()->isVisible()) << c.interruption;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.interruption;
        fakes_.messagePump.OnPump = nullptr;
        if (!viewer.groupCheck()->isChecked())
            QTest::mouseClick(viewer.groupCheck(), Qt::LeftButton);
    }
    EXPECT_EQ(boxTexts(), std::vector<std::string>{});
}

// The grid menu as a person opens it: a right click in the grid, then the
// arrow keys and Enter in the menu.
TEST_F(ViewerTest, GridMenuByRightClickAndKeys) {
    exec("CREATE TABLE t_menu (ID LONG PRIMARY KEY, Name TEXT(10))");
    exec("INSERT INTO t_menu VALUES (1, 'a')");
    auto viewer = openViewer();
    viewer->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer.get()));
    QListWidget* list = viewer->tableList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(viewer->gridModel().rowCount(), 1u);
    struct Case {
        int downs;  // key presses down from the menu's first entry
        const char* clipboard;
    } cases[] = {
        {0, "ID\tName\t\n1\ta\t\n"},
        {1, "CREATE TABLE [t_menu] (\r\n"},
    };
    for (const Case& c : cases) {
        fakes_.clipboard.SetText("");
        QStringList entries;
        QTimer::singleShot(0, [&] {
            QWidget* popup = QApplication::activePopupWidget();
            ASSERT_NE(popup, nullptr);
            for (QAction* a : static_cast<QMenu*>(popup)->actions()) entries << a->text();
            QTest::keyClick(popup, Qt::Key_Down);  // the first entry
            for (int i = 0; i < c.downs; ++i) QTest::keyClick(popup, Qt::Key_Down);
            QTest::keyClick(popup, Qt::Key_Return);
        });
        const QPoint inGrid = viewer->grid()->viewport()->mapTo(viewer.get(), QPoint(20, 40));
        QTest::mouseClick(viewer->windowHandle(), Qt::RightButton, {}, inGrid);
        EXPECT_EQ(entries, (QStringList{QStringLiteral("クリップボードに貼り付け"), QString(),
                                        QStringLiteral("テーブル作成クエリ")}));
        EXPECT_TRUE(fakes_.clipboard.Text().starts_with(c.clipboard)) << fakes_.clipboard.Text();
    }
}

TEST_F(ViewerTest, KeysAndTheDefaultButton) {
    auto viewer = openViewer();
    viewer->show();
    QSignalSpy closeClicks(viewer->closeButton(), &QPushButton::clicked);
    QSignalSpy exportClicks(viewer->exportButton(), &QPushButton::clicked);
    fakes_.shell.Folders.push_back(std::nullopt);  // F7: the export's folder dialog is cancelled
    QKeyEvent f7(QEvent::KeyPress, Qt::Key_F7, Qt::NoModifier);
    QApplication::sendEvent(viewer.get(), &f7);
    EXPECT_EQ(exportClicks.count(), 1);
    EXPECT_TRUE(viewer->exportButton()->isEnabled());  // re-enabled after the export
    EXPECT_TRUE(viewer->closeButton()->isDefault());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(viewer.get(), &enter);
    EXPECT_EQ(closeClicks.count(), 1);
    EXPECT_FALSE(viewer->isVisible());
}

}  // namespace
