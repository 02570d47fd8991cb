#include "app/CommandReports.h"

#include <sys/stat.h>

#include <ostream>
#include <sstream>

#include "app/JsonReport.h"
#include "app/UpdateReport.h"
#include "app/VantolyPatchDlg.h"
#include "app/WindowCommands.h"
#include "backup/Backup.h"

namespace app {

namespace {

constexpr const char* kOutcomeRestored = "restored";
constexpr const char* kOutcomeReady = "ready";

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The fields every report of the window's commands starts with.
JsonReport StartReport(const char* command, const CVantolyPatchDlg& dialog) {
    JsonReport report(command);
    report.Set("database", dialog.target.FilePath());
    report.Set("versionBefore", VersionJson(dialog.target.VersionText));
    return report;
}

// Whether the database was open; when not, why, in the report.
bool SetOpenError(JsonReport& report, const CVantolyPatchDlg& dialog) {
    if (dialog.session.Connected()) {
        report.SetNull("error");
        return true;
    }
    report.Set("error", NotOpenText(dialog));
    return false;
}

}  // namespace

int ReportStatus(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err) {
    JsonReport report = StartReport("status", dialog);
    report.Set("folder", dialog.target.PathName);
    report.Set("name", dialog.target.FileName);
    report.Set("extension", dialog.target.Extension);
    report.Set("title", dialog.windowTitle().toStdString());
    report.Set("updateButton", dialog.updateButton()->isEnabled());
    report.Set("restoreButton", dialog.restoreButton()->isEnabled());
    const std::string backupPath = backup::BackupFilePath(dialog.target);
    report.Set("backup", BackupJson(backupPath, Exists(backupPath)));
    report.Set("versionAfter", VersionJson(dialog.target.VersionText));
    const bool open = SetOpenError(report, dialog);
    const QJsonValue version = VersionJson(dialog.target.VersionText);
    auto versionIs = [&version](std::string_view text) {
        return version == QJsonValue(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    const char* outcome = !open                                        ? kOutcomeFailed
                          : versionIs(update::kFromVersion) ? kOutcomeReady
                          : versionIs(update::kToVersion)   ? kOutcomeAlreadyCurrent
                                                                          : kOutcomeRefused;
    report.Set("outcome", outcome);
    report.Write(out);
    if (!open) {
        err << "VantolyPatch: " << NotOpenText(dialog) << "\n";
        return cli::kExitFailed;
    }
    return cli::kExitOk;
}

int RunReportedCommand(CVantolyPatchDlg& dialog, const cli::CommandLine& line, const CountingMessageBoxes& boxes,
                       std::ostream& out, std::ostream& err) {
    const bool update = line.command == cli::Command::kUpdate;
    JsonReport report = StartReport(update ? "update" : "restore", dialog);
    const std::string backupPath = backup::BackupFilePath(dialog.target);
    const bool backupExisted = Exists(backupPath);
    const bool buttonEnabled = update ? dialog.updateButton()->isEnabled() : dialog.restoreButton()->isEnabled();
    const int failuresBefore = boxes.failures;
    const int declinedBefore = boxes.declined;
    UpdateStepRecorder steps;
    dialog.updateRunner().SetRunListener(&steps);
    std::ostringstream lines;  // the command's own lines; the JSON takes their place
    const int status = RunWindowCommand(dialog, line, boxes, lines, err);
    dialog.updateRunner().SetRunListener(nullptr);

    report.Set("versionAfter", VersionJson(dialog.target.VersionText));
    if (update) {
        report.Set("dryRun", false);
        const bool failed = boxes.failures != failuresBefore;
        const char* outcome = buttonEnabled ? UpdateOutcomeWord(dialog.updateDriver(), dialog.updateRunner(), failed)
                                            : kOutcomeFailed;
        SetUpdateFields(report, outcome, dialog.updateRunner(), steps);
        if (!buttonEnabled) report.Set("error", NotOpenText(dialog));
        QJsonObject backup = BackupJson(backupPath, backupExisted);
        const bool taken = !backupExisted && Exists(backupPath);
        backup.insert(QStringLiteral("taken"), taken);
        backup.insert(QStringLiteral("size"), taken ? FileSizeJson(backupPath) : QJsonValue(QJsonValue::Null));
        report.Set("backup", backup);
    } else {
        const char* outcome = status == cli::kExitOk                  ? kOutcomeRestored
                              : !buttonEnabled                        ? kOutcomeRefused
                              : boxes.declined != declinedBefore      ? kOutcomeDeclined
                                                                      : kOutcomeFailed;
        report.Set("outcome", outcome);
        report.Set("backup", BackupJson(backupPath, backupExisted));
        if (!dialog.session.Connected() && status != cli::kExitOk) {
            report.Set("error", NotOpenText(dialog));
        } else {
            report.SetNull("error");
        }
    }
    report.Write(out);
    return status;
}

}  // namespace app
