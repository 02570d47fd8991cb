#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtServices.h"
#include "support/FakeMessageBoxes.h"
#include "support/TempFolder.h"

namespace {

using namespace platform;

// Looks at the box that opens next, then presses `button` (or closes it when
// `button` is NoButton).
void WhenTheBoxOpens(QMessageBox::StandardButton button,
                     std::function<void(QMessageBox&)> inspect) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, button, inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        timer->stop();
        timer->deleteLater();
        inspect(*box);
        if (button == QMessageBox::NoButton) {
            box->reject();
        } else {
            box->button(button)->click();
        }
    });
    timer->start();
}

TEST(QtMessageBoxesTest, ShowsCaptionIconButtonsAndAnswers) {
    struct Case {
        MessageBoxRequest request;
        QMessageBox::StandardButton press;
        MessageAnswer answer;
        QString caption;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };
    const Case cases[] = {
        {{"すでに起動されています", "無視", MessageButtons::Ok, MessageIcon::None,
          MessageOwner::Application},
         QMessageBox::Ok,
         MessageAnswer::Ok,
         "VantolyPatch",
         QMessageBox::Warning,
         QMessageBox::Ok},
        {{"続けますか？", "", MessageButtons::YesNo, MessageIcon::None, MessageOwner::Application},
         QMessageBox::Yes,
         MessageAnswer::Yes,
         "VantolyPatch",
         QMessageBox::Question,
         QMessageBox::Yes | QMessageBox::No},
        {{"Vantoly計算ソフトを終了しますか？", "ＤＢ更新", MessageButtons::YesNo, MessageIcon::Stop,
          MessageOwner::Window},
         QMessageBox::No,
         MessageAnswer::No,
         "ＤＢ更新",
         QMessageBox::Critical,
         QMessageBox::Yes | QMessageBox::No},
        {{"<b>閉じる</b>", "", MessageButtons::YesNo, MessageIcon::Information,
          MessageOwner::SystemModal},
         QMessageBox::NoButton,
         MessageAnswer::No,
         "VantolyPatch",
         QMessageBox::Information,
         QMessageBox::Yes | QMessageBox::No},
    };
    QtMessageBoxes boxes("VantolyPatch");
    for (const Case& c : cases) {
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        WhenTheBoxOpens(c.press, [&](QMessageBox& box) {
            caption = box.windowTitle();
            text = box.text();
            icon = box.icon();
            buttons = box.standardButtons();
        });
        EXPECT_EQ(boxes.Show(c.request), c.answer) << c.request.text;
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(text.toStdString(), c.request.text) << "shown as plain text";
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(buttons, c.buttons);
    }
}

TEST(QtServicesTest, ClipboardShellAndCursor) {
    QtClipboard clipboard;
    EXPECT_EQ(clipboard.SetText("料金\r\n1.25"), Clipboard::Result::Ok);
    EXPECT_EQ(clipboard.Text(), "料金\r\n1.25");

    std::ostringstream printed;
    testsupport::FakeMessageBoxes boxes;
    QtShell shell(printed, boxes);
    EXPECT_TRUE(shell.Open("/data/データベース更新前データ/"));
    EXPECT_EQ(shell.BrowseForFolder("出力先"), std::nullopt);
    EXPECT_EQ(printed.str(),
              "open: /data/データベース更新前データ/\nbrowse for folder: 出力先 (no desktop; "
              "cancelled)\n");
}

