// The dialog that shows the report of a failed update: the error text, the
// statement and the update steps, with a button that copies it.
#pragma once

#include <QDialog>
#include <string>

#include "platform/Platform.h"
#include "widgets/DialogUnits.h"

class QPlainTextEdit;
class QPushButton;

class CUpdateErrorMsgDlg : public QDialog {
  public:
    CUpdateErrorMsgDlg(QWidget* parent, platform::Clipboard& clipboard,
                       platform::MessageBoxes& boxes, std::string applicationTitle);

    // Set before showing; CR LF line ends. After the dialog closes (or a
    // copy) it holds the edited text.
    std::string ReportText;

    void showEvent(QShowEvent* event) override;
    void done(int result) override;

    // Copy button 1013: the edited text to the clipboard.
    void OnCopy();

    // The dialog units the window is laid out in, its captions fitted.
    const widgets::DialogUnits& units() const { return units_; }

  private:
    void controlsToMembers();

    platform::Clipboard& clipboard_;
    platform::MessageBoxes& boxes_;
    std::string applicationTitle_;
    QPlainTextEdit* report_;
    QPushButton* close_;
    QPushButton* copy_;
    widgets::DialogUnits units_{0, 0};
};
