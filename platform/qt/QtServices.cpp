#include "platform/qt/QtServices.h"

#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QProgressDialog>
#include <ostream>

namespace platform {

namespace {

bool WithoutDesktop() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

Clipboard::Result QtClipboard::SetText(const std::string& text) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return Result::OpenFailed;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString value = QString::fromStdString(text);
    clipboard->setText(value);
    return clipboard->text() == value ? Result::Ok : Result::SetFailed;
}

std::string QtClipboard::Text() const {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return {};
    return QGuiApplication::clipboard()->text().toStdString();
}

QtShell::QtShell(std::ostream& err, MessageBoxes& boxes, std::unique_ptr<DesktopOpener> opener)
    : err_(err),
      boxes_(boxes),
      desktop_(opener != nullptr || !WithoutDesktop()),
      opener_(opener ? std::move(opener) : std::make_unique<DesktopOpener>()) {}

QtShell::~QtShell() = default;

bool QtShell::Open(const std::string& path) {
    if (!desktop_) {
        err_ << "open: " << path << '\n' << std::flush;
        return true;
    }
    const DesktopOpenResult result = opener_->Open(
        path, [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    if (result.outcome == OpenOutcome::Opened) return true;
    err_ << "VantolyPatch: not opened: " << path << " (" << result.detail << ")\n" << std::flush;
    if (result.outcome == OpenOutcome::Failed) {
        struct stat info {};
        const bool folder = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        boxes_.Show(
            {std::string(folder ? "フォルダを開けませんでした。" : "ファイルを開けませんでした。") +
                 "\n" + path,
             "", MessageButtons::Ok, MessageIcon::Warning, MessageOwner::Window});
    }
    return false;
}

std::optional<std::string> QtShell::BrowseForFolder(const std::string& title) {
    if (WithoutDesktop()) {
        err_ << "browse for folder: " << title << " (no desktop; cancelled)\n" << std::flush;
        return std::nullopt;
    }
    const ArrowWhileAsking arrow;
    const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(),
                                                             QString::fromStdString(title));
    if (folder.isEmpty()) return std::nullopt;
    std::string chosen = folder.toStdString();
    if (chosen.back() != '/') chosen += '/';
    return chosen;
}

void QtCursor::ShowWait() {
    if (waits_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtCursor::ShowArrow() {
    if (waits_ == 0) return;
    if (--waits_ == 0) QApplication::restoreOverrideCursor();
}

ArrowWhileAsking::ArrowWhileAsking() : pushed_(QGuiApplication::overrideCursor() != nullptr) {
    if (pushed_) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
}

ArrowWhileAsking::~ArrowWhileAsking() {
    if (pushed_) QGuiApplication::restoreOverrideCursor();
}

QtMessagePump::QtMessagePump() : sincePaint_(std::make_unique<QElapsedTimer>()) {}

QtMessagePump::~QtMessagePump() = default;

void QtMessagePump::PumpOne() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

void QtMessagePump::Repaint() {
    // Well inside the tenth of a second after which a window looks frozen.
    constexpr qint64 kPaintEveryMs = 40;
    if (QCoreApplication::instance() == nullptr) return;
    if (sincePaint_->isValid() && sincePaint_->elapsed() < kPaintEveryMs) return;
    sincePaint_->start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QtCopyProgress::QtCopyProgress(std::chrono::milliseconds showAfter, QWidget* parent)
    : showAfter_(showAfter), parent_(parent) {}

QtCopyProgress::~QtCopyProgress() = default;

bool QtCopyProgress::Advance(const std::string& title, std::uint64_t copiedBytes,
                             std::uint64_t totalBytes) {
    constexpr int kSteps = 1000;
    if (!started_) {
        started_ = std::make_unique<QElapsedTimer>();
        started_->start();
    }
    if (!dialog_ && started_->elapsed() >= showAfter_.count() && copiedBytes < totalBytes) {
        const QString label =
            title.empty() ? QStringLiteral("コピーしています...") : QString::fromStdString(title);
        dialog_ = std::make_unique<QProgressDialog>(label, QStringLiteral("キャンセル"), 0, kSteps,
                                                    parent_);
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
    }
    if (dialog_) {
        const double share = totalBytes == 0 ? 1.0 : double(copiedBytes) / double(totalBytes);
        dialog_->setValue(static_cast<int>(share * kSteps));
        QCoreApplication::processEvents();
        return !dialog_->wasCanceled();
    }
    return true;
}

void QtCopyProgress::Finish() {
    dialog_.reset();
    started_.reset();
}

}  // namespace platform
