// Qt's own texts under a Japanese desktop: the translations the window front
// end installs before its first window, read back from a real question box,
// the folder dialog and a field's context menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtTranslations.h"

namespace {

QStringList ButtonTexts(const QWidget& widget) {
    QStringList texts;
    for (const QPushButton* button : widget.findChildren<QPushButton*>())
        if (button->isVisibleTo(&widget)) texts << button->text();
    texts.sort();
    return texts;
}

TEST(QtTranslationTest, AQuestionBoxAnswersInJapanese) {
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        texts = ButtonTexts(*box);
        box->button(QMessageBox::No)->click();
    });
    platform::QtMessageBoxes boxes("VantolyPatch");
    const platform::MessageAnswer answer =
        boxes.Show({"更新してもよろしいですか？", "確認", platform::MessageButtons::YesNo,
                    platform::MessageIcon::Warning, platform::MessageOwner::Window});
    EXPECT_EQ(answer, platform::MessageAnswer::No);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
}

TEST(QtTranslationTest, TheFolderDialogAndAFieldsMenuSpeakJapanese) {
    // The dialog the shell's folder browse opens on a desktop without a
    // platform theme: Qt's own, directories only.
    QFileDialog dialog(nullptr, QStringLiteral("フォルダの選択"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    const QStringList buttons = ButtonTexts(dialog);
    EXPECT_TRUE(buttons.contains(QStringLiteral("キャンセル"))) << buttons.join('|').toStdString();
    EXPECT_FALSE(buttons.contains(QStringLiteral("Choose"))) << buttons.join('|').toStdString();
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    EXPECT_FALSE(labels.contains(QStringLiteral("Look in:"))) << labels.join('|').toStdString();
    EXPECT_FALSE(labels.contains(QStringLiteral("Directory:"))) << labels.join('|').toStdString();

    QLineEdit field(QStringLiteral("C:\\data"));
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    QStringList entries;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator()) entries << action->text();
    EXPECT_TRUE(entries.filter(QStringLiteral("コピー")).size() == 1)
        << entries.join('|').toStdString();
    EXPECT_TRUE(entries.filter(QStringLiteral("Select All")).isEmpty())
        << entries.join('|').toStdString();
}

}  // namespace

// Before the first window, as the front end does.
class JapaneseTranslations : public ::testing::Environment {
  public:
    void SetUp() override {
        const std::string problem = platform::InstallQtTranslations(*QCoreApplication::instance());
        ASSERT_EQ(problem, "");
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The operator's desktop, whatever the one running the tests says.
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    setenv("LANG", "ja_JP.UTF-8", 1);
    unsetenv("LANGUAGE");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new JapaneseTranslations);
    return RUN_ALL_TESTS();
}
