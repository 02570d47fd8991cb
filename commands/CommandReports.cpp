#include "commands/CommandReports.h"

#include <sys/stat.h>

#include <ostream>
#include <sstream>

#include "backup/Backup.h"
#include "backup/Restore.h"
#include "cli/JsonReport.h"
#include "commands/CommandWords.h"
#include "commands/UpdateReport.h"
#include "update/UpdateDriver.h"
#include "update/UpdateScriptRunner.h"

namespace commands {

namespace {

constexpr const char* kOutcomeRestored = "restored";
constexpr const char* kOutcomeReady = "ready";

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The fields every report of the window's commands starts with.
cli::JsonReport StartReport(const char* command, const HeadlessMainWindow& window) {
    cli::JsonReport report(command);
    report.SetPath("database", window.logic().target.FilePath());
    report.Set("versionBefore", VersionJson(window.logic().target.VersionText));
    return report;
}

// Whether the database was open; when not, why, in the report.
bool SetOpenError(cli::JsonReport& report, const HeadlessMainWindow& window) {
    if (window.logic().session.Connected()) {
        report.SetNull("error");
        return true;
    }
    report.Set("error", NotOpenText(window));
    return false;
}

}  // namespace

int ReportStatus(HeadlessMainWindow& window, std::ostream& out, std::ostream& err) {
    const host::TargetDatabase& target = window.logic().target;
    cli::JsonReport report = StartReport("status", window);
    report.SetPath("folder", target.PathName);
    report.SetPath("name", target.FileName);
    report.Set("extension", target.Extension);
    report.Set("title", window.Title());
    report.Set("updateButton", window.UpdateButtonEnabled());
    report.Set("restoreButton", window.RestoreButtonEnabled());
    const std::string backupPath = backup::BackupFilePath(target);
    report.Set("backup", BackupJson(backupPath, Exists(backupPath)));
    report.Set("versionAfter", VersionJson(target.VersionText));
    const bool open = SetOpenError(report, window);
    const QJsonValue version = VersionJson(target.VersionText);
    auto versionIs = [&version](std::string_view text) {
        return version ==
               QJsonValue(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    const char* outcome = !open                             ? cli::kOutcomeFailed
                          : versionIs(update::kFromVersion) ? kOutcomeReady
                          : versionIs(update::kToVersion)   ? cli::kOutcomeAlreadyCurrent
                                                            : cli::kOutcomeRefused;
    report.Set("outcome", outcome);
    report.Write(out);
    if (!open) {
        err << "VantolyPatch: " << NotOpenText(window) << "\n";
        return cli::kExitFailed;
    }
    return cli::kExitOk;
}

int RunReportedCommand(HeadlessMainWindow& window, const cli::CommandLine& line, WindowCommand run,
                       std::ostream& out, std::ostream& err) {
    MainWindowLogic& logic = window.logic();
    const bool update = line.command == cli::Command::kUpdate;
    cli::JsonReport report = StartReport(update ? "update" : "restore", window);
    const std::string backupPath = backup::BackupFilePath(logic.target);
    const bool backupExisted = Exists(backupPath);
    const bool buttonEnabled =
        update ? window.UpdateButtonEnabled() : window.RestoreButtonEnabled();
    UpdateStepRecorder steps;
    logic.updateRunner().SetRunListener(&steps);
    std::ostringstream lines;  // the command's own lines; the JSON takes their place
    const int status = run(window, line, lines, err);
    logic.updateRunner().SetRunListener(nullptr);

    report.Set("versionAfter", VersionJson(logic.target.VersionText));
    if (update) {
        report.Set("dryRun", false);
        const bool backupFailed = logic.BackupCopyFailure().has_value();
        const char* outcome = buttonEnabled ? UpdateOutcomeWord(logic.updateDriver(),
                                                                logic.updateRunner(), backupFailed)
                                            : cli::kOutcomeFailed;
        SetUpdateFields(report, outcome, logic.updateDriver(), logic.updateRunner(), steps);
        if (!buttonEnabled) report.Set("error", NotOpenText(window));
        report.Set("hostWindow", HostWindowJson(logic.HostGuard()));
        if (logic.ErrorLogPath())
            report.SetPath("errorLog", *logic.ErrorLogPath());
        else
            report.SetNull("errorLog");
        if (backupFailed)
            report.Set("error", "the backup copy failed: " + *logic.BackupCopyFailure());
        QJsonObject backup = BackupJson(backupPath, backupExisted);
        const bool taken = !backupExisted && Exists(backupPath);
        backup.insert(QStringLiteral("taken"), taken);
        backup.insert(QStringLiteral("size"),
                      taken ? FileSizeJson(backupPath) : QJsonValue(QJsonValue::Null));
        report.Set("backup", backup);
    } else {
        const bool declined = logic.restore().LastOutcome() == backup::RestoreOutcome::Declined;
        const char* outcome = status == cli::kExitOk ? kOutcomeRestored
                              : !buttonEnabled       ? cli::kOutcomeRefused
                              : declined             ? cli::kOutcomeDeclined
                                                     : cli::kOutcomeFailed;
        report.Set("outcome", outcome);
        report.Set("backup", BackupJson(backupPath, backupExisted));
        QJsonArray renamed;
        for (const backup::RenamedFile& file : logic.restore().Renamed()) {
            QJsonObject entry;
            cli::SetPathJson(entry, "from", file.from);
            cli::SetPathJson(entry, "to", file.to);
            renamed.append(entry);
        }
        report.Set("renamed", renamed);
        if (status == cli::kExitOk) {
            report.SetNull("error");
        } else if (const std::optional<std::string>& warning = logic.restore().FailureText()) {
            report.SetMasked("error", *warning);
        } else if (!logic.session.Connected()) {
            report.Set("error", NotOpenText(window));
        } else if (!buttonEnabled) {
            report.Set("error", NoBackupText(window));
        } else {
            report.SetNull("error");
        }
    }
    report.Write(out);
    return status;
}

}  // namespace commands
