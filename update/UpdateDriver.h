// The update command: keeps the host application out of the way, checks that
// the database is at version 1.25, takes or skips the backup and runs the
// update script with the progress bar shown.
#pragma once

#include "db/DatabaseSession.h"
#include "update/UpdateHost.h"
#include "update/UpdateScriptRunner.h"
#include "update/UpdateView.h"
#include "update/VersionFacts.h"

namespace update {

// The version the update starts from, as the gate compares it.
inline constexpr std::string_view kRequiredVersionText = kFromVersion;

// Where the last update command ended.
enum class DriverOutcome {
    NotRun,
    HostGuardDeclined,  // the operator kept the host application open
    WrongVersion,       // the gate read a version other than 1.25
    VersionUnreadable,  // the gate could not read the version at all
    BackupAbandoned,    // declined, or the copy failed
    ScriptRan,          // the runner's LastOutcome says how
};

class UpdateDriver {
  public:
    // Everything handed in must outlive the driver.
    UpdateDriver(UpdateView& view, UpdateHost& host, db::DatabaseSession& session,
                 UpdateScriptRunner& runner, platform::MessageBoxes& messageBoxes,
                 UpdateTexts texts);

    // The update button. Returns with the window idle on every path except
    // the operator declining to close the host application, which leaves
    // the window as it was.
    void OnUpdateCommand();

    DriverOutcome LastOutcome() const { return lastOutcome_; }
    // The version text the gate read ("1.26", "0.00", empty for no rows).
    const std::string& FoundVersion() const { return foundVersion_; }
    // Why the gate stopped the last run (the version found, or the error that
    // kept it from being read); empty when it passed or never ran.
    const std::string& GateRefusal() const { return gateRefusal_; }

  private:
    // The gate: true when the database reads exactly 1.25. Otherwise it has
    // shown why and the command must end.
    bool PassesVersionGate();

    UpdateView& view_;
    UpdateHost& host_;
    db::DatabaseSession& session_;
    UpdateScriptRunner& runner_;
    platform::MessageBoxes& messageBoxes_;
    UpdateTexts texts_;
    DriverOutcome lastOutcome_ = DriverOutcome::NotRun;
    std::string foundVersion_;
    std::string gateRefusal_;
};

}  // namespace update
