// The desktop services through Qt: clipboard, the "open" verb and the
// folder dialog, cursors, the message pump and the copy progress dialog.
// They need a QApplication (QGuiApplication for the clipboard).
#pragma once

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/FileCopy.h"
#include "platform/Platform.h"

class QElapsedTimer;
class QProgressDialog;
class QWidget;

namespace platform {

class QtClipboard : public Clipboard {
  public:
    // OpenFailed without a QGuiApplication; SetFailed when the text did not stick.
    Result SetText(const std::string& text) override;
    std::string Text() const override;
};

// On the offscreen or minimal platform there is no desktop: "open" prints
// the path to `headlessOut` and the folder dialog counts as cancelled.
class QtShell : public Shell {
  public:
    explicit QtShell(std::ostream& headlessOut);
    bool Open(const std::string& path) override;
    std::optional<std::string> BrowseForFolder(const std::string& title) override;

  private:
    std::ostream& headlessOut_;
};

// The wait cursor as the application's override cursor.
class QtCursor : public Cursor {
  public:
    void ShowWait() override;
    void ShowArrow() override;

  private:
    bool waiting_ = false;
};

class QtMessagePump : public MessagePump {
  public:
    void PumpOne() override;  // nothing without a QCoreApplication
};

// The progress dialog of a copy, shown only once the copy has taken longer
// than `showAfter`; its Cancel button cancels the copy.
class QtCopyProgress : public CopyProgress {
  public:
    explicit QtCopyProgress(std::chrono::milliseconds showAfter = std::chrono::seconds(1),
                            QWidget* parent = nullptr);
    ~QtCopyProgress() override;

    bool Advance(const std::string& title, std::uint64_t copiedBytes,
                 std::uint64_t totalBytes) override;
    void Finish() override;

    QProgressDialog* Dialog() const { return dialog_.get(); }  // null while hidden

  private:
    std::chrono::milliseconds showAfter_;
    QWidget* parent_;
    std::unique_ptr<QElapsedTimer> started_;  // runs from the first Advance of a copy
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace platform
