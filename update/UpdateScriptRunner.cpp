#include "update/UpdateScriptRunner.h"

#include <cstdio>
#include <utility>

#include "db/ComErrorText.h"
#include "errors/ErrorLog.h"
#include "platform/Interrupts.h"
#include "update/RelationshipCountScan.h"
#include "update/Version126Script.h"

namespace update {

namespace {

constexpr std::string_view kConfirmText = "更新してもよろしいですか？";
constexpr std::string_view kConfirmCaption = "確認";
constexpr std::string_view kFinishedText = "更新終了致しました";
constexpr std::string_view kFinishedCaptionSuffix = "更新";
constexpr std::string_view kFailedText = "更新に失敗しました";
constexpr std::string_view kFunctionName = "CVantolyPatchDlg::OnUpdateTables";

// Runs a call of the table-definition facility; its engine errors become
// TableDefinitionError, so they are not taken for errors of the session.
template <typename Call>
auto ThroughTableDefinition(std::string_view what, Call&& call) {
    try {
        return call();
    } catch (const engine::ComError& error) {
        throw TableDefinitionError(std::string(what) + ": " + error.what());
    }
}

// Every statement of the script, whether a run needs it or finds it done:
// what the progress bar shows the share of.
int ScriptStatementCount() {
    std::size_t count = DropStatements().size() + VersionStampStatements().size() +
                        ColumnStatements(kKumiaiTable, kMlgCardNameColumn).size();
    for (std::string_view column : {kMlgCardSeikyuKingakuColumn, kMlgCardSavingKingakuColumn})
        count += ColumnStatements(kSeikyuDataTable, column).size();
    for (const CreationBlock& block : CreationBlocks()) count += block.statements.size();
    return static_cast<int>(count);
}

// The window paints through every statement of the run, however long one
// takes; its clicks and keys wait for the run's end.
class PaintingWhileRunning {
  public:
    PaintingWhileRunning(engine::Connection& connection, platform::MessagePump& pump)
        : connection_(connection) {
        connection_.SetProgressHook([&pump] { pump.Repaint(); });
    }
    ~PaintingWhileRunning() { connection_.SetProgressHook({}); }
    PaintingWhileRunning(const PaintingWhileRunning&) = delete;
    PaintingWhileRunning& operator=(const PaintingWhileRunning&) = delete;

  private:
    engine::Connection& connection_;
};

engine::Connection& RequireSessionConnection(const db::DatabaseSession& session) {
    if (!session.SessionConnection()) {
        throw engine::ComError(engine::hr::kInvalidPointer, std::nullopt, std::nullopt);
    }
    return *session.SessionConnection();
}

}  // namespace

std::string UpdateStepsText(const UpdateStepList& steps) {
    std::string text;
    int number = 0;
    for (const std::unique_ptr<CDataUpdateStep>& step : steps) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%3d ", ++number);
        text += prefix + step->text + "\n";
    }
    return text;
}

UpdateScriptRunner::UpdateScriptRunner(UpdateView& view, UpdateHost& host,
                                       db::DatabaseSession& session,
                                       const host::TargetDatabase& target, UpdateServices services,
                                       UpdateTexts texts)
    : view_(view),
      host_(host),
      session_(session),
      target_(target),
      services_(services),
      texts_(std::move(texts)) {}

void UpdateScriptRunner::ShowOk(std::string text, std::string caption, platform::MessageIcon icon,
                                platform::MessageOwner owner) {
    services_.messageBoxes.Show({.text = std::move(text),
                                 .caption = std::move(caption),
                                 .buttons = platform::MessageButtons::Ok,
                                 .icon = icon,
                                 .owner = owner});
}

