#include "host/TargetDatabaseLocation.h"

#include <unistd.h>

namespace host {

namespace {

bool FileExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

}  // namespace

bool ReadTargetDatabaseLocation(TargetDatabase& record, platform::Registry& registry) {
    if (registry.KeyExists(kDatabaseKey)) {
        record.FileName = registry.ReadString(kDatabaseKey, "FileName").value_or("");
        record.PathName = registry.ReadString(kDatabaseKey, "PathName").value_or("");
        record.Password = registry.ReadString(kDatabaseKey, "Password").value_or("");
    }

    // A file named exactly is that file; otherwise ".mdb" before ".accdb".
    const std::optional<std::string> exact = registry.ExactExtension();
    record.Extension = exact.value_or(".mdb");
    if (!exact && !FileExists(record.FilePath())) record.Extension = ".accdb";
    return FileExists(record.FilePath());
}

void LoadTargetDatabaseLocation(TargetDatabase& record, platform::Registry& registry,
                                db::DatabaseSession& session, LocationWindow& window) {
    if (!ReadTargetDatabaseLocation(record, registry)) {
        window.SetWindowTitle(kNoDatabaseTitle);
        window.RefreshControlState(db::ControlState::Idle);
        return;
    }

    window.ShowLocationFields(record);
    session.SetPassword(record.Password);
    session.OpenDatabase(record.PathName, record.FileName, record.Extension);
}

}  // namespace host
