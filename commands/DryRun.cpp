#include "commands/DryRun.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <stdexcept>

#include "backup/Backup.h"
#include "cli/JsonReport.h"
#include "commands/CommandWords.h"
#include "commands/UpdateReport.h"
#include "db/PasswordMask.h"
#include "engine/DatabaseFiles.h"
#include "platform/HeadlessMessageBoxes.h"
#include "platform/Interrupts.h"
#include "platform/Temporaries.h"
#include "update/UpdateDriver.h"
#include "update/UpdateScriptRunner.h"
#include "update/VersionFacts.h"

namespace commands {

namespace {

namespace fs = std::filesystem;

// A folder only this process uses, removed with everything in it.
class PrivateFolder {
  public:
    PrivateFolder() {
        // Another run's sweep may take a folder between its creation and
        // its lock (it cannot tell it from a killed run's yet): a new name then.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string pattern = platform::TemporaryFilesFolder() + platform::kDryRunFolderPrefix;
            pattern += "XXXXXX";
            if (::mkdtemp(pattern.data()) == nullptr) {
                throw std::runtime_error("cannot create a temporary folder for the copy (" +
                                         pattern + "): " + std::strerror(errno));
            }
            // Held while the run lasts; a killed run's folder is removed by the next run.
            if (held_.Hold(pattern, platform::TemporaryKind::Folder)) {
                path_ = pattern + "/";
                return;
            }
        }
        throw std::runtime_error("cannot keep a temporary folder for the copy in " +
                                 platform::TemporaryFilesFolder() +
                                 ": other runs remove every one it makes");
    }
    ~PrivateFolder() {
        std::error_code ignored;  // Remove() reported it already where it mattered
        if (!removed_) fs::remove_all(path_, ignored);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Why the folder could not be removed, or nothing.
    std::optional<std::string> Remove() {
        removed_ = true;
        std::error_code error;
        fs::remove_all(path_, error);
        if (error) return "the copy in " + path_ + " could not be removed: " + error.message();
        return std::nullopt;
    }

  private:
    std::string path_;
    bool removed_ = false;
    platform::HeldTemporary held_;  // released after the folder is removed
};

// The window the update sees in a dry run: nothing is shown; the version
// text is kept and the error report printed.
class DryRunWindow : public db::SessionWindow, public update::UpdateView {
  public:
    explicit DryRunWindow(std::ostream& err) : err_(err) {}

    void SetWindowTitle(const std::string&) override {}
    void EnableUpdateButton() override {}
    void ShowVersionText(const std::string& versionText) override { versionText_ = versionText; }
    void RefreshControlState(db::ControlState) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int position) override { progress_ = position; }
    int ProgressPosition() const override { return progress_; }
    void ShowProgressBar() override {}
    void HideProgressBar() override {}
    void ShowUpdateErrorDialog(const std::string& reportText) override {
        PrintUpdateReport(err_, reportText);
    }

    const std::string& VersionText() const { return versionText_; }

  private:
    std::ostream& err_;
    std::string versionText_;
    int progress_ = 0;
};

// The update's host in a dry run: nothing is asked, copied or written.
class DryRunHost : public update::UpdateHost {
  public:
    explicit DryRunHost(std::ostream& err) : err_(err) {}

    // The operator is not asked: the copy is no business of the host application.
    bool AskToCloseHostApplication() override { return true; }
    // The backup is reported from the real database's side, never taken.
    update::BackupOutcome TakePreUpdateBackup() override { return update::BackupOutcome::Proceed; }
    void WriteErrorLog(const std::string&, const std::string&, const std::string&) override {
        err_ << "VantolyPatch: dry run: the update would write an error log into DBErr/ here\n";
    }
    void CopyTextToClipboard(const std::string&) override {}

  private:
    std::ostream& err_;
};

struct BackupPlan {
    std::string path;
    bool exists = false;
    std::optional<std::string> problem;  // why the name can hold no backup: the update stops there
    std::optional<std::uintmax_t> size;  // of the database, what a new backup would hold
};

BackupPlan PlanBackup(const host::TargetDatabase& target) {
    BackupPlan plan;
    plan.path = backup::BackupFilePath(target);
    struct stat info {};
    plan.exists = ::stat(plan.path.c_str(), &info) == 0;
    plan.problem = backup::BackupNameProblem(target);
    if (::stat(target.FilePath().c_str(), &info) == 0)
        plan.size = static_cast<std::uintmax_t>(info.st_size);
    return plan;
}

void PrintBackupPlan(std::ostream& out, const BackupPlan& plan) {
    out << "backup\t" << plan.path;
    if (plan.problem) {
        out << " (the backup copy would fail, and the update stop: " << *plan.problem << ")\n";
    } else if (plan.exists) {
        out << " (exists already: the update would ask to go on without a new one)\n";
    } else {
        out << " (would be taken: " << (plan.size ? std::to_string(*plan.size) : "?")
            << " bytes)\n";
    }
}

// What the update would do about the backup once its gate passed.
QJsonObject PlannedBackupJson(const BackupPlan& plan, bool gatePassed) {
    QJsonObject backup = BackupJson(plan.path, plan.exists);
    const bool taken = gatePassed && !plan.exists && !plan.problem;
    backup.insert(QStringLiteral("taken"), taken);
    backup.insert(QStringLiteral("size"), taken && plan.size
                                              ? QJsonValue(static_cast<double>(*plan.size))
                                              : QJsonValue(QJsonValue::Null));
    return backup;
}

void PrintGate(std::ostream& out, const update::UpdateDriver& driver) {
    out << "version gate\t";
    switch (driver.LastOutcome()) {
        case update::DriverOutcome::WrongVersion:
            out << "refused: the database reads \"" << driver.FoundVersion() << "\", not "
                << update::kRequiredVersionText << "\n";
            return;
        case update::DriverOutcome::VersionUnreadable:
            out << "refused: the version cannot be read\n";
            return;
        default:
            out << "passed (" << update::kRequiredVersionText << ")\n";
            return;
    }
}

}  // namespace