bool UpdateScriptRunner::OnUpdateTables() {
    // A No, a failure or a success: the idle window never keeps the wait cursor.
    const platform::WaitCursor wait(services_.cursor);
    const platform::MessageAnswer answer =
        services_.messageBoxes.Show({.text = std::string(kConfirmText),
                                     .caption = std::string(kConfirmCaption),
                                     .buttons = platform::MessageButtons::YesNo,
                                     .icon = platform::MessageIcon::Warning,
                                     .owner = platform::MessageOwner::Window});
    // A run asked to end before its script began leaves the database as it is.
    if (answer != platform::MessageAnswer::Yes || platform::InterruptRequested()) {
        lastOutcome_ = RunOutcome::Declined;
        return false;
    }

    currentStatement_.clear();
    failureText_.clear();
    reason_.clear();
    counts_ = {};
    statementsRun_ = 0;
    const std::string tableDefinitionConnect =
        target_.Password.empty() ? std::string()
                                 : ";PWD=" + engine::ConnectionTextValue(target_.Password);
    try {
        const PaintingWhileRunning painting(RequireSessionConnection(session_),
                                            services_.messagePump);
        progressTotal_ = ScriptStatementCount();
        view_.SetProgressRange(0, progressTotal_);
        view_.SetProgressPosition(0);
        RunDropPhase();
        RunRelationshipCountScan();
        RunColumnAdditions(tableDefinitionConnect);
        RunCreationBlocks();
        RunVersionStamp();
        view_.SetProgressPosition(progressTotal_);
        view_.ShowVersionText("ver." + session_.ReadDatabaseVersion());
        ShowOk(std::string(kFinishedText),
               texts_.releaseDateText + std::string(kFinishedCaptionSuffix),
               platform::MessageIcon::None, platform::MessageOwner::Window);
    } catch (const engine::ComError& error) {
        lastOutcome_ = RunOutcome::DatabaseError;
        failureText_ = db::ComErrorText(error);
        ReportDatabaseFailure(error);
        return false;
    } catch (const std::exception& error) {
        lastOutcome_ = RunOutcome::OtherError;
        failureText_ = error.what();
        ReportOtherFailure(failureText_);
        return false;
    }
    lastOutcome_ = RunOutcome::Completed;

    host_.CopyTextToClipboard(UpdateStepsText(updateSteps_));
    updateSteps_.clear();
    return true;
}

void UpdateScriptRunner::RunStatement(const std::string& statement) {
    currentStatement_ = statement;
    if (stopRequested_ && stopRequested_()) {
        throw engine::ComError(engine::hr::kCanceled, std::nullopt,
                               "The run was stopped before this statement.",
                               engine::jet::kCanceledByUser);
    }
    // Any recordset the statement answers with is released at once.
    session_.Execute(statement).reset();
    ++statementsRun_;
    Advance(1);
    if (listener_ != nullptr) {
        listener_->StatementRun(reason_, statement);
    }
    if (statementHook_) {
        statementHook_(statementsRun_, statement);
    }
}

void UpdateScriptRunner::Advance(std::size_t steps) {
    view_.SetProgressPosition(view_.ProgressPosition() + static_cast<int>(steps));
    services_.messagePump.Repaint();
}

void UpdateScriptRunner::Decided(const std::string& answer, const std::string& verdict) {
    if (listener_ != nullptr) {
        listener_->Decided(answer, verdict);
    }
}

void UpdateScriptRunner::RunDropPhase() {
    for (const DropStatement& drop : DropStatements()) {
        if (session_.TableExists(drop.table) == 1) {
            Because(drop.table + " exists");
            RunStatement(drop.text);
        } else {
            Decided(drop.table + " absent", "skipped");
            Advance(1);
        }
    }
}

