// Files as another tool, or an earlier build of the engine, could leave them:
// changed straight through SQLite, past the engine's own refusals, so the
// programs reading them show they hold up.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace testsupport {

inline std::string QuotedIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// Renames a field of `table` in SQLite's table and in the engine's catalog:
// the engine refuses names such as "a.b" itself, which files made elsewhere
// can still hold.
inline void RenameFieldBehindTheEngine(const std::string& path, const std::string& table,
                                       const std::string& from, const std::string& to) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path);
    }
    const std::string sql = "BEGIN; ALTER TABLE " + QuotedIdentifier(table) + " RENAME COLUMN " +
                            QuotedIdentifier(from) + " TO " + QuotedIdentifier(to) +
                            "; UPDATE MSysColumns SET ColumnName = ?1 WHERE TableName = ?2 AND "
                            "ColumnName = ?3; COMMIT;";
    // Bound values keep the names out of the text; each statement in turn.
    const char* rest = sql.c_str();
    int rc = SQLITE_OK;
    while (rc == SQLITE_OK && *rest) {
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(db, rest, -1, &stmt, &rest);
        if (rc != SQLITE_OK || !stmt) break;
        if (sqlite3_bind_parameter_count(stmt) == 3) {
            sqlite3_bind_text(stmt, 1, to.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 2, table.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 3, from.c_str(), -1, SQLITE_TRANSIENT);
        }
        rc = sqlite3_step(stmt) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
        sqlite3_finalize(stmt);
    }
    const std::string message = rc == SQLITE_OK ? "" : sqlite3_errmsg(db);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error("renaming " + from + ": " + message);
}

}  // namespace testsupport
