#include "commands/UpdateReport.h"

#include <sys/stat.h>

#include <ostream>
#include <string_view>

#include "db/PasswordMask.h"

namespace commands {

namespace {

constexpr std::string_view kVersionPrefix = "ver.";

bool ScriptFailed(const update::UpdateScriptRunner& runner) {
    return runner.LastOutcome() == update::RunOutcome::DatabaseError ||
           runner.LastOutcome() == update::RunOutcome::OtherError;
}

}  // namespace

void UpdateStepRecorder::Decided(const std::string& answer, const std::string& verdict) {
    steps_.push_back({answer, std::nullopt, verdict});
}

void UpdateStepRecorder::StatementRun(const std::string& reason, const std::string& statement) {
    steps_.push_back({reason, statement, std::nullopt});
}

void UpdateStepRecorder::FieldAdded(const std::string& reason, const std::string& table,
                                    const std::string& field) {
    steps_.push_back({reason, std::nullopt,
                      "field " + field + " added to " + table + " through the table definitions"});
}

std::vector<std::string> UpdateStepRecorder::Statements() const {
    std::vector<std::string> statements;
    for (const Step& step : steps_) {
        if (step.statement) statements.push_back(*step.statement);
    }
    return statements;
}

void UpdateStepRecorder::Print(std::ostream& out) const {
    for (const Step& step : steps_) {
        out << step.probe << " → "
            << db::MaskPasswords(step.statement ? *step.statement : step.verdict.value_or(""))
            << "\n";
    }
}

QJsonArray UpdateStepRecorder::ToJson() const {
    QJsonArray steps;
    for (const Step& step : steps_) {
        QJsonObject entry;
        entry.insert(QStringLiteral("probe"), cli::JsonText(step.probe));
        if (step.statement)
            entry.insert(QStringLiteral("statement"), cli::JsonMaskedText(*step.statement));
        if (step.verdict)
            entry.insert(QStringLiteral("verdict"), cli::JsonMaskedText(*step.verdict));
        steps.append(entry);
    }
    return steps;
}

const char* UpdateOutcomeWord(const update::UpdateDriver& driver,
                              const update::UpdateScriptRunner& runner, bool backupCopyFailed) {
    switch (driver.LastOutcome()) {
        case update::DriverOutcome::HostGuardDeclined:
            return cli::kOutcomeDeclined;
        case update::DriverOutcome::WrongVersion:
            return driver.FoundVersion() == update::kToVersion ? cli::kOutcomeAlreadyCurrent
                                                               : cli::kOutcomeRefused;
        case update::DriverOutcome::VersionUnreadable:
            return cli::kOutcomeRefused;
        case update::DriverOutcome::BackupAbandoned:
            return backupCopyFailed ? cli::kOutcomeFailed : cli::kOutcomeDeclined;
        case update::DriverOutcome::ScriptRan:
            if (runner.LastOutcome() == update::RunOutcome::Completed) return cli::kOutcomeUpdated;
            if (runner.LastOutcome() == update::RunOutcome::Declined) return cli::kOutcomeDeclined;
            return cli::kOutcomeFailed;
        case update::DriverOutcome::NotRun:
            break;
    }
    return cli::kOutcomeFailed;
}

QJsonValue HostWindowJson(host::HostGuardOutcome outcome) {
    switch (outcome) {
        case host::HostGuardOutcome::NoHost:
            return cli::JsonText("none");
        case host::HostGuardOutcome::KeptOpen:
            return cli::JsonText("kept-open");
        case host::HostGuardOutcome::Closed:
            return cli::JsonText("closed");
        case host::HostGuardOutcome::StillOpen:
            return cli::JsonText("still-open");
        case host::HostGuardOutcome::NotRun:
            break;
    }
    return QJsonValue(QJsonValue::Null);
}

QJsonValue VersionJson(const std::string& versionText) {
    std::string version = versionText;
    if (version.starts_with(kVersionPrefix)) version.erase(0, kVersionPrefix.size());
    return version.empty() ? QJsonValue(QJsonValue::Null) : cli::JsonText(version);
}

QJsonObject BackupJson(const std::string& path, bool existed) {
    QJsonObject backup;
    cli::SetPathJson(backup, "path", path);
    backup.insert(QStringLiteral("existed"), existed);
    return backup;
}

QJsonValue FileSizeJson(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return QJsonValue(QJsonValue::Null);
    return static_cast<double>(info.st_size);
}

void SetUpdateFields(cli::JsonReport& report, const char* outcome,
                     const update::UpdateDriver& driver, const update::UpdateScriptRunner& runner,
                     const UpdateStepRecorder& steps) {
    report.Set("outcome", outcome);
    // A failure of the table-definition facility has no statement of its own.
    if (runner.LastOutcome() == update::RunOutcome::DatabaseError) {
        report.SetMasked("failingStatement", runner.CurrentStatement());
    } else {
        report.SetNull("failingStatement");
    }
    if (ScriptFailed(runner)) {
        report.SetMasked("error", runner.FailureText());
    } else if (outcome == std::string_view(cli::kOutcomeRefused) && !driver.GateRefusal().empty()) {
        report.SetMasked("error", driver.GateRefusal());
    } else {
        report.SetNull("error");
    }
    report.Set("steps", steps.ToJson());
}

}  // namespace commands