void UpdateScriptRunner::RunRelationshipCountScan() {
    std::vector<std::string> userTables;
    session_.ListUserTables(userTables);
    const int tableCount = static_cast<int>(userTables.size());
    // A step per table and referenced table, now that the tables are known.
    progressTotal_ += 3 * tableCount;
    view_.SetProgressRange(0, progressTotal_);

    RelationshipCountScan scan(services_.messageBoxes, services_.cursor, texts_.applicationTitle,
                               db::ConnectionText(target_.PathName, target_.FileName,
                                                  target_.Extension, session_.Password()));
    const std::pair<std::string_view, int*> referencedTables[] = {
        {kKumiTable, &counts_.kumi},
        {kSofuTable, &counts_.sofu},
        {kCprtCardTable, &counts_.cprtCard},
    };
    for (const auto& [tableView, count] : referencedTables) {
        const std::string table(tableView);
        *count += scan.CountPrimaryKeys(table);
        *count += scan.CountUniqueKeys(table);
        for (const std::string& userTable : userTables) {
            Advance(1);
            *count += scan.CountForeignKeys(userTable, table);
        }
    }
    auto verdict = [](std::string_view table, int count) {
        return std::string(ForeignKeyAllowed(count) ? "foreign keys to " : "no foreign keys to ") +
               std::string(table);
    };
    Decided("relationship counts over " + std::to_string(tableCount) +
                " user tables: " + std::string(kKumiTable) + " " + std::to_string(counts_.kumi) +
                ", " + std::string(kSofuTable) + " " + std::to_string(counts_.sofu) + ", " +
                std::string(kCprtCardTable) + " " + std::to_string(counts_.cprtCard),
            verdict(kKumiTable, counts_.kumi) + ", " + verdict(kSofuTable, counts_.sofu));
}

void UpdateScriptRunner::RunColumnAdditions(const std::string& tableDefinitionConnect) {
    const std::string kumiaiColumn =
        "column " + std::string(kMlgCardNameColumn) + " of " + std::string(kKumiaiTable);
    if (session_.ColumnExists(std::string(kKumiaiTable), std::string(kMlgCardNameColumn)) == 0) {
        Because(kumiaiColumn + " absent");
        // The column and its first value together: the probe skips both once
        // the column is there, so a run stopped between them would leave the
        // existing rows without a card name for good.
        RunInSessionTransaction([&] {
            for (const std::string& statement :
                 ColumnStatements(kKumiaiTable, kMlgCardNameColumn)) {
                RunStatement(statement);
            }
        });
    } else {
        Decided(kumiaiColumn + " present", "skipped");
        Advance(ColumnStatements(kKumiaiTable, kMlgCardNameColumn).size());
    }

    // The facility opens the file on a connection of its own, whether or
    // not a column is needed.
    const std::shared_ptr<engine::DaoDatabase> database =
        ThroughTableDefinition("opening the database for its table definitions", [&] {
            std::shared_ptr<engine::DaoDatabase> opened = engine::DaoDatabase::create();
            opened->Open(target_.FilePath(), false, false, tableDefinitionConnect);
            return opened;
        });
    const std::string seikyuTable(kSeikyuDataTable);
    for (std::string_view column : {kMlgCardSeikyuKingakuColumn, kMlgCardSavingKingakuColumn}) {
        const std::string field(column);
        if (session_.TableExists(seikyuTable) != 1) {
            Decided(seikyuTable + " absent", "column " + field + " skipped");
            Advance(ColumnStatements(kSeikyuDataTable, column).size());
        } else if (session_.ColumnExists(seikyuTable, field) != 0) {
            Decided("column " + field + " of " + seikyuTable + " present", "skipped");
            Advance(ColumnStatements(kSeikyuDataTable, column).size());
        } else {
            Because("column " + field + " of " + seikyuTable + " absent");
            ThroughTableDefinition("adding the column " + std::string(column), [&] {
                std::shared_ptr<engine::DaoTableDef> definition =
                    database->OpenTableDef(seikyuTable);
                definition->CreateField(SeikyuColumnFieldInfo(column));
                definition->Close();
            });
            if (listener_ != nullptr) {
                listener_->FieldAdded(reason_, seikyuTable, field);
            }
            for (const std::string& statement : ColumnStatements(kSeikyuDataTable, column)) {
                RunStatement(statement);
            }
        }
    }
    ThroughTableDefinition("closing the database of the table definitions",
                           [&] { database->Close(); });
}

