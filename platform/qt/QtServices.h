// The desktop services through Qt: clipboard, the "open" verb and the
// folder dialog, cursors, the message pump and the copy progress dialog.
// They need a QApplication (QGuiApplication for the clipboard).
#pragma once

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/DesktopOpener.h"
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

// "Open" hands the path to the desktop's opener, the window painting while
// it starts. Where there is no opener nothing happens and only `err` says so;
// where the opener fails, a box names the file or folder too, so the
// operator can find it. On the offscreen or minimal platform there is no
// desktop: unless an opener is handed in, "open" prints the path to `err`,
// and the folder dialog counts as cancelled.
class QtShell : public Shell {
  public:
    QtShell(std::ostream& err, MessageBoxes& boxes, std::unique_ptr<DesktopOpener> opener = {});
    ~QtShell() override;
    bool Open(const std::string& path) override;
    std::optional<std::string> BrowseForFolder(const std::string& title) override;

  private:
    std::ostream& err_;
    MessageBoxes& boxes_;
    bool desktop_;
    std::unique_ptr<DesktopOpener> opener_;
};

// The wait cursor as the application's override cursor, one override for
// all the nested waits.
class QtCursor : public Cursor {
  public:
    void ShowWait() override;
    void ShowArrow() override;

  private:
    int waits_ = 0;
};

// The arrow over a box or dialog that waits for the operator, for its life,
// whatever pointer the work around it shows; that pointer comes back when it
// closes. Nothing when no work shows a pointer of its own.
class ArrowWhileAsking {
  public:
    ArrowWhileAsking();
    ~ArrowWhileAsking();
    ArrowWhileAsking(const ArrowWhileAsking&) = delete;
    ArrowWhileAsking& operator=(const ArrowWhileAsking&) = delete;

  private:
    bool pushed_;
};

class QtMessagePump : public MessagePump {
  public:
    QtMessagePump();
    ~QtMessagePump() override;
    void PumpOne() override;  // nothing without a QCoreApplication
    void Repaint() override;

  private:
    std::unique_ptr<QElapsedTimer> sincePaint_;
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
