#include "engine/PreparedStatement.h"

#include "engine/Internal.h"

namespace engine::detail {

int tryPrepare(sqlite3* db, std::string_view sql, PreparedStatement& stmt) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
    stmt.reset(raw);
    if (rc != SQLITE_OK) stmt.reset();
    return rc;
}

PreparedStatement prepare(sqlite3* db, std::string_view sql, const std::string& context) {
    PreparedStatement stmt;
    if (tryPrepare(db, sql, stmt) != SQLITE_OK)
        raiseSqlite(db, sqlite3_extended_errcode(db), context);
    return stmt;
}

}  // namespace engine::detail