void UpdateScriptRunner::RunCreationBlocks() {
    for (const CreationBlock& block : CreationBlocks()) {
        if (session_.TableExists(block.table) != 0) {
            Decided(block.table + " exists", "block skipped");
            Advance(block.statements.size());
            continue;
        }
        const std::string blockReason = block.table + " absent";
        // A block whose table exists is skipped whole, and three of the
        // tables are not dropped beforehand: a block stopped after its
        // table was made would otherwise never get its indexes or rows.
        RunInSessionTransaction([&] {
            for (const ScriptStatement& statement : block.statements) {
                const std::string gateAnswer = GateAnswer(statement.gate);
                if (!StatementAllowed(statement.gate)) {
                    Decided(gateAnswer, "foreign key left out: " + statement.text);
                    Advance(1);
                    continue;
                }
                Because(gateAnswer.empty() ? blockReason : gateAnswer);
                RunStatement(statement.text);
            }
        });
    }
}

bool UpdateScriptRunner::StatementAllowed(StatementGate gate) const {
    switch (gate) {
        case StatementGate::Always:
            return true;
        case StatementGate::KumiRelationshipsAllow:
            return ForeignKeyAllowed(counts_.kumi);
        case StatementGate::SofuRelationshipsAllow:
            return ForeignKeyAllowed(counts_.sofu);
    }
    return false;
}

std::string UpdateScriptRunner::GateAnswer(StatementGate gate) const {
    switch (gate) {
        case StatementGate::Always:
            return {};
        case StatementGate::KumiRelationshipsAllow:
            return "relationship count of " + std::string(kKumiTable) + " " +
                   std::to_string(counts_.kumi);
        case StatementGate::SofuRelationshipsAllow:
            return "relationship count of " + std::string(kSofuTable) + " " +
                   std::to_string(counts_.sofu);
    }
    return {};
}

void UpdateScriptRunner::RunInSessionTransaction(const std::function<void()>& statements) {
    engine::Transaction transaction(RequireSessionConnection(session_));
    statements();
    transaction.commit();
}

void UpdateScriptRunner::RunVersionStamp() {
    // All of the stamp or none of it: a database that read 1.26 without its
    // comment rows would be refused by every later run and stay half-stamped.
    RunInSessionTransaction([&] {
        const std::string commentTable(kVersionCommentTable);
        for (const std::string& statement : VersionStampStatements()) {
            if (!CreatesVersionCommentTable(statement)) {
                Because("version stamp");
            } else if (session_.TableExists(commentTable) == 0) {
                Because(commentTable + " absent");
            } else {
                Decided(commentTable + " exists", "skipped");
                Advance(1);
                continue;
            }
            RunStatement(statement);
        }
    });
}

void UpdateScriptRunner::ReportDatabaseFailure(const engine::ComError& error) {
    ShowOk(std::string(kFailedText), texts_.applicationTitle, platform::MessageIcon::None,
           platform::MessageOwner::Window);
    LogAndShowReport(db::ComErrorText(error), currentStatement_);
}

void UpdateScriptRunner::LogAndShowReport(const std::string& errorText,
                                          const std::string& statement) {
    host_.WriteErrorLog(std::string(kFunctionName), statement, errorText);
    view_.ShowUpdateErrorDialog(errors::WithCrLf(errorText) + "\r\n\r\n" + statement +
                                UpdateStepsText(updateSteps_) + "\r\n");
}

void UpdateScriptRunner::ReportOtherFailure(const std::string& why) {
    ShowOk(std::string(db::kUnhandledExceptionText), texts_.applicationTitle,
           platform::MessageIcon::Warning, platform::MessageOwner::Application);
    ShowOk(std::string(kFailedText), texts_.applicationTitle, platform::MessageIcon::None,
           platform::MessageOwner::Window);
    // The boxes are the ones the operators know; the log and the report say
    // what actually failed (a full disk while a column was added), so that
    // someone can act on it. No statement was running: the last one that ran
    // succeeded, and naming it would mislead.
    LogAndShowReport(why, "");
}

}  // namespace update
