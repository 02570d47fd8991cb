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
    QtShell shell(printed);
    EXPECT_TRUE(shell.Open("/data/データベース更新前データ/"));
    EXPECT_EQ(shell.BrowseForFolder("出力先"), std::nullopt);
    EXPECT_EQ(printed.str(),
              "open: /data/データベース更新前データ/\nbrowse for folder: 出力先 (no desktop; "
              "cancelled)\n");

    QtCursor cursor;
    cursor.ShowWait();
    cursor.ShowWait();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    cursor.ShowArrow();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "one arrow ends any number of waits";
    cursor.ShowArrow();
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
