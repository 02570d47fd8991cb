#include "platform/qt/QtServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QProgressDialog>
#include <QUrl>
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

QtShell::QtShell(std::ostream& headlessOut) : headlessOut_(headlessOut) {}

bool QtShell::Open(const std::string& path) {
    if (WithoutDesktop()) {
        headlessOut_ << "open: " << path << '\n' << std::flush;
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

std::optional<std::string> QtShell::BrowseForFolder(const std::string& title) {
    if (WithoutDesktop()) {
        headlessOut_ << "browse for folder: " << title << " (no desktop; cancelled)\n"
                     << std::flush;
        return std::nullopt;
    }
    const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(),
                                                             QString::fromStdString(title));
    if (folder.isEmpty()) return std::nullopt;
    std::string chosen = folder.toStdString();
    if (chosen.back() != '/') chosen += '/';
    return chosen;
}

void QtCursor::ShowWait() {
    if (waiting_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waiting_ = true;
}

void QtCursor::ShowArrow() {
    if (!waiting_) return;
    QApplication::restoreOverrideCursor();
    waiting_ = false;
}

void QtMessagePump::PumpOne() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
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
