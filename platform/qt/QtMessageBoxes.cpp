#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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

}  // namespace

QtMessageBoxes::QtMessageBoxes(std::string applicationTitle, OwnerWindow ownerWindow)
    : applicationTitle_(std::move(applicationTitle)), ownerWindow_(std::move(ownerWindow)) {}

MessageAnswer QtMessageBoxes::Show(const MessageBoxRequest& request) {
    const MessageBoxRequest box = ApplyMessageBoxDefaults(request, applicationTitle_);
    QWidget* parent = nullptr;
    if (box.owner == MessageOwner::Window) {
        parent = ownerWindow_ ? ownerWindow_() : QApplication::activeWindow();
    }
    QMessageBox dialog(parent);
    dialog.setWindowTitle(QString::fromStdString(box.caption));
    dialog.setTextFormat(Qt::PlainText);
    dialog.setText(QString::fromStdString(box.text));
    dialog.setIcon(QtIcon(box.icon));
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