int RunDryRun(HeadlessMainWindow& main, const cli::CommandLine& line, std::ostream& out,
              std::ostream& err) {
    MainWindowLogic& logic = main.logic();
    cli::JsonReport report("update");
    report.Set("dryRun", true);
    const host::TargetDatabase& target = logic.target;
    report.SetPath("database", target.FilePath());
    report.Set("versionBefore", VersionJson(target.VersionText));
    const BackupPlan plan = PlanBackup(target);
    report.Set("backup", PlannedBackupJson(plan, false));
    auto fail = [&](const std::string& why) {
        err << "VantolyPatch: " << why << "\n";
        if (line.json) {
            report.Set("outcome", cli::kOutcomeFailed);
            report.SetNull("versionAfter");
            report.SetNull("failingStatement");
            report.SetMasked("error", why);
            report.Set("steps", QJsonArray());
            report.Write(out);
        }
        return cli::kExitFailed;
    };
    if (!logic.session.Connected()) return fail(NotOpenText(main));

    std::optional<PrivateFolder> folder;
    try {
        folder.emplace();
    } catch (const std::runtime_error& error) {
        return fail(error.what());
    }
    host::TargetDatabase copy = target;
    copy.PathName = folder->Path();
    // A few hundred pages at a time, the read lock dropped between steps:
    // the host application's writes wait a step at most, never the whole copy.
    try {
        engine::CopyDatabaseOnline(target.FilePath(), copy.FilePath());
    } catch (const engine::ComError& error) {
        return fail("dry run: cannot copy the database: " +
                    error.description().value_or(error.what()));
    }
    report.SetTiming("copy", report.SecondsSinceStart());
    err << "VantolyPatch: dry run on a private copy: " << copy.FilePath() << "\n";

    // Every question of the update is answered Yes: the dry run shows the
    // whole way the update takes once the operator agrees.
    platform::HeadlessMessageBoxes boxes(logic.applicationTitle(),
                                         platform::HeadlessMessageBoxes::Questions::AnswerYes, err);
    DryRunWindow window(err);
    DryRunHost host(err);
    UpdateStepRecorder steps;
    const char* outcome = cli::kOutcomeFailed;
    {
        const std::string releaseDate(update::kReleaseDate);
        db::DatabaseSession session(window, boxes,
                                    db::SessionTexts{logic.applicationTitle(), releaseDate});
        session.SetPassword(copy.Password);
        session.OpenDatabase(copy.PathName, copy.FileName, copy.Extension);
        if (!session.Connected()) {
            return fail("dry run: the copy does not open: " +
                        session.LastOpenErrorText().value_or("no reason given"));
        }
        const update::UpdateTexts texts{logic.applicationTitle(), releaseDate};
        update::UpdateScriptRunner runner(
            window, host, session, copy,
            update::UpdateServices{boxes, logic.services().cursor, logic.services().messagePump},
            texts);
        update::UpdateDriver driver(window, host, session, runner, boxes, texts);
        runner.SetRunListener(&steps);
        // Asked to end, the run on the copy stops at once: its statement,
        // and the script before its next one.
        runner.SetStopRequest([] { return platform::InterruptRequested(); });
        const std::shared_ptr<engine::Connection> connection = session.SessionConnection();
        const platform::InterruptHook stopStatement([connection] { connection->Cancel(); });
        driver.OnUpdateCommand();
        session.CloseDatabase();

        // The real update takes its backup once the gate has passed, and a
        // name that can hold none stops it before its first statement.
        const bool stopsAtBackup =
            driver.LastOutcome() == update::DriverOutcome::ScriptRan && plan.problem;
        outcome = stopsAtBackup ? cli::kOutcomeFailed : UpdateOutcomeWord(driver, runner, false);
        report.Set("backup", PlannedBackupJson(
                                 plan, driver.LastOutcome() == update::DriverOutcome::ScriptRan));
        SetUpdateFields(report, outcome, driver, runner, steps);
        if (stopsAtBackup) {
            report.Set("steps", QJsonArray());
            report.SetNull("failingStatement");
            report.Set("error", "the backup copy failed: " + *plan.problem);
        }
        const bool updated = std::string(outcome) == cli::kOutcomeUpdated;
        report.Set("versionAfter",
                   VersionJson(updated ? window.VersionText() : target.VersionText));
        if (!line.json) {
            out << "database\t" << target.FilePath() << "\n";
            PrintGate(out, driver);
            if (driver.LastOutcome() == update::DriverOutcome::ScriptRan)
                PrintBackupPlan(out, plan);
            if (!stopsAtBackup) steps.Print(out);
            if (updated) out << "version\t" << window.VersionText() << "\n";
            if (runner.LastOutcome() == update::RunOutcome::DatabaseError) {
                out << "failing statement\t" << db::MaskPasswords(runner.CurrentStatement())
                    << "\n";
            }
            out << "outcome\t" << outcome << "\n";
        }
    }
    if (auto problem = folder->Remove()) {
        err << "VantolyPatch: " << *problem << "\n";
        outcome = cli::kOutcomeFailed;
        report.Set("outcome", outcome);
        report.SetMasked("error", *problem);
    }
    if (line.json) report.Write(out);
    return std::string(outcome) == cli::kOutcomeUpdated ? cli::kExitOk : cli::kExitFailed;
}

}  // namespace commands
