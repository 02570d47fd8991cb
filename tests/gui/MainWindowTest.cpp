// The main window built for real offscreen, with the platform fakes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <filesystem>
#include <fstream>

#include "engine/Engine.h"
#include "gui/VantolyPatchApp.h"
#include "gui/VantolyPatchDlg.h"
#include "host/HostGuard.h"
#include "host/TargetDatabaseLocation.h"
#include "platform/DatabaseLock.h"
#include "platform/qt/QtServices.h"
#include "platform/qt/WindowFrame.h"
#include "support/FakeServices.h"
#include "support/FileContent.h"
#include "support/SampleDatabase.h"
#include "support/TempFolder.h"

// The window's icons live in a static library's resources.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

[[maybe_unused]] const bool resourcesReady = (initResources(), true);

using testsupport::FakeServices;
using testsupport::TempFolder;

class MainWindowTest : public testing::Test {
  protected:
    // A registry entry naming `name` in the temporary folder.
    void pointRegistryAt(const std::string& name, const std::string& password = "") {
        fakes_.registry.SetValue(host::kDatabaseKey, "FileName", name);
        fakes_.registry.SetValue(host::kDatabaseKey, "PathName", folder_.Folder());
        fakes_.registry.SetValue(host::kDatabaseKey, "Password", password);
    }

    std::unique_ptr<CVantolyPatchDlg> openWindow() {
        auto dialog = std::make_unique<CVantolyPatchDlg>(fakes_.services, "VantolyPatch");
        dialog->OnInitDialog();
        return dialog;
    }

    void createDatabase(const std::string& file) {
        engine::CreateDatabase(folder_.Folder() + file);
        auto c = engine::Connection::create();
        c->Open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + folder_.Folder() + file +
                ";Jet OLEDB:Database Password='';");
        c->Execute("CREATE TABLE t_db_ver (DBVerID LONG PRIMARY KEY, DBVerCode CURRENCY)");
        c->Execute("INSERT INTO t_db_ver VALUES (25, 1.25)");
    }

    TempFolder folder_;
    FakeServices fakes_;
};

TEST_F(MainWindowTest, ListShowsTheSixRowsWithoutAHeader) {
    auto dialog = openWindow();
    QTreeWidget* list = dialog->contentList();
    ASSERT_EQ(list->topLevelItemCount(), 6);
    const char* rows[] = {"",
                          "**** 更新内容 (2020/05/24 更新) ****",
                          "------------------------------------------------",
                          "",
                          "１．マイレージデータ追加",
                          ""};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(list->topLevelItem(i)->text(0).toStdString(), rows[i]) << i;
    EXPECT_TRUE(list->isHeaderHidden());
    EXPECT_EQ(list->columnWidth(0), 400);
    EXPECT_FALSE(dialog->progressBar()->isVisibleTo(dialog.get()));
    EXPECT_EQ(dialog->restoreButton()->text().toStdString(), "バックアップ\nファイルを戻す");
    EXPECT_EQ(dialog->updateButton()->toolTip().toStdString(), "データベース更新");
    EXPECT_EQ(dialog->restoreButton()->toolTip().toStdString(), "元に戻す");
}

// Each row: what the registry names, the title, and the enabled states.
struct StartCase {
    const char* name;
    const char* file;  // created in the folder: "" none, "*.mdb" a database, "*.bad" garbage
    const char* title;
    bool update;
    bool tools;  // menu items 32 and 48
    const char* version;
};

class StartStates : public MainWindowTest, public testing::WithParamInterface<StartCase> {};

