// Saved queries (CREATE VIEW, CREATE PROCEDURE): their Jet text kept in the
// catalog table MSysQueries, made when the first one is saved so files
// written before open as they are; a select query is read as a table through
// a temporary view of each connection's own, made again from the Jet text
// whenever the saved queries change. A temporary view never stands in the
// file, so a table a query uses may be dropped or rebuilt as Jet allows; the
// views are removed while a definition changes the tables, since SQLite checks
// and rewrites every view that names a table it renames.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Internal.h"

namespace engine::detail {

std::vector<SavedQuery> savedQueries(sqlite3* db);  // ordered by name

// The declared parameters `st` reads by a plain name that a table or query it
// names has as a field: Jet reads the field, as parseStatement does when told.
std::vector<std::string> parametersNamingFields(sqlite3* db, const Statement& st);
// parseStatement, the parameters that name fields read as those fields.
Statement parseAgainstCatalog(sqlite3* db, std::string_view text);
std::optional<SavedQuery> findSavedQuery(sqlite3* db, std::string_view name);
// Jet's 3011 for a name that is no saved query.
SavedQuery requireSavedQuery(sqlite3* db, std::string_view name);
// Jet's 3010 when a saved query holds the name a new table would take.
void refuseQueryName(sqlite3* db, std::string_view tableName);
void createSavedQuery(sqlite3* db, const Statement& st);
void dropSavedQuery(sqlite3* db, const Statement& st);

// The values of declared parameters, by parameterKey of the name.
using ParameterValues = std::map<std::string, Variant>;
std::string parameterKey(std::string_view name);  // ASCII capitals, "." read as "!"
// vx_param(name, adoType): the parameter's value as its declared type, or
// an error naming it when it has none or the value is not of that type.
void registerParameterFunction(sqlite3* db, const ParameterValues* values);
[[noreturn]] void raiseNoParameterValue(std::string_view name);  // Jet's 3061

// The temporary views of one connection's saved select queries.
class QueryViews {
  public:
    // Before a statement: makes the views again when the saved queries
    // changed, here or (the file's data version tells) on another connection.
    void ensure(sqlite3* db);
    // Before a definition changes the tables; ensure makes them again.
    void remove(sqlite3* db);
    // Jet's 3061 naming the first parameter without a value that `st`
    // declares or a saved query it reads declares: asked before it runs, as
    // SQLite would read a value only where a row reaches it.
    void requireValues(const Statement& st, const ParameterValues& values) const;
    // After this connection saved, dropped or rolled back.
    void forget() { built_.reset(); }
    void close() { dataVersionStmt_.reset(), built_.reset(); }

  private:
    long long dataVersion(sqlite3* db);

    std::optional<std::vector<SavedQuery>> built_;
    std::map<std::string, std::vector<std::string>> needs_;  // per query (capitals): its parameters
    PreparedStatement dataVersionStmt_;
    long long dataVersion_ = -1;
};

}  // namespace engine::detail
