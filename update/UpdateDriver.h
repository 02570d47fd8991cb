// The update command: keeps the host application out of the way, checks that
// the database is at version 1.25, takes or skips the backup and runs the
// update script with the progress bar shown.
#pragma once

#include "db/DatabaseSession.h"
#include "update/UpdateScriptRunner.h"
#include "update/UpdateWindow.h"

namespace update {

// The version the update starts from, as the gate compares it.
inline constexpr std::string_view kRequiredVersionText = "1.25";

class UpdateDriver {
  public:
    // Everything handed in must outlive the driver.
    UpdateDriver(UpdateWindow& window, db::DatabaseSession& session, UpdateScriptRunner& runner,
                 platform::MessageBoxes& messageBoxes, UpdateTexts texts);

    // The update button. Returns with the window idle on every path except
    // the operator declining to close the host application, which leaves
    // the window as it was.
    void OnUpdateCommand();

  private:
    // The gate: true when the database reads exactly 1.25. Otherwise it has
    // shown why and the command must end.
    bool PassesVersionGate();

    UpdateWindow& window_;
    db::DatabaseSession& session_;
    UpdateScriptRunner& runner_;
    platform::MessageBoxes& messageBoxes_;
    UpdateTexts texts_;
};

}  // namespace update