TEST_P(StartStates, TitleAndControls) {
    const StartCase& c = GetParam();
    const std::string file = c.file;
    if (file == "db.mdb") {
        createDatabase(file);
        pointRegistryAt("db");
    } else if (file == "db.accdb") {
        createDatabase(file);
        pointRegistryAt("db");
    } else if (file == "bad.mdb") {
        std::ofstream(folder_.Folder() + file) << "not a database";
        pointRegistryAt("bad");
    }
    auto dialog = openWindow();
    EXPECT_EQ(dialog->windowTitle().toStdString(), c.title);
    EXPECT_EQ(dialog->updateButton()->isEnabled(), c.update);
    EXPECT_EQ(dialog->menuAction(CVantolyPatchDlg::kViewerId)->isEnabled(), c.tools);
    EXPECT_EQ(dialog->menuAction(CVantolyPatchDlg::kConsoleId)->isEnabled(), c.tools);
    EXPECT_TRUE(dialog->menuAction(CVantolyPatchDlg::kAboutId)->isEnabled());
    EXPECT_EQ(dialog->versionEdit()->text().toStdString(), c.version);
    EXPECT_FALSE(dialog->restoreButton()->isEnabled());
    EXPECT_TRUE(fakes_.messageBoxes.Shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartStates,
    testing::Values(
        StartCase{"no_registry_entry", "", "データベースが選択されてません", false, false, ""},
        StartCase{"failed_open", "bad.mdb", "データベース接続に失敗しました - 対象DB名 ･･･ bad.mdb",
                  false, true, ""},
        StartCase{"good_open", "db.mdb", "データベース更新(2020/05/24)", true, true, "ver.1.25"},
        StartCase{"good_open_accdb", "db.accdb", "データベース更新(2020/05/24)", true, true,
                  "ver.1.25"}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, BackupFolderIsMadeAndTheRestoreButtonFollowsTheBackupFile) {
    createDatabase("db.mdb");
    pointRegistryAt("db");
    auto dialog = openWindow();
    const std::string backupFolder = folder_.Folder() + "データベース更新前データ/";
    EXPECT_TRUE(std::filesystem::is_directory(backupFolder));
    EXPECT_FALSE(dialog->restoreButton()->isEnabled());
    std::ofstream(backupFolder + "dbver_1_25backup.mdb") << "x";
    dialog->RefreshControlState(db::ControlState::Idle);
    EXPECT_TRUE(dialog->restoreButton()->isEnabled());
    dialog->RefreshControlState(db::ControlState::Busy);
    EXPECT_FALSE(dialog->restoreButton()->isEnabled());
    EXPECT_FALSE(dialog->updateButton()->isEnabled());
}

TEST_F(MainWindowTest, BusyWindowRefusesEveryWayOfClosing) {
    createDatabase("db.mdb");
    pointRegistryAt("db");
    auto dialog = openWindow();
    dialog->show();
    ASSERT_NE(dialog->windowHandle(), nullptr);
    EXPECT_TRUE(platform::CloseAllowed(*dialog));
    const WId shownWindow = dialog->winId();
    dialog->RefreshControlState(db::ControlState::Busy);
    // The title bar's close button goes grey; the window stays shown, the same native window.
    EXPECT_FALSE(platform::CloseAllowed(*dialog));
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog->winId(), shownWindow);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->closeAction()->isEnabled());
    EXPECT_FALSE(dialog->menuAction(CVantolyPatchDlg::kViewerId)->isEnabled());
    EXPECT_FALSE(dialog->close());  // the close button
    dialog->reject();               // Escape
    EXPECT_TRUE(dialog->isVisible());
    dialog->RefreshControlState(db::ControlState::Idle);
    EXPECT_TRUE(platform::CloseAllowed(*dialog));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->closeAction()->isEnabled());
    EXPECT_TRUE(dialog->close());
}

// Every way an update or a restore started by a click can end, and the
// pointer over the idle window afterwards: the real Qt cursor is read back.
struct PointerCase {
    const char* name;
    const char*
        database;  // "sample" (1.25 host), "bare" (only t_db_ver 1.25), "v126", "no_version"
    bool hostRunning;
    std::vector<platform::MessageAnswer> answers;
    bool pumpThrows;      // an error no step expects, from inside the update
    const char* lastBox;  // a part of the last box's text
};

class PointerAfterEveryPath : public MainWindowTest,
                              public testing::WithParamInterface<PointerCase> {};

