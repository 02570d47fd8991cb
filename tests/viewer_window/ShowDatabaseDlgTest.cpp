// The viewer window, offscreen, on the main window's kind of session.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableView>

#include "app/ButtonST.h"
#include "support/FakeServices.h"
#include "support/FakeSessionWindow.h"
#include "support/TempFolder.h"
#include "viewer/ShowDatabaseDlg.h"

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
        auto viewer = std::make_unique<CShowDatabaseDlg>(
            ViewerContext{session_, target_, fakes_.services, "VantolyPatch", [this] { ++mainShown_; }});
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
    db::DatabaseSession session_{window_, fakes_.messageBoxes, db::SessionTexts{"VantolyPatch", "2020/05/24"}};
    int mainShown_ = 0;
};

TEST_F(ViewerTest, GroupingListsTheNewestDatedTableAndHidesSystemTables) {
    for (const char* t : {"t_log_200101", "t_log_200315", "t_log_190101", "t_log_2001AB", "t_other"}) {
        exec(std::string("CREATE TABLE ") + t + " (ID LONG)");
    }
    auto viewer = openViewer();
    EXPECT_EQ(viewer->TableList(), (std::vector<std::string>{"t_log_200315", "t_other"}));
    viewer->groupCheck()->click();
    EXPECT_EQ(viewer->TableList(), (std::vector<std::string>{"t_log_190101", "t_log_200101", "t_log_2001AB",
                                                              "t_log_200315", "t_other"}));
}

TEST_F(ViewerTest, RowLimitAndProgress) {
    exec("CREATE TABLE t_rows (ID LONG PRIMARY KEY, Name TEXT(10))");
    session_.SessionConnection()->BeginTrans();
    for (int i = 1; i <= 600; ++i) exec("INSERT INTO t_rows VALUES (" + std::to_string(i) + ", 'n" + std::to_string(i) + "')");
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
    EXPECT_EQ(viewer->GridText(), "ID\tName\tAmount\tFlag\t\n1\ta\t1.25\tTRUE\t\n2\t\t\t\t\n");
    viewer->OnGridCommand(CShowDatabaseDlg::kCopyGrid);
    EXPECT_EQ(fakes_.clipboard.Text(), viewer->GridText());
    // The check box empties the grid but leaves the old columns.
    viewer->groupCheck()->click();
    EXPECT_EQ(viewer->gridModel().rowCount(), 0u);
    EXPECT_EQ(viewer->gridModel().headings().size(), 4u);
}

TEST_F(ViewerTest, FailingLoadsShowTheErrorAndTheStatement) {
    exec("CREATE TABLE t_blank (ID LONG, [my col] LONG)");
    auto viewer = openViewer();
    struct Case {
        const char* table;
        const char* statement;
    } cases[] = {{"t_blank", "SELECT TOP 500 ID,my col FROM t_blank ;"}};
    for (const auto& c : cases) {
        fakes_.messageBoxes.Clear();
        ASSERT_TRUE(viewer->SelectTable(c.table));
        const auto texts = boxTexts();
        ASSERT_EQ(texts.size(), 2u) << c.table;
        EXPECT_NE(texts[0].find("Code : 0x80040e10"), std::string::npos) << texts[0];
        EXPECT_EQ(texts[1], c.statement);
        EXPECT_EQ(fakes_.messageBoxes.Shown()[1].caption, "データベース");
        EXPECT_EQ(fakes_.messageBoxes.Shown()[1].icon, platform::MessageIcon::Stop);
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