// The update waits, a step inside it waits and ends, a question is asked:
// the pointer stays busy through the work and is the arrow over the box.
TEST(QtServicesTest, WaitsNestAndEveryBoxHasTheArrow) {
    QtCursor cursor;
    auto shape = [] {
        return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                              : Qt::ArrowCursor;
    };
    cursor.ShowWait();
    {
        const WaitCursor step(cursor);
        EXPECT_EQ(shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(shape(), Qt::WaitCursor) << "a step's end ended the outer wait";
    Qt::CursorShape overBox = Qt::WaitCursor;
    WhenTheBoxOpens(QMessageBox::Yes, [&](QMessageBox&) { overBox = shape(); });
    QtMessageBoxes boxes("VantolyPatch");
    boxes.Show({"更新してもよろしいですか？", "確認", MessageButtons::YesNo, MessageIcon::Warning,
                MessageOwner::Window});
    EXPECT_EQ(overBox, Qt::ArrowCursor);
    EXPECT_EQ(shape(), Qt::WaitCursor) << "the work goes on after the answer";
    cursor.ShowArrow();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    cursor.ShowArrow();  // nothing left to end
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Without work going on, a box leaves the pointer to the widgets under it.
    WhenTheBoxOpens(QMessageBox::Ok,
                    [&](QMessageBox&) { EXPECT_EQ(QApplication::overrideCursor(), nullptr); });
    boxes.Show(
        {"更新終了致しました", "", MessageButtons::Ok, MessageIcon::None, MessageOwner::Window});
}

// The desktop's opener as it ends: a box names what could not be opened; with
// no opener at all only standard error says so; an opener still busy when we
// stop waiting has opened the file.
TEST(QtServicesTest, AFileOrFolderTheOpenerFailsOnIsNamedInABox) {
    testsupport::TempFolder folder;
    const std::string file = folder.Folder() + "VantolyPatch実行クエリ保存.txt";
    std::ofstream(file) << "SELECT 1;\n";
    auto opener = [&](const char* name, const char* body) {
        const std::string path = folder.Folder() + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    };
    struct Case {
        std::string opener;
        std::string path;
        bool opened;
        std::string box;  // empty: none
        std::string err;  // a part of what standard error says; empty: nothing
    };
    const Case cases[] = {
        {opener("fails", "echo \"no application for $1\" >&2; exit 4"), file, false,
         "ファイルを開けませんでした。\n" + file, "exit status 4"},
        {opener("fails-on-folder", "exit 2"), folder.Folder(), false,
         "フォルダを開けませんでした。\n" + folder.Folder(), "exit status 2"},
        {opener("crashes", "kill -SEGV $$"), file, false, "ファイルを開けませんでした。\n" + file,
         "signal 11"},
        {folder.Folder() + "no-such-opener", file, false, "", "no-such-opener"},
        {opener("opens", "exit 0"), file, true, "", ""},
        {opener("stays", "sleep 1"), file, true, "", ""},
    };
    for (const Case& c : cases) {
        std::ostringstream err;
        testsupport::FakeMessageBoxes boxes;
        QtShell shell(err, boxes,
                      std::make_unique<DesktopOpener>(c.opener, std::chrono::milliseconds(300)));
        EXPECT_EQ(shell.Open(c.path), c.opened) << c.opener;
        if (c.box.empty()) {
            EXPECT_TRUE(boxes.Shown().empty()) << c.opener;
        } else {
            ASSERT_EQ(boxes.Shown().size(), 1u) << c.opener;
            EXPECT_EQ(boxes.Shown()[0].text, c.box);
            EXPECT_EQ(boxes.Shown()[0].icon, MessageIcon::Warning);
        }
        if (c.err.empty()) {
            EXPECT_EQ(err.str(), "") << c.opener;
        } else {
            EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
            EXPECT_NE(err.str().find(c.path), std::string::npos) << err.str();
        }
    }
}

TEST(QtCopyProgressTest, CancelButtonCancelsTheCopyAndLeavesNoFile) {
    testsupport::TempFolder folder;
    const std::string source = folder.Folder() + "Toll.mdb";
    { std::ofstream(source) << "x"; }
    std::filesystem::resize_file(source, 40 * 1024 * 1024);
    const std::string destination = folder.Folder() + "copy.mdb";

    // A long copy: the dialog appears at once and the operator presses Cancel.
    class PressCancel : public QtCopyProgress {
      public:
        PressCancel() : QtCopyProgress(std::chrono::milliseconds(0)) {}
        bool Advance(const std::string& title, std::uint64_t copied, std::uint64_t total) override {
            if (Dialog() != nullptr) {
                DialogLabel = Dialog()->labelText();
                Dialog()->cancel();
            }
            return QtCopyProgress::Advance(title, copied, total);
        }
        QString DialogLabel;
    } progress;
    const auto result = CopyFileAtomically(source, destination, &progress, "");
    EXPECT_EQ(result.failure, CopyFailure::Cancelled);
    EXPECT_EQ(progress.DialogLabel, "コピーしています...");
    EXPECT_EQ(progress.Dialog(), nullptr) << "closed at the end";
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);

    // A short copy shows no dialog.
    QtCopyProgress quiet;
    EXPECT_TRUE(CopyFileAtomically(source, destination, &quiet, "").Succeeded());
    EXPECT_EQ(quiet.Dialog(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
