#include "console/ExecuteQueryDlg.h"

#include <sys/stat.h>

#include <QEventLoop>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cerrno>
#include <exception>
#include <new>
#include <optional>
#include <thread>

#include "console/QueryRunner.h"
#include "console/QueryScript.h"
#include "db/ComErrorText.h"
#include "db/PasswordMask.h"
#include "errors/ErrorLog.h"
#include "platform/AtomicFile.h"
#include "platform/Interrupts.h"
#include "platform/UserFolders.h"
#include "platform/qt/WindowFrame.h"
#include "widgets/DialogUnits.h"

namespace {

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

CExecuteQueryDlg::CExecuteQueryDlg(ConsoleContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setWindowTitle(QStringLiteral("クエリ発行"));
    setFont(widgets::DialogFont(QStringLiteral("MS UI Gothic"), 10));
    const widgets::DialogUnits du(font());
    setFixedSize(du.size(366, 276));

    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(QStringLiteral("1026"));
    edit_->setGeometry(du.rect(4, 4, 304, 268));
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont editFont = widgets::DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 10);
    editFont.setWeight(QFont::Medium);
    for (int pixels = 15; pixels > 6;
         --pixels) {  // height 15: the character cell, as Windows reads it
        editFont.setPixelSize(pixels);
        if (QFontMetrics(editFont).height() <= 15) break;
    }
    edit_->setFont(editFont);