TEST_P(PointerAfterEveryPath, IsTheArrowOverTheIdleWindow) {
    using enum platform::MessageAnswer;
    const PointerCase& c = GetParam();
    const std::string database = c.database;
    if (database == "sample") {
        static testsupport::TempFolder built;
        static const bool ready =
            (testsupport::BuildSampleDatabase(built.Folder() + "host.mdb"), true);
        ASSERT_TRUE(ready);
        std::filesystem::copy_file(built.Folder() + "host.mdb", folder_.Folder() + "db.mdb");
    } else {
        createDatabase("db.mdb");
        auto connection = engine::Connection::create();
        connection->Open(testsupport::JetConnectionText(folder_.Folder() + "db.mdb"));
        if (database == "v126") connection->Execute("INSERT INTO t_db_ver VALUES (26, 1.26)");
        if (database == "no_version") connection->Execute("DROP TABLE t_db_ver");
        connection->Close();
    }
    pointRegistryAt("db");
    if (c.hostRunning) fakes_.hostWindows.OpenClasses.insert(host::kHostWindowClass);
    fakes_.fileCopier.CopyForReal = true;
    if (c.pumpThrows) fakes_.messagePump.OnRepaint = [](int) { throw std::runtime_error("pump"); };
    platform::QtCursor pointer;
    platform::Services services = testsupport::WithCursor(fakes_, pointer);
    CVantolyPatchDlg dialog(services, "VantolyPatch");
    dialog.OnInitDialog();
    std::string report;
    dialog.updateReportPresenter = [&](const std::string& text) { report = text; };
    dialog.show();
    fakes_.messageBoxes.Clear();
    for (platform::MessageAnswer answer : c.answers) fakes_.messageBoxes.ScriptAnswers({answer});
    QTest::mouseClick(dialog.updateButton(), Qt::LeftButton);

    ASSERT_FALSE(fakes_.messageBoxes.Shown().empty());
    EXPECT_NE(fakes_.messageBoxes.Shown().back().text.find(c.lastBox), std::string::npos)
        << fakes_.messageBoxes.Shown().back().text;
    EXPECT_EQ(fakes_.messageBoxes.UnusedAnswers(), 0u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor stayed on";
    EXPECT_FALSE(dialog.busy());
    EXPECT_FALSE(dialog.progressBar()->isVisible());

    // The restore, declined and then done, from the same idle window.
    if (!dialog.restoreButton()->isEnabled()) return;
    for (platform::MessageAnswer answer : {No, Yes}) {
        fakes_.messageBoxes.Clear();
        fakes_.messageBoxes.ScriptAnswers({answer});
        QTest::mouseClick(dialog.restoreButton(), Qt::LeftButton);
        EXPECT_EQ(fakes_.messageBoxes.UnusedAnswers(), 0u);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "after the restore";
        EXPECT_FALSE(dialog.busy());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PointerAfterEveryPath,
    testing::Values(
        PointerCase{
            "host_kept_open", "bare", true, {platform::MessageAnswer::No}, false, "終了しますか？"},
        PointerCase{"backup_declined",
                    "bare",
                    false,
                    {platform::MessageAnswer::No},
                    false,
                    "バックアップファイルを作成してもよろしいですか？"},
        PointerCase{"update_declined",
                    "bare",
                    false,
                    {platform::MessageAnswer::Yes, platform::MessageAnswer::No},
                    false,
                    "更新してもよろしいですか？"},
        PointerCase{"other_version", "v126", false, {}, false, "「 1.26 」です。"},
        PointerCase{"version_unreadable",
                    "no_version",
                    false,
                    {},
                    false,
                    "SELECT MAX(DBVerCode) AS MaxDBVerCode FROM t_db_ver;"},
        PointerCase{"statement_fails",
                    "bare",
                    false,
                    {platform::MessageAnswer::Yes, platform::MessageAnswer::Yes},
                    false,
                    "Cannot find table 't_kumiai'."},
        PointerCase{"unexpected_error",
                    "sample",
                    false,
                    {platform::MessageAnswer::Yes, platform::MessageAnswer::Yes},
                    true,
                    "ErrorLog :\npump"},
        PointerCase{"success",
                    "sample",
                    false,
                    {platform::MessageAnswer::Yes, platform::MessageAnswer::Yes},
                    false,
                    "更新終了致しました"}),
    [](const testing::TestParamInfo<PointerCase>& info) { return std::string(info.param.name); });

// The menu as a person reaches it: a click on the menu bar, Alt+M,
// Alt+Space and a right click anywhere in the window; each entry chosen by
// keys or by mouse. The About box is closed by a click on its OK button.
TEST_F(MainWindowTest, MenuByMouseByKeysAndByRightClick) {
    createDatabase("db.mdb");
    pointRegistryAt("db");
    auto dialog = openWindow();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QApplication::setActiveWindow(dialog.get());
    int viewer = 0, console = 0, about = 0;
    dialog->viewerCommand = [&] { ++viewer; };
    dialog->consoleCommand = [&] { ++console; };
    QMenuBar* bar = dialog->findChild<QMenuBar*>(QStringLiteral("systemMenuBar"));
    ASSERT_NE(bar, nullptr);

    const std::function<void()> openings[] = {
        [&] {
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              bar->actionGeometry(dialog->systemMenu()->menuAction()).center());
        },
        [&] { QTest::keyClick(dialog->windowHandle(), Qt::Key_M, Qt::AltModifier); },
        [&] { QTest::keyClick(dialog->windowHandle(), Qt::Key_Space, Qt::AltModifier); },
        [&] {
            const QPoint inList = dialog->contentList()->mapTo(dialog.get(), QPoint(30, 30));
            QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, {}, inList);
        },
    };
    auto chooseByKeys = [](QMenu* menu, QAction* target) {
        for (int i = 0; i < 10 && menu->activeAction() != target; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    };
    auto chooseByMouse = [](QMenu* menu, QAction* target) {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(target).center());
    };
    const std::function<void(QMenu*, QAction*)> choosings[] = {chooseByKeys, chooseByMouse};
    int expected = 0;
    int opening = 0;
    for (const auto& open : openings) {
        ++opening;
        for (const auto& choose : choosings) {
            for (int id : {int(CVantolyPatchDlg::kViewerId), int(CVantolyPatchDlg::kConsoleId),
                           int(CVantolyPatchDlg::kAboutId)}) {
                dialog->activateWindow();  // as the window manager gives it back after a popup
                ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
                open();
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                ASSERT_EQ(menu, dialog->systemMenu())
                    << "the menu did not open, way " << opening << ", entry " << id;
                if (id == CVantolyPatchDlg::kAboutId) {
                    QTimer::singleShot(0, [&] {
                        auto* box = dynamic_cast<CAboutDlg*>(QApplication::activeModalWidget());
                        ASSERT_NE(box, nullptr);
                        ++about;
                        QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("1")),
                                          Qt::LeftButton);
                    });
                }
                choose(menu, dialog->menuAction(id));
                EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
            }
            ++expected;
            EXPECT_EQ(viewer, expected);
            EXPECT_EQ(console, expected);
            EXPECT_EQ(about, expected);
        }
    }
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(fakes_.messageBoxes.Shown().empty());
}

