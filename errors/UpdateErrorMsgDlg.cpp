#include "errors/UpdateErrorMsgDlg.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "errors/ErrorLog.h"
#include "platform/qt/WindowFrame.h"
#include "widgets/DialogUnits.h"

namespace {

std::string toCrLf(const QString& text) {
    std::string out;
    for (char c : text.toStdString()) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

CUpdateErrorMsgDlg::CUpdateErrorMsgDlg(QWidget* parent, platform::Clipboard& clipboard,
                                       platform::MessageBoxes& boxes, std::string applicationTitle)
    : QDialog(parent),
      clipboard_(clipboard),
      boxes_(boxes),
      applicationTitle_(std::move(applicationTitle)) {
    setWindowTitle(QStringLiteral("更新エラー内容"));
    setFont(widgets::DialogFont(QStringLiteral("MS UI Gothic"), 11));
    const widgets::DialogUnits du(font());
    setFixedSize(du.size(385, 287));

    // Template (tab) order: close, report, copy.
    close_ = new QPushButton(QStringLiteral("閉じる"), this);
    close_->setObjectName(QStringLiteral("1"));
    close_->setGeometry(du.rect(332, 268, 50, 17));
    close_->setDefault(true);
    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("1011"));
    report_->setGeometry(du.rect(4, 4, 377, 260));
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Windows' edit box: scrolls with the caret but shows no scroll bars, and
    // puts a tab stop every 32 dialog units, which is how the statement lines up.
    report_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    report_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    report_->setTabChangesFocus(true);
    copy_ = new QPushButton(QStringLiteral("エラー内容をコピー"), this);
    copy_->setObjectName(QStringLiteral("1013"));
    copy_->setGeometry(du.rect(260, 268, 68, 17));
    copy_->setAutoDefault(false);
    units_ = widgets::FitCaptions(this, du);
    // A window scaled down to fit the screen measures its units anew.
    if (widgets::FitToScreen(this, widgets::RoomOnScreen(this)) < 1.0)
        units_ = widgets::DialogUnits(font());
    platform::SetFixedFrame(*this);
    report_->setTabStopDistance(units_.x(32));

    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(copy_, &QPushButton::clicked, this, [this] { OnCopy(); });
}

void CUpdateErrorMsgDlg::showEvent(QShowEvent* event) {
    // Members into controls; the edit shows lines at "\n", so CR LF pairs
    // become line breaks and come back as CR LF.
    QString text = QString::fromStdString(ReportText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    report_->setPlainText(text);
    close_->setFocus();
    QDialog::showEvent(event);
}

void CUpdateErrorMsgDlg::controlsToMembers() {
    ReportText = toCrLf(report_->toPlainText());
}

void CUpdateErrorMsgDlg::done(int result) {
    if (result == QDialog::Accepted) controlsToMembers();
    QDialog::done(result);
}

void CUpdateErrorMsgDlg::OnCopy() {
    controlsToMembers();
    errors::CopyTextToClipboard(ReportText, true, clipboard_, boxes_, applicationTitle_);
}