    auto button = [&](const char* id, const char* text, int y) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromUtf8(id));
        b->setGeometry(du.rect(312, y, 50, 14));
        b->setAutoDefault(false);
        return b;
    };
    run_ = button("1", "実行", 4);
    run_->setDefault(true);
    run_->setEnabled(false);
    QPushButton* close = button("2", "閉じる", 21);
    QPushButton* scratch = button("1027", "テキスト", 38);
    QPushButton* log = button("1028", "実行クエリ", 55);
    QPushButton* dropColumn = button("1015", "フィールド削除", 240);
    QPushButton* dropConstraint = button("1014", "外部キー", 256);
    stop_ = button("1029", "中止", 72);
    stop_->setEnabled(false);
    widgets::FitCaptions(this, du);
    widgets::FitToScreen(this, widgets::RoomOnScreen(this));
    platform::SetFixedFrame(*this);

    connect(edit_, &QPlainTextEdit::textChanged, this, [this] {
        if (!run_->isEnabled()) run_->setEnabled(true);
    });
    connect(run_, &QPushButton::clicked, this, [this] { ExecuteQueries(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(stop_, &QPushButton::clicked, this, [this] { StopRunningStatement(); });
    connect(scratch, &QPushButton::clicked, this, [this] { OnOpenScratchFile(); });
    connect(log, &QPushButton::clicked, this, [this] { OnOpenLogFile(); });
    connect(dropColumn, &QPushButton::clicked, this, [this] { OnDropColumnTemplate(); });
    connect(dropConstraint, &QPushButton::clicked, this, [this] { OnDropConstraintTemplate(); });
}

platform::MessageAnswer CExecuteQueryDlg::show(const std::string& text, const std::string& caption,
                                               platform::MessageIcon icon) {
    return context_.services.messageBoxes.Show(platform::ApplyMessageBoxDefaults(
        {text, caption, platform::MessageButtons::Ok, icon, platform::MessageOwner::Window},
        context_.applicationTitle));
}

void CExecuteQueryDlg::ExecuteQueries() {
    queryText = edit_->toPlainText().toStdString();
    // A folder that cannot be made leaves the log unopened, and the operator
    // is told so with its path after the run.
    platform::CreatePrivateFolders(context_.stateFolder);
    console::QueryLog::EnsureExists(LogFilePath());

    std::vector<std::string> lines;
    if (!queryText.empty()) {
        for (const QString& line : edit_->toPlainText().split(QLatin1Char('\n')))
            lines.push_back(line.toStdString());
    }
    const console::SplitResult split = console::SplitQueries(lines);
    if (split.status == console::SplitStatus::kNoQuery) {
        show(std::string(console::kNoQueryText), "クエリ発行", platform::MessageIcon::Warning);
        edit_->setFocus();
        return;
    }
    if (split.status == console::SplitStatus::kMissingSemicolon) {
        show(std::string(console::kMissingSemicolonText), "", platform::MessageIcon::None);
        return;
    }
    if (split.status == console::SplitStatus::kLineTooLong) {
        show(console::LineTooLongText(split.cutLines), "", platform::MessageIcon::Warning);
        return;
    }
    if (split.status == console::SplitStatus::kNotText) {
        show(console::NotTextLinesText(split.notTextLines), "", platform::MessageIcon::Warning);
        return;
    }

    run_->setEnabled(false);
    console::QueryLog log(LogFilePath());
    std::shared_ptr<engine::Connection> connection =
        context_.sessionConnection ? context_.sessionConnection() : nullptr;
    try {
        if (!connection) {
            throw engine::ComError(engine::hr::kInvalidPointer, std::nullopt, std::nullopt);
        }
        console::QueryRunOptions options;
        options.log = log.IsOpen() ? &log : nullptr;
        const console::QueryRunResult result = RunWhileWindowWaits(connection, split, options);
        if (!log.IsOpen() || log.WriteFailed()) {
            show(std::string(console::kLogNotWrittenText) + LogFilePath(), "",
                 platform::MessageIcon::Warning);
        }
        if (result.Committed()) {
            show("クエリ発行終了", "", platform::MessageIcon::None);
            return;
        }
        const console::QueryFailure& failure = *result.failure;
        // The statement that was running: the refused one, the last one at the
        // commit, the first one when the transaction could not begin.
        std::size_t index = failure.statementIndex.value_or(
            failure.stage == console::QueryRunStage::kCommit ? split.statements.size() - 1 : 0);
        // The error may quote part of the statement, a password with it.
        show(db::MaskPasswordsOfStatement(db::ComErrorText(failure.error),
                                          split.statements[index].text),
             "", platform::MessageIcon::None);
        show(console::StatementLocationText(split.statements[index]), "",
             platform::MessageIcon::None);
    } catch (const engine::ComError& error) {
        show(db::ComErrorText(error), "", platform::MessageIcon::None);
        show(console::StatementLocationText(split.statements.front()), "",
             platform::MessageIcon::None);
    } catch (const std::bad_alloc&) {
        // Every statement was rolled back on the way here.
        show(std::string(console::kOutOfMemoryText), "", platform::MessageIcon::Warning);
    } catch (const std::exception&) {
        show("*** 処理されない例外 ***", "", platform::MessageIcon::None);
    }
}

void CExecuteQueryDlg::OnOpenScratchFile() {
    const std::string path = ScratchFilePath();
    if (!FileExists(path)) {
        platform::FileStatus status = platform::CreatePrivateFolders(context_.stateFolder);
        if (status.Succeeded())
            status = platform::WriteFileWhole(path, "", 0600, platform::NewFile::Replace::Never);
        // EEXIST: another run made it in the meantime, which is as good.
        if (!status.Succeeded() && status.error != EEXIST) {
            show("ファイルを作成できませんでした：" + path + "\n" + status.message, "",
                 platform::MessageIcon::Warning);
            return;
        }
    }
    context_.services.shell.Open(path);
}

void CExecuteQueryDlg::OnOpenLogFile() {
    const std::string path = LogFilePath();
    if (FileExists(path)) context_.services.shell.Open(path);
}

void CExecuteQueryDlg::showTemplate(const std::string& text) {
    show(text, context_.applicationTitle, platform::MessageIcon::None);
    errors::CopyTextToClipboard(text, true, context_.services.clipboard,
                                context_.services.messageBoxes, context_.applicationTitle);
}

void CExecuteQueryDlg::OnDropColumnTemplate() {
    showTemplate("ALTER TABLE [table_name] DROP COLUMN [column_name];");
}

void CExecuteQueryDlg::OnDropConstraintTemplate() {
    showTemplate("ALTER TABLE [table_name] DROP CONSTRAINT [fk_index_name];");
}

void CExecuteQueryDlg::StopRunningStatement() {
    if (running_ == nullptr) return;
    stopAsked_ = true;
    running_->Cancel();
}

void CExecuteQueryDlg::reject() {
    // Esc or the close box while statements run stops them; the window
    // closes only once they have been rolled back.
    if (running_ != nullptr) {
        StopRunningStatement();
        return;
    }
    QDialog::reject();
}

console::QueryRunResult CExecuteQueryDlg::RunWhileWindowWaits(
    const std::shared_ptr<engine::Connection>& connection, const console::SplitResult& split,
    console::QueryRunOptions options) {
    // The statements run on a worker thread while this window keeps drawing
    // and answers 中止 (and Esc): the only control left on until they end.
    // The connection is used by the worker alone meanwhile; Cancel is the
    // one call that may come from here.
    stopAsked_ = false;
    options.stopRequested = [this] { return stopAsked_.load(); };
    running_ = connection;
    // A signal to the program stops the statements too, and rolls them back.
    const platform::InterruptHook onSignal([this, connection] {
        stopAsked_ = true;
        connection->Cancel();
    });
    const bool editWasReadOnly = edit_->isReadOnly();
    edit_->setReadOnly(true);
    std::vector<QPushButton*> switchedOff;
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button == stop_ || !button->isEnabled()) continue;
        button->setEnabled(false);
        switchedOff.push_back(button);
    }
    stop_->setEnabled(true);
    // 中止 still answers under it; a box shown afterwards has the arrow.
    std::optional<console::QueryRunResult> result;
    std::exception_ptr failure;
    {
        const platform::WaitCursor busy(context_.services.cursor);
        QEventLoop wait;
        std::thread worker([&] {
            try {
                result = console::RunQueries(*connection, split.statements, options);
            } catch (...) {
                failure = std::current_exception();
            }
            QMetaObject::invokeMethod(
                &wait, [&wait] { wait.quit(); }, Qt::QueuedConnection);
        });
        wait.exec();
        worker.join();
    }
    running_.reset();
    stop_->setEnabled(false);
    for (QPushButton* button : switchedOff) button->setEnabled(true);
    edit_->setReadOnly(editWasReadOnly);
    if (failure) std::rethrow_exception(failure);
    return *result;
}