TEST_F(MainWindowTest, MenuCommandsReachTheirHandlers) {
    auto dialog = openWindow();
    int viewer = 0;
    dialog->viewerCommand = [&] { ++viewer; };
    dialog->OnSysCommand(CVantolyPatchDlg::kViewerId | 0x000F);  // low four bits are ignored
    EXPECT_EQ(viewer, 1);
    QStringList texts;
    for (QAction* a : dialog->systemMenu()->actions()) texts << a->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("バージョン情報 VantolyPatch(&A)...")));
    EXPECT_TRUE(texts.contains(QStringLiteral("データベース表示")));
    EXPECT_TRUE(texts.contains(QStringLiteral("クエリ発行")));
}

TEST_F(MainWindowTest, SecondCopyIsRefusedWithItsMessage) {
    fakes_.instanceLock.NextResult = platform::InstanceLock::Result::HeldElsewhere;
    CVantolyPatchApp app(fakes_.services, "VantolyPatch");
    bool ran = false;
    EXPECT_EQ(app.Run({},
                      [&](CVantolyPatchDlg&) {
                          ran = true;
                          return 0;
                      }),
              1);
    EXPECT_FALSE(ran);
    ASSERT_EQ(fakes_.messageBoxes.Shown().size(), 1u);
    EXPECT_EQ(fakes_.messageBoxes.Shown()[0].text, "すでに起動されています");
}

