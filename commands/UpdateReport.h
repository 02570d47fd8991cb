// What an update did or, in a dry run, would do: its steps (each probe answer
// with the statement it led to), its outcome and the failure, as text for
// the terminal and as fields of the JSON report.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/JsonReport.h"
#include "host/HostGuard.h"
#include "update/UpdateDriver.h"
#include "update/UpdateScriptRunner.h"

namespace commands {

// Records the steps of the runs it listens to, in order.
class UpdateStepRecorder : public update::UpdateRunListener {
  public:
    struct Step {
        std::string probe;                     // the probe answer
        std::optional<std::string> statement;  // what ran because of it
        std::optional<std::string> verdict;    // or what happened instead
    };

    void Decided(const std::string& answer, const std::string& verdict) override;
    void StatementRun(const std::string& reason, const std::string& statement) override;
    void FieldAdded(const std::string& reason, const std::string& table,
                    const std::string& field) override;

    const std::vector<Step>& Steps() const { return steps_; }
    // The statements that ran, in order.
    std::vector<std::string> Statements() const;

    // "probe → statement" or "probe → verdict", one line each, passwords masked.
    void Print(std::ostream& out) const;
    // [{"probe": ..., "statement": ...} or {"probe": ..., "verdict": ...}]
    QJsonArray ToJson() const;

  private:
    std::vector<Step> steps_;
};

// The outcome word of an update command that ended where `driver` and
// `runner` say; `backupCopyFailed` tells a failed backup copy from a
// declined one.
const char* UpdateOutcomeWord(const update::UpdateDriver& driver,
                              const update::UpdateScriptRunner& runner, bool backupCopyFailed);

// What became of the host application's window: "none" (none was open),
// "kept-open" (the operator said No), "closed" or "still-open" (after the
// close request and the wait); null when the guard did not run.
QJsonValue HostWindowJson(host::HostGuardOutcome outcome);

// "1.25" from the window's "ver.1.25"; null when nothing was read.
QJsonValue VersionJson(const std::string& versionText);

// {"path": ..., "existed": ...}: the backup file and whether it was there
// before the command; an update adds "taken" and "size".
QJsonObject BackupJson(const std::string& path, bool existed);
// The size of a file in bytes, null when it cannot be read.
QJsonValue FileSizeJson(const std::string& path);

// The fields an update and its dry run share: outcome, the failing statement
// and its error text (the gate's refusal when the version stopped it, null
// when the script ran without failing), and the steps.
void SetUpdateFields(cli::JsonReport& report, const char* outcome,
                     const update::UpdateDriver& driver, const update::UpdateScriptRunner& runner,
                     const UpdateStepRecorder& steps);

}  // namespace commands
