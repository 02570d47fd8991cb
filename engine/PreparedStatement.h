// The one owner of an SQLite prepared statement inside the engine: whatever
// path leaves a scope, an exception included, the statement is finalized.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

namespace engine::detail {

struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};

using PreparedStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Prepares `sql`; SQLite's result code, with `stmt` empty when it is not
// SQLITE_OK. For callers that treat a refusal as an answer, not an error.
int tryPrepare(sqlite3* db, std::string_view sql, PreparedStatement& stmt);

// Prepares `sql` or raises the engine's error for SQLite's refusal; `context`
// names what was being done, for the description (may be empty).
PreparedStatement prepare(sqlite3* db, std::string_view sql, const std::string& context);

}  // namespace engine::detail
