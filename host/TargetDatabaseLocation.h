// Where the target database is: read from the host application's registry
// key, the extension found on disk, then the session opened on it.
#pragma once

#include "db/DatabaseSession.h"
#include "db/SessionWindow.h"
#include "host/TargetDatabase.h"
#include "platform/Platform.h"

namespace host {

// The host application's key under the current user.
inline constexpr char kDatabaseKey[] = "SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE\\";

inline constexpr char kNoDatabaseTitle[] = "データベースが選択されてません";

// What loading the location changes in the main window besides what the
// session changes.
class LocationWindow : public db::SessionWindow {
  public:
    // Copies `PathName`, `FileName` and `Extension` into the read-only
    // fields 1016, 1017 and 1018; 1019 is left as it is.
    virtual void ShowLocationFields(const TargetDatabase& record) = 0;
};

// Reads "FileName", "PathName" and "Password" (a missing or unreadable value
// is an empty text; an absent key leaves the three fields as they are), takes
// the registry's exact extension when it has one, else ".mdb" when
// PathName + FileName + ".mdb" exists, else ".accdb" when that exists. With
// no such file the title becomes kNoDatabaseTitle, the control
// state is refreshed idle and nothing is opened. Otherwise the fields are
// shown and `session` opens the file with `Password`; the session shows the
// outcome in `window`.
void LoadTargetDatabaseLocation(TargetDatabase& record, platform::Registry& registry,
                                db::DatabaseSession& session, LocationWindow& window);

// The first half of the above, for a command that opens no window: fills
// `record` from the registry and picks the extension; true when the file it
// names exists.
bool ReadTargetDatabaseLocation(TargetDatabase& record, platform::Registry& registry);

}  // namespace host
