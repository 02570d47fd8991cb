// What a connection adds to the file's tables so that every write through
// the engine stores values as Jet stores them, while the file itself names
// only SQLite's own functions: TEMP triggers made from the catalog on each
// connection (connectionRules, TypeRules.cpp), and defaults the file can
// compute without the engine. Not part of the public interface.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/Internal.h"
#include "engine/PreparedStatement.h"

namespace engine::detail {

// A field's translated default as the file keeps it: the engine's GenGUID(),
// Now(), Date() and Time() written with SQLite's own functions, giving the
// same values (a GUID in capitals between braces, version 4, as vx_genguid
// writes it; dates as days since 30 December 1899, local time, whole seconds).
std::string portableDefault(const std::string& sqliteDefault);

// The rules that compute a table's calculated fields when a row is written
// and refuse a value written to one (FieldProperties.cpp); none for a field
// `tableSql` holds as a generated column.
std::vector<ConnectionRule> calculationRules(const StoredTable& t, const std::string& sqliteName,
                                             const std::string& tableSql);

// The rules that enforce a CHECK constraint needing the engine's functions
// (CheckConstraints.cpp); none for one the file's own triggers enforce.
std::vector<ConnectionRule> checkRules(const StoredTable& t, const CheckConstraint& check);

// The TEMP triggers of one connection.
class WriteRules {
  public:
    // At open and before a statement: the triggers made again where the
    // file's schema changed since, here or on another connection. A
    // definition of this connection makes its table's triggers itself.
    void ensure(sqlite3* db);
    // After a rollback: the schema version may come back to a number the
    // triggers were made for, with another schema.
    void forget() { version_ = -1; }
    void close() { versionStmt_.reset(), version_ = -1; }

  private:
    long long schemaVersion(sqlite3* db);

    PreparedStatement versionStmt_;
    long long version_ = -1;
};

}  // namespace engine::detail
