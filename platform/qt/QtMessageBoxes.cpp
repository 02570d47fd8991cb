#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "platform/qt/QtServices.h"

namespace platform {

namespace {

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// A text taller than the screen (a table's creation statement) would push
// the buttons off it: the text then scrolls, in a box that fits the screen.
void KeepButtonsOnScreen(QMessageBox& box, const QWidget* parent) {
    const QScreen* screen = parent != nullptr ? parent->screen() : box.screen();
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (screen == nullptr || label == nullptr || grid == nullptr) return;
    const QRect available = screen->availableGeometry();
    const QFontMetrics metrics(label->font());
    // Room for the caption, the icon row's margins and the buttons.
    const int overhead = 2 * metrics.height() + 8 + 4 * metrics.height() + 48;
    const int room = available.height() - overhead;
    const QRect text = metrics.boundingRect(QRect(0, 0, available.width() * 2 / 3, INT_MAX),
                                            Qt::TextWordWrap, label->text());
    if (text.height() <= room) return;
    int row = 0, column = 0, rows = 1, columns = 1;
    grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
    grid->removeWidget(label);
    auto* scroll = new QScrollArea(&box);
    scroll->setObjectName(QStringLiteral("boxTextScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    label->setWordWrap(true);
    scroll->setWidget(label);
    scroll->setFixedSize(text.width() + scroll->verticalScrollBar()->sizeHint().width() + 4,
                         std::max(metrics.height() * 3, room));
    grid->addWidget(scroll, row, column, rows, columns);
}

}  // namespace

QtMessageBoxes::QtMessageBoxes(std::string applicationTitle, OwnerWindow ownerWindow)
    : applicationTitle_(std::move(applicationTitle)), ownerWindow_(std::move(ownerWindow)) {}

MessageAnswer QtMessageBoxes::Show(const MessageBoxRequest& request) {
    const MessageBoxRequest box = ApplyMessageBoxDefaults(request, applicationTitle_);
    QWidget* parent = nullptr;
    if (box.owner == MessageOwner::Window) {
        parent = ownerWindow_ ? ownerWindow_() : QApplication::activeWindow();
    }
    const ArrowWhileAsking arrow;
    QMessageBox dialog(parent);
    dialog.setWindowTitle(QString::fromStdString(box.caption));
    dialog.setTextFormat(Qt::PlainText);
    dialog.setText(QString::fromStdString(box.text));
    dialog.setIcon(QtIcon(box.icon));
    KeepButtonsOnScreen(dialog, parent);
    dialog.setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    if (box.owner == MessageOwner::SystemModal) {
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    if (box.buttons == MessageButtons::Ok) {
        dialog.setStandardButtons(QMessageBox::Ok);
        dialog.exec();
        return MessageAnswer::Ok;
    }
    dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    dialog.setDefaultButton(QMessageBox::Yes);
    dialog.setEscapeButton(QMessageBox::No);
    dialog.exec();
    return dialog.clickedButton() == dialog.button(QMessageBox::Yes) ? MessageAnswer::Yes
                                                                     : MessageAnswer::No;
}

}  // namespace platform