// The window changes the database it shows: it holds that database's lock
// while open, and does not open while another run holds it (a box names
// that run).
TEST_F(MainWindowTest, WindowHoldsTheLockOfItsDatabase) {
    createDatabase("db.mdb");
    pointRegistryAt("db");
    const std::string lockFile = platform::DatabaseLockPath(folder_.Folder() + "db.mdb");
    CVantolyPatchApp app(fakes_.services, "VantolyPatch");
    EXPECT_EQ(app.Run({},
                      [&](CVantolyPatchDlg&) {
                          EXPECT_EQ(testsupport::ReadFileBytes(lockFile),
                                    std::to_string(::getpid()) + " window\n");
                          return 0;
                      }),
              0);
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "released with the window";

    // Another open file of the lock conflicts as another process's would.
    testsupport::WriteFileBytes(lockFile, "4242 update\n");
    const int held = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    bool ran = false;
    EXPECT_EQ(app.Run({},
                      [&](CVantolyPatchDlg&) {
                          ran = true;
                          return 0;
                      }),
              1);
    ::close(held);
    EXPECT_FALSE(ran);
    ASSERT_EQ(fakes_.messageBoxes.Shown().size(), 1u);
    EXPECT_NE(fakes_.messageBoxes.Shown()[0].text.find("VantolyPatch update (pid 4242)"),
              std::string::npos)
        << fakes_.messageBoxes.Shown()[0].text;
    EXPECT_FALSE(fakes_.instanceLock.Held) << "the single-instance lock goes too";
}

TEST_F(MainWindowTest, LockIsReleasedAfterTheRun) {
    CVantolyPatchApp app(fakes_.services, "VantolyPatch");
    EXPECT_EQ(app.Run({}, [&](CVantolyPatchDlg&) { return 0; }), 0);
    EXPECT_EQ(fakes_.instanceLock.AcquiredNames, std::vector<std::string>{"VantolyPatchInstance"});
    EXPECT_FALSE(fakes_.instanceLock.Held);
}

TEST_F(MainWindowTest, RendersGreenFieldsAndTheListRows) {
    createDatabase("db.mdb");
    pointRegistryAt("db");
    auto dialog = openWindow();
    dialog->show();
    QApplication::processEvents();
    const QImage image = dialog->grab().toImage();
    if (const char* out = std::getenv("VANTOLY_SCREENSHOT")) image.save(QString::fromUtf8(out));
    auto greenPixels = [&](QWidget* w) {
        const QRect r(w->mapTo(dialog.get(), QPoint(0, 0)), w->size());
        int green = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (image.pixelColor(x, y) == QColor(192, 255, 192)) ++green;
            }
        }
        return green * 100 / (r.width() * r.height());
    };
    for (QLineEdit* e :
         {dialog->pathEdit(), dialog->fileEdit(), dialog->extensionEdit(), dialog->versionEdit()}) {
        EXPECT_GT(greenPixels(e), 40) << e->objectName().toStdString();
    }
    // The heading row is drawn: dark pixels in the list's second row.
    QTreeWidget* list = dialog->contentList();
    const QRect row = list->visualItemRect(list->topLevelItem(1))
                          .translated(list->viewport()->mapTo(dialog.get(), QPoint(0, 0)));
    int dark = 0;
    for (int y = row.top(); y <= row.bottom(); ++y) {
        for (int x = row.left(); x < row.left() + 200; ++x) {
            if (image.pixelColor(x, y).lightness() < 100) ++dark;
        }
    }
    EXPECT_GT(dark, 20);
}

}  // namespace
