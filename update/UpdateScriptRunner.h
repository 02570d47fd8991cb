// The version 1.26 update script run on the open database session: the last
// confirmation, the phases in their fixed order, the progress bar, and the
// success and failure endings.
//
// No transaction encloses the script: every drop, column addition and table
// creation is guarded by a probe, so a run that stopped part-way is mended by
// running it again. What the probes cannot mend runs in a transaction of its
// own: t_kumiai's new column with its first value, each creation block (a
// block is skipped whole once its table exists), and the version stamp, so a
// database never reads 1.26 without its comment rows.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/DatabaseSession.h"
#include "host/TargetDatabase.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "update/UpdateHost.h"
#include "update/UpdateView.h"
#include "update/Version126Script.h"

namespace update {

// The services the update uses; each must outlive it.
struct UpdateServices {
    platform::MessageBoxes& messageBoxes;
    platform::Cursor& cursor;
    platform::MessagePump& messagePump;
};

// Texts the main window owns and the update shows or records.
struct UpdateTexts {
    std::string applicationTitle;  // `ApplicationTitle`
    std::string releaseDateText;   // `ReleaseDateText`, update::kReleaseDate
};

// A failure of the engine's table-definition facility. It is not an error of
// the session, so the run ends through its other failure path.
class TableDefinitionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One recorded step of an update. The version 1.26 script records none; the
// list and its text are kept so a later version's steps show in the report.
class CDataUpdateStep {
  public:
    explicit CDataUpdateStep(std::string text) : text(std::move(text)) {}
    std::string text;
};

// The list owns its records.
using UpdateStepList = std::vector<std::unique_ptr<CDataUpdateStep>>;

// "%3d " + text + "\n" for each record, numbered from 1.
std::string UpdateStepsText(const UpdateStepList& steps);

// The relationship counts of one run, filled by the count scan.
struct RelationshipCounts {
    int kumi = 0;
    int sofu = 0;
    int cprtCard = 0;
};

// Watches a run: what each probe answered and what ran because of it, in
// the order of the run. A dry run's report and the update's JSON are made
// from it.
class UpdateRunListener {
  public:
    virtual ~UpdateRunListener() = default;
    // A probe answered and nothing runs because of it; `verdict` says what
    // happens instead ("skipped", "foreign key left out: ...").
    virtual void Decided(const std::string& answer, const std::string& verdict) = 0;
    // A statement ran without error; `reason` is the probe answer that led
    // to it ("t_mlg_card absent"), or what it belongs to when no probe
    // guards it ("version stamp").
    virtual void StatementRun(const std::string& reason, const std::string& statement) = 0;
    // A field added through the table-definition facility, which runs no
    // statement of ours.
    virtual void FieldAdded(const std::string& reason, const std::string& table,
                            const std::string& field) = 0;
};

// How the last OnUpdateTables ended.
enum class RunOutcome { NotRun, Declined, Completed, DatabaseError, OtherError };

class UpdateScriptRunner {
  public:
    // Everything handed in must outlive the runner.
    UpdateScriptRunner(UpdateView& view, UpdateHost& host, db::DatabaseSession& session,
                       const host::TargetDatabase& target, UpdateServices services,
                       UpdateTexts texts);

    // Asks "更新してもよろしいですか？" and, on Yes, runs the script and
    // reports its outcome itself. True when the script ran to its end; false
    // when the operator declined or a step failed.
    bool OnUpdateTables();

    // Keeps `statement` as the current statement and runs it on the session.
    // Raises engine::ComError when the database refuses it.
    void RunStatement(const std::string& statement);

    // The statement being run, or the last one run; what a failure report
    // shows as the query.
    const std::string& CurrentStatement() const { return currentStatement_; }

    UpdateStepList& UpdateSteps() { return updateSteps_; }
    const RelationshipCounts& Counts() const { return counts_; }

    // Tests only: called after every statement the runner ran, with its
    // number (from 1 within the run) and text; whatever it raises ends the
    // run as that statement's failure would.
    using StatementHook = std::function<void(int statementNumber, const std::string& statement)>;
    void SetStatementHookForTesting(StatementHook hook) { statementHook_ = std::move(hook); }

    // Whether the run should end before its next statement (the dry run's
    // copy stops when the program is asked to end; the real update always
    // runs to its end once begun, so the database is never left part-way by
    // a request). The run then ends as a failed statement would.
    void SetStopRequest(std::function<bool()> stopRequested) {
        stopRequested_ = std::move(stopRequested);
    }

    // `listener` (may be null; must outlive the runs it watches) hears every
    // probe answer and statement of the following runs.
    void SetRunListener(UpdateRunListener* listener) { listener_ = listener; }

    // How the last run ended, and on a failure the error text block of the
    // database's error, or the message of any other.
    RunOutcome LastOutcome() const { return lastOutcome_; }
    const std::string& FailureText() const { return failureText_; }

  private:
    // The probe answer the following statements run because of.
    void Because(std::string reason) { reason_ = std::move(reason); }
    void Decided(const std::string& answer, const std::string& verdict);
    // Moves the progress bar by `steps` of the run's work (a statement run or
    // found done, a table scanned) and lets the window paint.
    void Advance(std::size_t steps);
    void RunDropPhase();
    void RunRelationshipCountScan();
    void RunColumnAdditions(const std::string& tableDefinitionConnect);
    void RunCreationBlocks();
    bool StatementAllowed(StatementGate gate) const;
    // The count a gated statement waits on, as a probe answer; empty for
    // a statement that always runs.
    std::string GateAnswer(StatementGate gate) const;
    void RunVersionStamp();
    // Runs `statements` in one transaction of the session: all take effect
    // or, when one raises, none.
    void RunInSessionTransaction(const std::function<void()>& statements);
    void ReportDatabaseFailure(const engine::ComError& error);
    void ReportOtherFailure(const std::string& why);
    // The error log and the error report, both naming the statement that
    // failed (empty when none was running).
    void LogAndShowReport(const std::string& errorText, const std::string& statement);
    void ShowOk(std::string text, std::string caption, platform::MessageIcon icon,
                platform::MessageOwner owner);

    UpdateView& view_;
    UpdateHost& host_;
    db::DatabaseSession& session_;
    const host::TargetDatabase& target_;
    UpdateServices services_;
    UpdateTexts texts_;
    std::string currentStatement_;
    UpdateStepList updateSteps_;
    RelationshipCounts counts_;
    int statementsRun_ = 0;  // within the current run, for the test hook
    int progressTotal_ = 0;  // the progress bar's steps in the current run
    StatementHook statementHook_;
    std::function<bool()> stopRequested_;
    UpdateRunListener* listener_ = nullptr;
    std::string reason_;
    RunOutcome lastOutcome_ = RunOutcome::NotRun;
    std::string failureText_;
};

}  // namespace update
