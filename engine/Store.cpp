// The catalog store: Jet's view of each table (types, sizes, keys, indexes,
// relationships) kept in system tables inside the database file, and the
// SQLite tables, indexes and triggers derived from it. Every DDL statement
// changes both in one savepoint opened by the caller.
#include <algorithm>
#include <set>

#include "engine/DdlRules.h"
#include "engine/Decimal.h"
#include "engine/Internal.h"
#include "engine/PreparedStatement.h"
#include "engine/SavedQueries.h"
#include "engine/WriteRules.h"

namespace engine::detail {

namespace {

constexpr const char* kFormat = "VantolyJet 1";
constexpr char kListSeparator = '\x1f';
constexpr int kMaxColumns = 255;
constexpr int kMaxIndexes = 32;
constexpr std::size_t kMaxNameLength = 64;

std::string joinList(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& s : items) {
        if (!out.empty()) out += kListSeparator;
        out += s;
    }
    return out;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    if (text.empty()) return out;
    std::size_t start = 0;
    for (;;) {
        auto pos = text.find(kListSeparator, start);
        out.push_back(text.substr(start, pos - start));
        if (pos == std::string::npos) break;
        start = pos + 1;
    }
    return out;
}

// A prepared statement released on scope exit.
class Stmt {
  public:
    Stmt(sqlite3* db, const std::string& sql)
        : db_(db), owner_(prepare(db, sql, "reading the catalog")), stmt_(owner_.get()) {}

    Stmt& bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, long long v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Stmt& bind(int i, const std::optional<std::string>& v) {
        if (v) return bind(i, *v);
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    bool step() {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        raiseSqlite(db_, rc, "updating the catalog");
    }
    // Ready for the next row of a loop: one prepare serves them all.
    Stmt& reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return *this;
    }
    std::string text(int i) const { return requiredText(stmt_, i); }
    std::optional<std::string> optText(int i) const { return columnText(stmt_, i); }
    long long integer(int i) const { return requiredInteger(stmt_, i); }

  private:
    sqlite3* db_;
    PreparedStatement owner_;
    sqlite3_stmt* stmt_;
};

bool isTextType(int adoType) {
    return adoType == adVarWChar || adoType == adLongVarWChar || adoType == adGUID;
}

const StoredColumn* findColumn(const StoredTable& t, const std::string& name) {
    for (const auto& c : t.columns) {
        if (equalsNoCase(c.name, name)) return &c;
    }
    return nullptr;
}

bool sameColumns(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!equalsNoCase(a[i], b[i])) return false;
    }
    return true;
}

// The single-column auto-numbered primary key that SQLite keeps as the rowid.
const StoredColumn* rowidColumn(const StoredTable& t) {
    for (const auto& k : t.keys) {
        if (k.type != adKeyPrimary || k.columns.size() != 1) continue;
        const StoredColumn* c = findColumn(t, k.columns[0]);
        if (c && c->type.autoIncrement && c->type.seed == 1 && c->type.increment == 1) return c;
    }
    return nullptr;
}

void checkName(const std::string& name, const char* what) {
    if (name.empty() || utf8Length(name) > kMaxNameLength) {
        raise(hr::kSyntax, jet::kInvalidName,
              std::string("'") + name + "' is not a valid " + what +
                  " name: names have 1 to 64 characters.");
    }
    // Access's naming rules: no period, exclamation point, accent grave,
    // brackets or control characters, and no leading blank.
    const bool badChar = name.find_first_of(".!`[]") != std::string::npos ||
                         std::any_of(name.begin(), name.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    if (badChar || name.front() == ' ') {
        raise(hr::kSyntax, jet::kInvalidName,
              "'" + name + "' is not a valid " + what +
                  " name. Make sure that it does not include invalid characters or punctuation "
                  "(. ! ` [ ]) and does not begin with a blank.");
    }
}

}  // namespace

std::optional<std::string> columnText(sqlite3_stmt* stmt, int column) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!p) {
        if (sqlite3_column_type(stmt, column) == SQLITE_NULL) return std::nullopt;
        raise(static_cast<std::int32_t>(0x8007000E), jet::kOutOfMemory,
              "System resource exceeded (reading a text).");
    }
    return std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
}

namespace {

[[noreturn]] void raiseMissingValue(sqlite3_stmt* stmt, int column) {
    const char* table = sqlite3_column_table_name(stmt, column);
    const char* name = sqlite3_column_origin_name(stmt, column);
    raiseDamaged(std::string(" (a row of ") + (table ? table : "the catalog") + " has no " +
                 (name ? name : sqlite3_column_name(stmt, column)) + ")");
}

}  // namespace

std::string requiredText(sqlite3_stmt* stmt, int column) {
    std::optional<std::string> text = columnText(stmt, column);
    if (!text) raiseMissingValue(stmt, column);
    return std::move(*text);
}

long long requiredInteger(sqlite3_stmt* stmt, int column) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL) raiseMissingValue(stmt, column);
    return sqlite3_column_int64(stmt, column);
}

std::string sqliteIndexName(const std::string& table, const std::string& index) {
    return table + ":" + index;
}

// ------------------------------------------------------------------ set-up

void Store::initialise(sqlite3* db) {
    const char* ddl =
        "CREATE TABLE MSysDatabase (Property TEXT PRIMARY KEY COLLATE NOCASE, Value TEXT);"
        "CREATE TABLE MSysColumns (TableName TEXT NOT NULL COLLATE NOCASE, ColumnName TEXT NOT "
        "NULL COLLATE NOCASE, Position INTEGER NOT NULL, Type INTEGER NOT NULL, DefinedSize "
        "INTEGER NOT NULL, Fixed INTEGER NOT NULL, Required INTEGER NOT NULL, IsCounter "
        "INTEGER NOT NULL, Seed INTEGER NOT NULL, Increment INTEGER NOT NULL, Precision INTEGER "
        "NOT NULL, Scale INTEGER NOT NULL, DefaultJet TEXT, DefaultSqlite TEXT, PRIMARY KEY "
        "(TableName, ColumnName));"
        "CREATE TABLE MSysIndexes (TableName TEXT NOT NULL COLLATE NOCASE, IndexName TEXT NOT "
        "NULL COLLATE NOCASE, IsUnique INTEGER NOT NULL, IsPrimary INTEGER NOT NULL, IgnoreNulls "
        "INTEGER NOT NULL, DisallowNull INTEGER NOT NULL, IsForeign INTEGER NOT NULL, Columns "
        "TEXT NOT NULL, PRIMARY KEY (TableName, IndexName));"
        "CREATE TABLE MSysRelationships (TableName TEXT NOT NULL COLLATE NOCASE, KeyName TEXT NOT "
        "NULL COLLATE NOCASE, KeyType INTEGER NOT NULL, Columns TEXT NOT NULL, RelatedTable TEXT "
        "COLLATE NOCASE, RelatedColumns TEXT, UpdateRule INTEGER NOT NULL, DeleteRule INTEGER "
        "NOT NULL, PRIMARY KEY (TableName, KeyName));"
        "CREATE INDEX MSysRelationshipsRelated ON MSysRelationships (RelatedTable);";
    char* err = nullptr;
    int rc = sqlite3_exec(db, ddl, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) raiseSqlite(db, rc, "creating the catalog");
    Store(db).setProperty("Format", std::string(kFormat));
}

bool Store::isEngineFile(sqlite3* db) {
    PreparedStatement owner;
    int rc = tryPrepare(db, "SELECT Value FROM MSysDatabase WHERE Property = 'Format'", owner);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED ||
            (rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT ||
            (rc & 0xff) == SQLITE_IOERR) {
            raiseSqlite(db, rc, "opening the database");
        }
        return false;
    }
    sqlite3_stmt* stmt = owner.get();
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW) raiseSqlite(db, rc, "opening the database");
    return requiredText(stmt, 0) == kFormat;
}

std::optional<std::string> Store::property(const std::string& name) const {
    Stmt s(db_, "SELECT Value FROM MSysDatabase WHERE Property = ?");
    s.bind(1, name);
    if (!s.step()) return std::nullopt;
    // An absent property has no row; a row without a value is damage, and
    // reading it as absent would, for the password, open the file unguarded.
    return s.text(0);
}

void Store::setProperty(const std::string& name, const std::optional<std::string>& value) {
    if (!value) {
        Stmt s(db_, "DELETE FROM MSysDatabase WHERE Property = ?");
        s.bind(1, name).step();
        return;
    }
    Stmt s(db_, "INSERT OR REPLACE INTO MSysDatabase (Property, Value) VALUES (?, ?)");
    s.bind(1, name).bind(2, value).step();
}

void Store::exec(const std::string& sql) const {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) raiseSqlite(db_, rc, "");
}

// ------------------------------------------------------------------ reading

std::vector<std::string> Store::tableNames(bool includeSystem) const {
    Stmt s(db_,
           "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' "
           "ESCAPE '!' ORDER BY name COLLATE NOCASE");
    std::vector<std::string> names;
    while (s.step()) {
        std::string n = s.text(0);
        if (!includeSystem && isSystemName(n)) continue;
        names.push_back(std::move(n));
    }
    return names;
}

std::optional<std::string> Store::findTable(std::string_view name) const {
    Stmt s(db_,
           "SELECT name FROM sqlite_schema WHERE type = 'table' AND name = ? COLLATE NOCASE AND "
           "name NOT LIKE 'sqlite!_%' ESCAPE '!'");
    s.bind(1, std::string(name));
    if (!s.step()) return std::nullopt;
    return s.text(0);
}

void raiseNoTable(std::string_view name, std::string_view role) {
    raise(hr::kNoTable, jet::kInputTableNotFound,
          "Cannot find table '" + std::string(name) + "'" + std::string(role) + ".");
}

std::string Store::requireTable(std::string_view name, std::string_view role) const {
    std::optional<std::string> stored = findTable(name);
    if (!stored) raiseNoTable(name, role);
    return std::move(*stored);
}

StoredTable Store::loadTable(const std::string& storedName) const {
    StoredTable t;
    t.name = storedName;
    {
        Stmt s(db_,
               "SELECT ColumnName, Type, DefinedSize, Fixed, Required, IsCounter, Seed, "
               "Increment, Precision, Scale, DefaultJet, DefaultSqlite, Position FROM MSysColumns "
               "WHERE TableName = ? ORDER BY Position");
        s.bind(1, storedName);
        while (s.step()) {
            StoredColumn c;
            c.name = s.text(0);
            c.type.adoType = static_cast<int>(s.integer(1));
            c.type.definedSize = static_cast<long>(s.integer(2));
            c.type.fixed = s.integer(3) != 0;
            c.notNull = s.integer(4) != 0;
            c.type.autoIncrement = s.integer(5) != 0;
            c.type.seed = static_cast<long>(s.integer(6));
            c.type.increment = static_cast<long>(s.integer(7));
            c.type.precision = static_cast<int>(s.integer(8));
            c.type.scale = static_cast<int>(s.integer(9));
            c.defaultJet = s.optText(10);
            c.defaultSqlite = s.optText(11);
            c.position = static_cast<int>(s.integer(12));
            t.columns.push_back(std::move(c));
        }
    }
    if (hasCatalogTable(kOrdinalTable)) {
        Stmt s(db_, std::string("SELECT ColumnName, OrdinalPosition FROM ") + kOrdinalTable +
                        " WHERE TableName = ?");
        s.bind(1, storedName);
        while (s.step()) {
            const std::string column = s.text(0);
            for (auto& c : t.columns) {
                if (equalsNoCase(c.name, column))
                    c.ordinalPosition = static_cast<int>(s.integer(1));
            }
        }
    }
    {
        Stmt s(db_,
               "SELECT IndexName, IsUnique, IsPrimary, IgnoreNulls, DisallowNull, IsForeign, "
               "Columns FROM MSysIndexes WHERE TableName = ? ORDER BY IndexName COLLATE NOCASE");
        s.bind(1, storedName);
        while (s.step()) {
            StoredIndex i;
            i.name = s.text(0);
            i.unique = s.integer(1) != 0;
            i.primary = s.integer(2) != 0;
            i.ignoreNulls = s.integer(3) != 0;
            i.disallowNull = s.integer(4) != 0;
            i.foreign = s.integer(5) != 0;
            i.columns = splitList(s.text(6));
            t.indexes.push_back(std::move(i));
        }
    }
    if (hasCatalogTable(kIndexOrderTable)) {
        Stmt s(db_, std::string("SELECT IndexName, ColumnName FROM ") + kIndexOrderTable +
                        " WHERE TableName = ?");
        s.bind(1, storedName);
        while (s.step()) {
            const std::string index = s.text(0), column = s.text(1);
            for (auto& i : t.indexes) {
                if (!equalsNoCase(i.name, index)) continue;
                i.descending.resize(i.columns.size());
                for (std::size_t c = 0; c < i.columns.size(); ++c) {
                    if (equalsNoCase(i.columns[c], column)) i.descending[c] = true;
                }
            }
        }
    }
    {
        Stmt s(db_,
               "SELECT KeyName, KeyType, Columns, RelatedTable, RelatedColumns, UpdateRule, "
               "DeleteRule FROM MSysRelationships WHERE TableName = ? ORDER BY KeyName COLLATE "
               "NOCASE");
        s.bind(1, storedName);
        while (s.step()) {
            StoredKey k;
            k.name = s.text(0);
            k.type = static_cast<int>(s.integer(1));
            k.columns = splitList(s.text(2));
            k.refTable = s.optText(3).value_or("");  // none for a primary or unique key
            k.refColumns = splitList(s.optText(4).value_or(""));
            k.updateRule = static_cast<int>(s.integer(5));
            k.deleteRule = static_cast<int>(s.integer(6));
            t.keys.push_back(std::move(k));
        }
    }
    loadFieldProperties(db_, t);
    return t;
}

std::vector<std::pair<std::string, StoredKey>> Store::referencingKeys(
    const std::string& storedName) const {
    std::vector<std::pair<std::string, std::string>> names;
    {
        Stmt s(db_,
               "SELECT TableName, KeyName FROM MSysRelationships WHERE KeyType = 2 AND "
               "RelatedTable = ?");
        s.bind(1, storedName);
        while (s.step()) names.emplace_back(s.text(0), s.text(1));
    }
    std::vector<std::pair<std::string, StoredKey>> out;
    for (const auto& [table, key] : names) {
        StoredTable child = loadTable(table);
        for (auto& k : child.keys) {
            if (equalsNoCase(k.name, key)) out.emplace_back(child.name, k);
        }
    }
    return out;
}

int Store::indexUsage(const std::string& table) const {
    Stmt s(db_,
           "SELECT (SELECT count(*) FROM MSysIndexes WHERE TableName = ?1) + (SELECT count(*) FROM "
           "MSysRelationships WHERE KeyType = 2 AND RelatedTable = ?1 AND TableName <> ?1)");
    s.bind(1, table);
    s.step();
    return static_cast<int>(s.integer(0));
}

void Store::checkIndexLimit(const std::string& table, int adding) {
    if (indexUsage(table) + adding > kMaxIndexes) {
        raise(hr::kUnspecified, jet::kTooManyIndexes,
              "The operation failed. There are too many indexes on table '" + table +
                  "' (at most 32, each relationship counting one). Delete some of the indexes on "
                  "the table and try the operation again.");
    }
}

// ------------------------------------------------------------------ writing

void Store::saveTable(const StoredTable& t) {
    checkTableDefinition(t);
    deleteCatalogRows(t.name);
    Stmt s(db_,
           "INSERT INTO MSysColumns (TableName, ColumnName, Position, Type, DefinedSize, Fixed, "
           "Required, IsCounter, Seed, Increment, Precision, Scale, DefaultJet, "
           "DefaultSqlite) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const auto& c = t.columns[i];
        s.reset().bind(1, t.name).bind(2, c.name).bind(3, static_cast<long long>(i + 1));
        s.bind(4, c.type.adoType).bind(5, c.type.definedSize).bind(6, c.type.fixed ? 1 : 0);
        s.bind(7, c.notNull ? 1 : 0).bind(8, c.type.autoIncrement ? 1 : 0).bind(9, c.type.seed);
        s.bind(10, c.type.increment).bind(11, c.type.precision).bind(12, c.type.scale);
        s.bind(13, c.defaultJet).bind(14, c.defaultSqlite);
        s.step();
    }
    saveFieldProperties(db_, t);
    for (const auto& c : t.columns) {
        if (!c.ordinalPosition) continue;
        exec(std::string("CREATE TABLE IF NOT EXISTS ") + kOrdinalTable +
             " (TableName TEXT NOT NULL COLLATE "
             "NOCASE, "
             "ColumnName TEXT NOT NULL COLLATE NOCASE, OrdinalPosition INTEGER NOT NULL, PRIMARY "
             "KEY "
             "(TableName, ColumnName))");
        Stmt s(db_, std::string("INSERT INTO ") + kOrdinalTable +
                        " (TableName, ColumnName, OrdinalPosition) VALUES (?,?,?)");
        s.bind(1, t.name).bind(2, c.name).bind(3, *c.ordinalPosition).step();
    }
    for (const auto& i : t.indexes) {
        for (std::size_t c = 0; c < i.columns.size(); ++c) {
            if (!i.isDescending(c)) continue;
            exec(std::string("CREATE TABLE IF NOT EXISTS ") + kIndexOrderTable +
                 " (TableName TEXT NOT NULL COLLATE NOCASE, IndexName TEXT NOT NULL COLLATE "
                 "NOCASE, ColumnName TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY (TableName, "
                 "IndexName, ColumnName))");
            Stmt(db_, std::string("INSERT INTO ") + kIndexOrderTable +
                          " (TableName, IndexName, ColumnName) VALUES (?,?,?)")
                .bind(1, t.name)
                .bind(2, i.name)
                .bind(3, i.columns[c])
                .step();
        }
    }
    Stmt indexRow(
        db_,
        "INSERT INTO MSysIndexes (TableName, IndexName, IsUnique, IsPrimary, IgnoreNulls, "
        "DisallowNull, IsForeign, Columns) VALUES (?,?,?,?,?,?,?,?)");
    for (const auto& i : t.indexes) {
        Stmt& s = indexRow.reset();
        s.bind(1, t.name).bind(2, i.name).bind(3, i.unique ? 1 : 0).bind(4, i.primary ? 1 : 0);
        s.bind(5, i.ignoreNulls ? 1 : 0).bind(6, i.disallowNull ? 1 : 0).bind(7, i.foreign ? 1 : 0);
        s.bind(8, joinList(i.columns));
        s.step();
    }
    Stmt keyRow(
        db_,
        "INSERT INTO MSysRelationships (TableName, KeyName, KeyType, Columns, RelatedTable, "
        "RelatedColumns, UpdateRule, DeleteRule) VALUES (?,?,?,?,?,?,?,?)");
    for (const auto& k : t.keys) {
        Stmt& s = keyRow.reset();
        s.bind(1, t.name).bind(2, k.name).bind(3, k.type).bind(4, joinList(k.columns));
        s.bind(5, k.refTable).bind(6, joinList(k.refColumns)).bind(7, k.updateRule);
        s.bind(8, k.deleteRule);
        s.step();
    }
}

void Store::deleteCatalogRows(const std::string& table) {
    for (const char* sql : {"DELETE FROM MSysColumns WHERE TableName = ?",
                            "DELETE FROM MSysIndexes WHERE TableName = ?",
                            "DELETE FROM MSysRelationships WHERE TableName = ?"}) {
        Stmt s(db_, sql);
        s.bind(1, table).step();
    }
    for (const char* kept : {kOrdinalTable, kIndexOrderTable}) {
        if (hasCatalogTable(kept))
            Stmt(db_, std::string("DELETE FROM ") + kept + " WHERE TableName = ?")
                .bind(1, table)
                .step();
    }
    deleteFieldProperties(db_, table);
}

std::string Store::sqliteTableSql(const std::string& sqliteName) const {
    Stmt s(db_, "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ?");
    s.bind(1, sqliteName);
    return s.step() ? s.text(0) : std::string();
}

bool Store::hasCatalogTable(const char* name) const {
    // Asked of SQLite's schema in memory: a query of sqlite_schema reads every
    // page of it, once per table the catalog loads. Both callers have just run
    // a catalog statement, which brings a schema changed by another connection
    // up to date.
    return sqlite3_table_column_metadata(db_, "main", name, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr) == SQLITE_OK;
}

void Store::setOrdinalPosition(const std::string& storedName, const std::string& column,
                               int ordinal) {
    StoredTable t = loadTable(storedName);
    auto it = std::find_if(t.columns.begin(), t.columns.end(),
                           [&](const StoredColumn& c) { return equalsNoCase(c.name, column); });
    if (it == t.columns.end()) {
        raise(hr::kItemNotFound, jet::kItemNotFound,
              "Item not found in this collection: table '" + storedName + "' has no field '" +
                  column + "'.");
    }
    it->ordinalPosition = ordinal;
    saveTable(t);
}

// A column's SQLite definition after its name: the storage type (the table is
// STRICT, so a value of the wrong kind is refused), NOT NULL, the default,
// Jet's case-blind text comparison, the check of a text's length and, with
// `overflowCheck`, the check of a number's range. A calculated field has
// its expression in their place.
static std::string columnSql(const std::string& table, const StoredColumn& c, bool notNull,
                             bool overflowCheck) {
    if (std::string calculated = calculatedColumnSql(c); !calculated.empty()) return calculated;
    std::string sql = sqliteDeclType(c.type);
    // A Yes/No field turns Null into False itself (its triggers), so it never refuses one.
    if (notNull && !c.type.autoIncrement && c.type.adoType != adBoolean) sql += " NOT NULL";
    if (c.defaultSqlite) sql += " DEFAULT (" + portableDefault(*c.defaultSqlite) + ")";
    if (isTextType(c.type.adoType)) sql += " COLLATE NOCASE";
    if (c.type.adoType == adNumeric) sql += std::string(" COLLATE ") + kDecimalCollation;
    if (c.type.adoType == adVarWChar) {
        sql += " CONSTRAINT " + quoteIdent("vxlen:" + c.name) + " CHECK (length(" +
               quoteIdent(c.name) + ") <= " + std::to_string(c.type.definedSize) + ")";
    }
    sql += zeroLengthConstraint(table, c);
    return overflowCheck ? sql + overflowConstraint(c) : sql;
}

void Store::createSqliteTable(const StoredTable& t, const std::string& sqliteName) {
    const StoredColumn* rowid = rowidColumn(t);
    std::set<std::string> primaryColumns;
    for (const auto& k : t.keys) {
        if (k.type == adKeyPrimary) {
            for (const auto& c : k.columns) primaryColumns.insert(upperAscii(c));
        }
    }
    std::string sql = "CREATE TABLE " + quoteIdent(sqliteName) + " (";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const auto& c = t.columns[i];
        if (i) sql += ", ";
        sql += quoteIdent(c.name) + " ";
        if (&c == rowid) {
            // AUTOINCREMENT: a number once handed out is never handed out
            // again, even after its row, the highest, is deleted.
            sql += "INTEGER PRIMARY KEY AUTOINCREMENT" + overflowConstraint(c);
            continue;
        }
        sql += columnSql(t.name, c, c.notNull || primaryColumns.count(upperAscii(c.name)), true);
    }
    sql += ") STRICT";
    exec(sql);
    for (const auto& c : t.columns) {
        if (!c.type.autoIncrement || &c == rowid) continue;
        // Auto-numbering SQLite cannot do itself: a seed or step other than 1,
        // or a counter that is not the primary key. The furthest number handed
        // out is kept in the catalog, so a deleted row's number never returns.
        const std::string col = quoteIdent(c.name);
        const std::string before = std::to_string(c.type.seed - c.type.increment);
        const char* furthest = c.type.increment > 0 ? "max" : "min";
        const std::string kept = quoteText(counterProperty(t.name, c.name));
        exec("CREATE TRIGGER " + quoteIdent("vxauto:" + sqliteName + ":" + c.name) +
             " AFTER INSERT ON " + quoteIdent(sqliteName) + " FOR EACH ROW WHEN NEW." + col +
             " IS NULL BEGIN UPDATE " + quoteIdent(sqliteName) + " SET " + col + " = (SELECT " +
             furthest + "(coalesce(" + furthest + "(" + col + "), " + before +
             "), coalesce((SELECT CAST(Value AS INTEGER) FROM MSysDatabase WHERE "
             "Property = " +
             kept + "), " + before + ")) + " + std::to_string(c.type.increment) + " FROM " +
             quoteIdent(sqliteName) +
             ") WHERE rowid = NEW.rowid; INSERT OR REPLACE INTO MSysDatabase "
             "(Property, Value) SELECT " +
             kept + ", " + col + " FROM " + quoteIdent(sqliteName) +
             " WHERE rowid = NEW.rowid; END");
    }
    for (const auto& trigger : typeRuleTriggers(t, sqliteName, sqliteTableSql(sqliteName)))
        exec(trigger);
}

void Store::createSqliteIndex(const StoredTable& t, const StoredIndex& idx) {
    if (idx.primary) {
        const StoredColumn* rowid = rowidColumn(t);
        if (rowid && idx.columns.size() == 1 && equalsNoCase(idx.columns[0], rowid->name)) return;
    }
    std::string sql = std::string(idx.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                      quoteIdent(sqliteIndexName(t.name, idx.name)) + " ON " + quoteIdent(t.name) +
                      " (";
    for (std::size_t i = 0; i < idx.columns.size(); ++i) {
        if (i) sql += ", ";
        sql += quoteIdent(idx.columns[i]);
        if (idx.isDescending(i)) sql += " DESC";
    }
    sql += ")";
    exec(sql);
    if (idx.disallowNull) {
        // WITH DISALLOW NULL: no row may leave an indexed field empty.
        auto anyNull = [&](const std::string& row) {
            std::string any;
            for (std::size_t i = 0; i < idx.columns.size(); ++i) {
                any += std::string(i ? " OR " : "") + row + "." + quoteIdent(idx.columns[i]) +
                       " IS NULL";
            }
            return any;
        };
        Stmt existing(db_, "SELECT 1 FROM " + quoteIdent(t.name) + " AS n WHERE " + anyNull("n") +
                               " LIMIT 1");
        if (existing.step()) {
            raise(hr::kUnspecified, jet::kNullInIndex,
                  "Index or primary key cannot contain a Null value: rows of table '" + t.name +
                      "' leave a field of index '" + idx.name + "' empty.");
        }
        for (const char* event : {"INSERT", "UPDATE"}) {
            exec("CREATE TRIGGER " + quoteIdent("vxnn:" + t.name + ":" + idx.name + ":" + event) +
                 " BEFORE " + event + " ON " + quoteIdent(t.name) + " FOR EACH ROW WHEN " +
                 anyNull("NEW") + " BEGIN SELECT RAISE(ABORT, " + quoteText("VXNULL:" + idx.name) +
                 "); END");
        }
    }
}

void Store::refreshTypeRules(const StoredTable& t) {
    for (const auto& drop : dropTypeRuleTriggers(t.name)) exec(drop);
    for (const auto& create : typeRuleTriggers(t, t.name, sqliteTableSql(t.name))) exec(create);
}

namespace {

// SQLite's guard against writing its schema table, lifted for one amendment
// and put back however it ends.
class SchemaWrite {
  public:
    explicit SchemaWrite(sqlite3* db) : db_(db) {
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
        const int rc = sqlite3_exec(db_, "PRAGMA writable_schema = ON", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
            raiseSqlite(db_, rc, "amending a table");
        }
    }
    ~SchemaWrite() {
        sqlite3_exec(db_, "PRAGMA writable_schema = OFF", nullptr, nullptr, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    }
    SchemaWrite(const SchemaWrite&) = delete;
    SchemaWrite& operator=(const SchemaWrite&) = delete;

  private:
    sqlite3* db_;
};

}  // namespace

// Every row holds the new field's default, so the constraint holds for all of
// them exactly when it holds for the default, and a default that overflows is
// refused: the table's text in SQLite's
// schema is amended directly, the way SQLite documents for changes that leave
// the stored rows as they are, in the statement's own transaction, so a
// failure takes the field back with it.
bool Store::constrainAddedColumn(const StoredTable& t, const StoredColumn& c,
                                 const std::string& definition) {
    const std::string own = overflowConstraint(c);
    if (own.empty()) return false;
    if (c.defaultSqlite) {
        Stmt fits(db_, "SELECT coalesce(" +
                           exactOverflowCondition(c, "(" + *c.defaultSqlite + ")") + ", 0)");
        // The rows already there would hold a number their field cannot.
        if (!fits.step() || fits.integer(0) != 0) {
            raise(hr::kDataOverflow, jet::kNumericOverflow,
                  "Numeric field overflow: the default value of field '" + c.name +
                      "' is too large for its type, and every row of '" + t.name +
                      "' would take it.");
        }
    }
    std::string sql = sqliteTableSql(t.name);
    // SQLite writes an added field's definition, as given, after a comma.
    const std::string added = ", " + definition;
    const std::size_t at = sql.rfind(added);
    const std::size_t end = at + added.size();
    if (at == std::string::npos || sql.find(added) != at || end >= sql.size() ||
        (sql[end] != ')' && sql[end] != ',')) {
        return false;
    }
    sql.insert(end, own);
    Stmt version(db_, "PRAGMA schema_version");
    if (!version.step()) return false;
    const long long next = version.integer(0) + 1;
    {
        SchemaWrite write(db_);
        Stmt amend(db_, "UPDATE sqlite_schema SET sql = ? WHERE type = 'table' AND name = ?");
        amend.bind(1, sql).bind(2, t.name).step();
        // A new version number makes every connection read the schema again.
        exec("PRAGMA schema_version = " + std::to_string(next));
    }
    if (sqliteTableSql(t.name) != sql)
        raiseDamaged(" (the table '" + t.name + "' was not amended)");
    return true;
}

void Store::dropSqliteIndex(const std::string& table, const std::string& index) {
    exec("DROP INDEX IF EXISTS " + quoteIdent(sqliteIndexName(table, index)));
    for (const char* event : {"INSERT", "UPDATE"}) {
        exec("DROP TRIGGER IF EXISTS " + quoteIdent("vxnn:" + table + ":" + index + ":" + event));
    }
}

void Store::createKeyTriggers(const std::string& table, const StoredKey& key) {
    if (key.type != adKeyForeign) return;
    const std::string prefix = "vxfk:" + table + ":" + key.name + ":";
    const std::string child = quoteIdent(table);
    const std::string parent = quoteIdent(key.refTable);
    std::string newNotNull, matchNewInParent, matchOldInChild, changed, setNew, setNull;
    for (std::size_t i = 0; i < key.columns.size(); ++i) {
        const std::string c = quoteIdent(key.columns[i]);
        const std::string p = quoteIdent(key.refColumns[i]);
        const char* sep = i ? " AND " : "";
        newNotNull += std::string(sep) + "NEW." + c + " IS NOT NULL";
        matchNewInParent += std::string(sep) + parent + "." + p + " = NEW." + c;
        matchOldInChild += std::string(sep) + child + "." + c + " = OLD." + p;
        changed += std::string(i ? " OR " : "") + "NEW." + p + " IS NOT OLD." + p;
        setNew += std::string(i ? ", " : "") + c + " = NEW." + p;
        setNull += std::string(i ? ", " : "") + c + " = NULL";
    }
    const std::string requireParent = "WHEN " + newNotNull + " AND NOT EXISTS (SELECT 1 FROM " +
                                      parent + " WHERE " + matchNewInParent +
                                      ") BEGIN SELECT RAISE(ABORT, " +
                                      quoteText("VXFK:3201:" + key.refTable) + "); END";
    exec("CREATE TRIGGER " + quoteIdent(prefix + "ins") + " BEFORE INSERT ON " + child +
         " FOR EACH ROW " + requireParent);
    std::string childCols;
    for (std::size_t i = 0; i < key.columns.size(); ++i) {
        childCols += std::string(i ? ", " : "") + quoteIdent(key.columns[i]);
    }
    exec("CREATE TRIGGER " + quoteIdent(prefix + "upd") + " BEFORE UPDATE OF " + childCols +
         " ON " + child + " FOR EACH ROW " + requireParent);

    const std::string refused =
        "BEGIN SELECT RAISE(ABORT, " + quoteText("VXFK:3200:" + table) + "); END";
    const std::string childExists =
        "EXISTS (SELECT 1 FROM " + child + " WHERE " + matchOldInChild + ")";
    if (key.deleteRule == adRICascade) {
        exec("CREATE TRIGGER " + quoteIdent(prefix + "del") + " AFTER DELETE ON " + parent +
             " FOR EACH ROW BEGIN DELETE FROM " + child + " WHERE " + matchOldInChild + "; END");
    } else if (key.deleteRule == adRISetNull) {
        exec("CREATE TRIGGER " + quoteIdent(prefix + "del") + " AFTER DELETE ON " + parent +
             " FOR EACH ROW BEGIN UPDATE " + child + " SET " + setNull + " WHERE " +
             matchOldInChild + "; END");
    } else {
        exec("CREATE TRIGGER " + quoteIdent(prefix + "del") + " BEFORE DELETE ON " + parent +
             " FOR EACH ROW WHEN " + childExists + " " + refused);
    }
    std::string parentCols;
    for (std::size_t i = 0; i < key.refColumns.size(); ++i) {
        parentCols += std::string(i ? ", " : "") + quoteIdent(key.refColumns[i]);
    }
    const std::string onParentUpdate =
        " UPDATE OF " + parentCols + " ON " + parent + " FOR EACH ROW WHEN (" + changed + ")";
    if (key.updateRule == adRICascade) {
        exec("CREATE TRIGGER " + quoteIdent(prefix + "pupd") + " AFTER" + onParentUpdate +
             " BEGIN UPDATE " + child + " SET " + setNew + " WHERE " + matchOldInChild + "; END");
    } else if (key.updateRule == adRISetNull) {
        exec("CREATE TRIGGER " + quoteIdent(prefix + "pupd") + " AFTER" + onParentUpdate +
             " BEGIN UPDATE " + child + " SET " + setNull + " WHERE " + matchOldInChild + "; END");
    } else {
        exec("CREATE TRIGGER " + quoteIdent(prefix + "pupd") + " BEFORE" + onParentUpdate +
             " AND " + childExists + " " + refused);
    }
}

void Store::dropKeyTriggers(const std::string& table, const StoredKey& key) {
    if (key.type != adKeyForeign) return;
    for (const char* suffix : {"ins", "upd", "del", "pupd"}) {
        exec("DROP TRIGGER IF EXISTS " +
             quoteIdent("vxfk:" + table + ":" + key.name + ":" + suffix));
    }
}

// Regenerates the SQLite table from the catalog (for the changes SQLite's own
// ALTER TABLE cannot make), keeping its rows, then its indexes and the
// triggers of every relationship it takes part in.
void Store::rebuildTable(StoredTable& t) {
    auto referencing = referencingKeys(t.name);
    for (const auto& [child, key] : referencing) dropKeyTriggers(child, key);
    for (const auto& k : t.keys) dropKeyTriggers(t.name, k);
    bool empty = false;
    {
        Stmt s(db_, "SELECT 1 FROM " + quoteIdent(t.name) + " LIMIT 1");
        empty = !s.step();
    }
    if (empty) {
        remakeEmptyTable(t);
    } else {
        copyIntoRebuiltTable(t);
    }
    for (const auto& i : t.indexes) createSqliteIndex(t, i);
    for (const auto& k : t.keys) createKeyTriggers(t.name, k);
    for (const auto& [child, key] : referencing) createKeyTriggers(child, key);
    restoreCheckTriggers(db_, t);
}

// Nothing to carry over: the table is dropped and made again, without the
// rename that makes SQLite parse and rewrite every entry of the schema (a
// bulk load sets its fields' rules on empty tables, one table after another).
// Its furthest auto-number stays, as after a rebuild.
void Store::remakeEmptyTable(StoredTable& t) {
    std::optional<long long> furthest;
    if (sqlite3_table_column_metadata(db_, "main", "sqlite_sequence", "seq", nullptr, nullptr,
                                      nullptr, nullptr, nullptr) == SQLITE_OK) {
        Stmt s(db_, "SELECT seq FROM sqlite_sequence WHERE name = ?");
        s.bind(1, t.name);
        if (s.step()) furthest = s.integer(0);
    }
    exec("DROP TABLE " + quoteIdent(t.name));
    createSqliteTable(t, t.name);
    if (furthest && rowidColumn(t)) {
        exec("DELETE FROM sqlite_sequence WHERE name = " + quoteText(t.name));
        exec("INSERT INTO sqlite_sequence (name, seq) VALUES (" + quoteText(t.name) + ", " +
             std::to_string(*furthest) + ")");
    }
}

void Store::copyIntoRebuiltTable(StoredTable& t) {
    const std::string old = "vx_rebuild_" + t.name;
    exec("ALTER TABLE " + quoteIdent(t.name) + " RENAME TO " + quoteIdent(old));
    std::vector<std::string> triggers;
    {
        Stmt s(db_, "SELECT name FROM sqlite_schema WHERE type = 'trigger' AND tbl_name = ?");
        s.bind(1, old);
        while (s.step()) triggers.push_back(s.text(0));
    }
    for (const auto& trigger : triggers) exec("DROP TRIGGER " + quoteIdent(trigger));
    std::set<std::string> oldColumns;
    {
        Stmt s(db_, "SELECT name FROM pragma_table_info(?)");
        s.bind(1, old);
        while (s.step()) oldColumns.insert(upperAscii(s.text(0)));
    }
    createSqliteTable(t, t.name);
    std::string targets, values;
    for (const auto& c : t.columns) {
        if (!oldColumns.count(upperAscii(c.name)) || c.expressionSqlite) continue;
        if (!targets.empty()) {
            targets += ", ";
            values += ", ";
        }
        targets += quoteIdent(c.name);
        values += quoteIdent(c.name);
    }
    if (!targets.empty()) {
        exec("INSERT INTO " + quoteIdent(t.name) + " (" + targets + ") SELECT " + values +
             " FROM " + quoteIdent(old));
    }
    if (rowidColumn(t)) {
        // The old table's furthest auto-number stays the furthest, also when
        // its rows were deleted.
        exec(
            "UPDATE sqlite_sequence SET seq = (SELECT max(seq) FROM sqlite_sequence WHERE name IN "
            "(" +
            quoteText(t.name) + ", " + quoteText(old) + ")) WHERE name = " + quoteText(t.name));
        exec("INSERT INTO sqlite_sequence (name, seq) SELECT " + quoteText(t.name) +
             ", seq FROM sqlite_sequence WHERE name = " + quoteText(old) +
             " AND NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = " + quoteText(t.name) +
             ")");
    }
    exec("DROP TABLE " + quoteIdent(old));
}

std::string Store::uniqueKeyName(const StoredTable& t, const std::string& base) const {
    auto taken = [&](const std::string& n) {
        for (const auto& i : t.indexes) {
            if (equalsNoCase(i.name, n)) return true;
        }
        for (const auto& k : t.keys) {
            if (equalsNoCase(k.name, n)) return true;
        }
        return false;
    };
    if (!taken(base)) return base;
    for (int i = 1;; ++i) {
        std::string candidate = base + std::to_string(i);
        if (!taken(candidate)) return candidate;
    }
}

StoredKey Store::resolveForeignKey(const std::string& table, const ConstraintDef& def,
                                   const StoredTable& self) {
    StoredKey key;
    key.type = adKeyForeign;
    key.columns = def.columns;
    key.updateRule = def.updateRule;
    key.deleteRule = def.deleteRule;
    StoredTable parent;
    if (equalsNoCase(def.refTable, table)) {
        parent = self;
    } else {
        parent = loadTable(requireTable(def.refTable, " referenced by the relationship"));
    }
    key.refTable = parent.name;
    key.refColumns = def.refColumns;
    if (key.refColumns.empty()) {
        for (const auto& k : parent.keys) {
            if (k.type == adKeyPrimary) key.refColumns = k.columns;
        }
    }
    if (key.refColumns.size() != key.columns.size()) {
        raise(hr::kSyntax, jet::kNoUniqueIndex,
              "The fields of the relationship do not match the primary key or a unique index of "
              "table '" +
                  parent.name + "'.");
    }
    bool indexed = false;
    for (const auto& idx : parent.indexes) {
        if (idx.unique && sameColumns(idx.columns, key.refColumns)) indexed = true;
    }
    if (!indexed) {
        raise(hr::kSyntax, jet::kNoUniqueIndex,
              "The referenced fields of table '" + parent.name +
                  "' are not the primary key and have no unique index.");
    }
    for (std::size_t i = 0; i < key.refColumns.size(); ++i) {
        const StoredColumn* rc = findColumn(parent, key.refColumns[i]);
        const StoredColumn* cc = findColumn(self, key.columns[i]);
        if (!rc)
            raise(hr::kParamNotSet, jet::kFieldNotFound,
                  "There is no field '" + key.refColumns[i] + "' in table '" + parent.name + "'.");
        if (!cc)
            raise(hr::kParamNotSet, jet::kFieldNotFound,
                  "There is no field '" + key.columns[i] + "' in table '" + table + "'.");
        key.refColumns[i] = rc->name;
        key.columns[i] = cc->name;
    }
    checkRelationshipTypes(self, key.columns, parent, key.refColumns);
    return key;
}

void Store::replaceDefinition(StoredTable& t, bool rebuild) {
    saveTable(t);
    if (rebuild) rebuildTable(t);
}

// ------------------------------------------------------------------ DDL

void Store::execute(const Statement& st) {
    switch (st.kind) {
        case StatementKind::CreateTable:
            return createTable(st);
        case StatementKind::CreateIndex:
            return createIndex(st);
        case StatementKind::DropTable:
            return dropTable(st);
        case StatementKind::DropIndex:
            return dropIndex(st);
        case StatementKind::AlterAddColumn:
            return addColumn(st);
        case StatementKind::AlterDropColumn:
            return dropColumn(st);
        case StatementKind::AlterAddConstraint: {
            const std::string stored = requireTable(st.table);
            for (const auto& c : st.constraints) addConstraint(stored, c);
            return;
        }
        case StatementKind::AlterDropConstraint:
            return dropConstraint(st);
        case StatementKind::AlterColumn:
            return alterColumn(st);
        default:
            raise(hr::kUnspecified, jet::kReserved, "Internal error: not a definition statement.");
    }
}

namespace {

StoredColumn toStored(const ColumnDef& def) {
    StoredColumn c;
    c.name = def.name;
    c.type = def.type;
    c.notNull = def.notNull;
    c.defaultJet = def.defaultJet;
    c.defaultSqlite = def.defaultSqlite;
    return c;
}

void requireColumns(const StoredTable& t, const std::vector<std::string>& names) {
    for (const auto& n : names) {
        if (!findColumn(t, n)) {
            raise(hr::kParamNotSet, jet::kFieldNotFound,
                  "There is no field named '" + n + "' in table '" + t.name + "'.");
        }
    }
}

}  // namespace

void Store::createTable(const Statement& st) {
    checkName(st.table, "table");
    refuseQueryName(db_, st.table);
    if (auto existing = findTable(st.table)) {
        raise(hr::kSyntax, jet::kTableExists, "Table '" + *existing + "' already exists.");
    }
    if (st.columns.empty())
        raise(hr::kSyntax, jet::kSyntaxInCreateTable, "A table needs at least one field.");
    if (st.columns.size() > static_cast<std::size_t>(kMaxColumns)) {
        raise(hr::kSyntax, jet::kTooManyFields,
              "Too many fields defined: a table has at most 255.");
    }
    StoredTable t;
    t.name = st.table;
    for (const auto& def : st.columns) {
        checkName(def.name, "field");
        if (findColumn(t, def.name)) {
            raise(
                hr::kSyntax, jet::kFieldDefinedTwice,
                "Field '" + def.name + "' is defined more than once in table '" + st.table + "'.");
        }
        t.columns.push_back(toStored(def));
    }
    // Keys first, so the table is created with its primary key; foreign keys
    // and CHECK rules need the table itself and come after.
    std::vector<ConstraintDef> foreign;
    for (const auto& def : st.constraints) {
        if (def.kind == ConstraintKind::ForeignKey || def.kind == ConstraintKind::Check) {
            foreign.push_back(def);
            continue;
        }
        requireColumns(t, def.columns);
        StoredKey key;
        key.type = def.kind == ConstraintKind::PrimaryKey ? adKeyPrimary : adKeyUnique;
        if (key.type == adKeyPrimary) {
            for (const auto& k : t.keys) {
                if (k.type == adKeyPrimary)
                    raise(hr::kSyntax, jet::kPrimaryKeyExists,
                          "Primary key already exists in table '" + t.name + "'.");
            }
        }
        key.name = def.name.empty()
                       ? uniqueKeyName(
                             t, key.type == adKeyPrimary ? "PrimaryKey" : "Index_" + def.columns[0])
                       : def.name;
        for (const auto& c : def.columns) key.columns.push_back(findColumn(t, c)->name);
        if (!def.name.empty() && uniqueKeyName(t, key.name) != key.name) {
            raise(hr::kSyntax, jet::kIndexExists,
                  "Table '" + t.name + "' already has an index named '" + key.name + "'.");
        }
        StoredIndex idx;
        idx.name = key.name;
        idx.unique = true;
        idx.primary = key.type == adKeyPrimary;
        idx.columns = key.columns;
        t.keys.push_back(key);
        t.indexes.push_back(idx);
    }
    if (t.indexes.size() > static_cast<std::size_t>(kMaxIndexes)) {
        raise(hr::kUnspecified, jet::kTooManyIndexes,
              "The operation failed. There are too many indexes on table '" + t.name +
                  "' (at most 32).");
    }
    createSqliteTable(t, t.name);
    for (const auto& idx : t.indexes) createSqliteIndex(t, idx);
    saveTable(t);
    for (const auto& def : foreign) addConstraint(t.name, def);
}

void Store::createIndex(const Statement& st) {
    const std::string stored = requireTable(st.table);
    checkName(st.indexName, "index");
    StoredTable t = loadTable(stored);
    requireColumns(t, st.indexColumns);
    if (uniqueKeyName(t, st.indexName) != st.indexName) {
        raise(hr::kSyntax, jet::kIndexExists,
              "Table '" + t.name + "' already has an index named '" + st.indexName + "'.");
    }
    checkIndexLimit(t.name, 1);
    StoredIndex idx;
    idx.name = st.indexName;
    idx.unique = st.uniqueIndex || st.primaryIndex;
    idx.primary = st.primaryIndex;
    idx.ignoreNulls = st.ignoreNull;
    idx.disallowNull = st.disallowNull;
    for (const auto& c : st.indexColumns) idx.columns.push_back(findColumn(t, c)->name);
    idx.descending = st.indexDescending;
    t.indexes.push_back(idx);
    if (st.primaryIndex) {
        for (const auto& k : t.keys) {
            if (k.type == adKeyPrimary)
                raise(hr::kSyntax, jet::kPrimaryKeyExists,
                      "Primary key already exists in table '" + t.name + "'.");
        }
        StoredKey key;
        key.name = idx.name;
        key.type = adKeyPrimary;
        key.columns = idx.columns;
        t.keys.push_back(key);
        saveTable(t);
        rebuildTable(t);
        return;
    }
    createSqliteIndex(t, idx);
    saveTable(t);
}

void Store::dropTable(const Statement& st) {
    auto stored = findTable(st.table);
    if (!stored)
        raise(hr::kNoTable, jet::kTableNotFound, "Table '" + st.table + "' does not exist.");
    for (const auto& [child, key] : referencingKeys(*stored)) {
        if (!equalsNoCase(child, *stored)) {
            raise(hr::kUnspecified, jet::kPartOfRelationship,
                  "Cannot delete table '" + *stored + "': it is part of the relationship '" +
                      key.name + "' with table '" + child + "'. Delete the relationship first.");
        }
    }
    StoredTable t = loadTable(*stored);
    for (const auto& k : t.keys) dropKeyTriggers(t.name, k);
    dropCheckConstraints(db_, t.name);
    exec("DROP TABLE " + quoteIdent(t.name));
    deleteCatalogRows(t.name);
    for (const auto& c : t.columns) {
        if (c.type.autoIncrement) setProperty(counterProperty(t.name, c.name), std::nullopt);
    }
}

void Store::dropIndex(const Statement& st) {
    const std::string stored = requireTable(st.table);
    StoredTable t = loadTable(stored);
    auto it = std::find_if(t.indexes.begin(), t.indexes.end(), [&](const StoredIndex& i) {
        return equalsNoCase(i.name, st.indexName);
    });
    if (it == t.indexes.end()) {
        raise(hr::kSyntax, jet::kIndexNotFound,
              "Cannot find index '" + st.indexName + "' on table '" + t.name + "'.");
    }
    if (it->foreign) {
        raise(hr::kUnspecified, jet::kFieldInIndex,
              "Index '" + it->name +
                  "' belongs to the relationship of the same name; drop the constraint instead.");
    }
    auto key = std::find_if(t.keys.begin(), t.keys.end(),
                            [&](const StoredKey& k) { return equalsNoCase(k.name, it->name); });
    if (key != t.keys.end()) {
        Statement drop;
        drop.table = t.name;
        drop.constraintName = key->name;
        dropConstraint(drop);
        return;
    }
    dropSqliteIndex(t.name, it->name);
    t.indexes.erase(it);
    saveTable(t);
}

void Store::addColumn(const Statement& st) {
    const std::string stored = requireTable(st.table);
    StoredTable t = loadTable(stored);
    const ColumnDef& def = st.columns.at(0);
    checkName(def.name, "field");
    if (findColumn(t, def.name)) {
        raise(hr::kSyntax, jet::kFieldExists,
              "Field '" + def.name + "' already exists in table '" + t.name + "'.");
    }
    if (t.columns.size() >= static_cast<std::size_t>(kMaxColumns)) {
        raise(hr::kSyntax, jet::kTooManyFields,
              "Too many fields defined: table '" + t.name + "' already has 255.");
    }
    StoredColumn c = toStored(def);
    t.columns.push_back(c);
    if (c.notNull && !c.defaultSqlite && !c.type.autoIncrement) {
        // SQLite cannot add a NOT NULL field without a default; a rebuild can,
        // and refuses exactly when rows exist that would be left empty.
        saveTable(t);
        rebuildTable(t);
    } else {
        // Added without its range check, which SQLite would test with every
        // CHECK of the table on every row (five seconds for a million rows of
        // ninety numbers); the check joins the table's text afterwards.
        const std::string definition =
            quoteIdent(c.name) + " " + columnSql(t.name, c, c.notNull, false);
        exec("ALTER TABLE " + quoteIdent(t.name) + " ADD COLUMN " + definition);
        if (!c.type.autoIncrement && calculatedColumnSql(c).empty())
            constrainAddedColumn(t, c, definition);
        if (c.type.autoIncrement) {
            exec("UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = rowid");
            saveTable(t);
            rebuildTable(t);
        } else {
            saveTable(t);
            refreshTypeRules(t);
        }
    }
    for (const auto& con : st.constraints) addConstraint(t.name, con);
}

void Store::dropColumn(const Statement& st) {
    const std::string stored = requireTable(st.table);
    StoredTable t = loadTable(stored);
    const StoredColumn* c = findColumn(t, st.columnName);
    if (!c)
        raise(hr::kParamNotSet, jet::kItemNotFound,
              "There is no field named '" + st.columnName + "' in table '" + t.name + "'.");
    for (const auto& k : t.keys) {
        for (const auto& kc : k.columns) {
            if (equalsNoCase(kc, c->name) && k.type == adKeyForeign) {
                raise(hr::kUnspecified, jet::kFieldInRelationship,
                      "Cannot delete field '" + c->name + "': it is part of the relationship '" +
                          k.name + "'.");
            }
        }
    }
    for (const auto& [child, key] : referencingKeys(t.name)) {
        for (const auto& rc : key.refColumns) {
            if (equalsNoCase(rc, c->name)) {
                raise(hr::kUnspecified, jet::kFieldInRelationship,
                      "Cannot delete field '" + c->name + "': table '" + child +
                          "' refers to it in the relationship '" + key.name + "'.");
            }
        }
    }
    for (const auto& i : t.indexes) {
        for (const auto& ic : i.columns) {
            if (equalsNoCase(ic, c->name)) {
                raise(hr::kUnspecified, jet::kFieldInIndex,
                      "Cannot delete field '" + c->name + "': it is part of the index '" + i.name +
                          "'. Drop the index first.");
            }
        }
    }
    if (t.columns.size() == 1)
        raise(hr::kUnspecified, jet::kFieldInIndex,
              "Cannot delete the only field of table '" + t.name + "'.");
    std::string name = c->name;
    if (c->type.autoIncrement) {
        exec("DROP TRIGGER IF EXISTS " + quoteIdent("vxauto:" + t.name + ":" + name));
        setProperty(counterProperty(t.name, name), std::nullopt);
    }
    // SQLite refuses to drop a field a trigger names.
    for (const auto& drop : dropTypeRuleTriggers(t.name)) exec(drop);
    exec("ALTER TABLE " + quoteIdent(t.name) + " DROP COLUMN " + quoteIdent(name));
    t.columns.erase(std::find_if(t.columns.begin(), t.columns.end(),
                                 [&](const StoredColumn& x) { return x.name == name; }));
    saveTable(t);
    refreshTypeRules(t);
}

void Store::addConstraint(const std::string& tableName, const ConstraintDef& def) {
    checkConstraintPlacement(def);
    const std::string stored = requireTable(tableName);
    StoredTable t = loadTable(stored);
    requireColumns(t, def.columns);
    if (!def.name.empty()) {
        checkName(def.name, "constraint");
        if (uniqueKeyName(t, def.name) != def.name) {
            raise(hr::kSyntax, jet::kIndexExists,
                  "Table '" + t.name + "' already has an index or constraint named '" + def.name +
                      "'.");
        }
    }
    if (def.kind == ConstraintKind::Check) {
        addCheckConstraint(db_, t, {def.name, def.checkJet, def.checkSqlite});
        return;
    }
    if (def.kind == ConstraintKind::ForeignKey) {
        StoredKey key = resolveForeignKey(t.name, def, t);
        key.name = def.name.empty() ? uniqueKeyName(t, key.refTable + t.name) : def.name;
        checkIndexLimit(t.name, equalsNoCase(key.refTable, t.name) ? 2 : 1);
        if (!equalsNoCase(key.refTable, t.name)) checkIndexLimit(key.refTable, 1);
        // Existing rows must already satisfy the relationship.
        std::string notNull, match;
        for (std::size_t i = 0; i < key.columns.size(); ++i) {
            const char* sep = i ? " AND " : "";
            notNull += std::string(sep) + "c." + quoteIdent(key.columns[i]) + " IS NOT NULL";
            match += std::string(sep) + "p." + quoteIdent(key.refColumns[i]) + " = c." +
                     quoteIdent(key.columns[i]);
        }
        {
            Stmt check(db_, "SELECT 1 FROM " + quoteIdent(t.name) + " AS c WHERE " + notNull +
                                " AND NOT EXISTS (SELECT 1 FROM " + quoteIdent(key.refTable) +
                                " AS p WHERE " + match + ") LIMIT 1");
            if (check.step()) {
                raise(hr::kUnspecified, jet::kRelatedRecordRequired,
                      "Cannot create the relationship '" + key.name + "': rows of table '" +
                          t.name + "' have no related record in table '" + key.refTable + "'.");
            }
        }
        StoredIndex idx;
        idx.name = key.name;
        idx.foreign = true;
        idx.columns = key.columns;
        t.keys.push_back(key);
        t.indexes.push_back(idx);
        createSqliteIndex(t, idx);
        createKeyTriggers(t.name, key);
        saveTable(t);
        return;
    }
    StoredKey key;
    key.type = def.kind == ConstraintKind::PrimaryKey ? adKeyPrimary : adKeyUnique;
    for (const auto& c : def.columns) key.columns.push_back(findColumn(t, c)->name);
    key.name =
        def.name.empty()
            ? uniqueKeyName(t, key.type == adKeyPrimary ? "PrimaryKey" : "Index_" + key.columns[0])
            : def.name;
    checkIndexLimit(t.name, 1);
    StoredIndex idx;
    idx.name = key.name;
    idx.unique = true;
    idx.primary = key.type == adKeyPrimary;
    idx.columns = key.columns;
    t.keys.push_back(key);
    t.indexes.push_back(idx);
    if (key.type == adKeyPrimary) {
        for (const auto& k : t.keys) {
            if (k.type == adKeyPrimary && &k != &t.keys.back()) {
                raise(hr::kSyntax, jet::kPrimaryKeyExists,
                      "Primary key already exists in table '" + t.name + "'.");
            }
        }
        saveTable(t);
        rebuildTable(t);
        return;
    }
    createSqliteIndex(t, idx);
    saveTable(t);
}

void Store::dropConstraint(const Statement& st) {
    const std::string stored = requireTable(st.table);
    StoredTable t = loadTable(stored);
    auto key = std::find_if(t.keys.begin(), t.keys.end(), [&](const StoredKey& k) {
        return equalsNoCase(k.name, st.constraintName);
    });
    if (key == t.keys.end()) {
        if (dropCheckConstraint(db_, t.name, st.constraintName)) return;
        raise(hr::kSyntax, jet::kIndexNotFound,
              "Cannot find constraint '" + st.constraintName + "' on table '" + t.name + "'.");
    }
    if (key->type != adKeyForeign) {
        for (const auto& [child, ref] : referencingKeys(t.name)) {
            if (sameColumns(ref.refColumns, key->columns)) {
                raise(hr::kUnspecified, jet::kPartOfRelationship,
                      "Cannot delete '" + key->name + "': table '" + child +
                          "' refers to it in the relationship '" + ref.name + "'.");
            }
        }
    }
    StoredKey removed = *key;
    t.keys.erase(key);
    t.indexes.erase(
        std::remove_if(t.indexes.begin(), t.indexes.end(),
                       [&](const StoredIndex& i) { return equalsNoCase(i.name, removed.name); }),
        t.indexes.end());
    dropKeyTriggers(t.name, removed);
    dropSqliteIndex(t.name, removed.name);
    saveTable(t);
    if (removed.type == adKeyPrimary) {
        rebuildTable(t);
    }
}

void Store::alterColumn(const Statement& st) {
    const std::string stored = requireTable(st.table);
    StoredTable t = loadTable(stored);
    const ColumnDef& def = st.columns.at(0);
    auto it = std::find_if(t.columns.begin(), t.columns.end(),
                           [&](const StoredColumn& c) { return equalsNoCase(c.name, def.name); });
    if (it == t.columns.end()) {
        raise(hr::kParamNotSet, jet::kItemNotFound,
              "There is no field named '" + def.name + "' in table '" + t.name + "'.");
    }
    auto inRelationship = [&](const std::string& col) {
        for (const auto& k : t.keys) {
            if (k.type != adKeyForeign) continue;
            for (const auto& c : k.columns)
                if (equalsNoCase(c, col)) return true;
        }
        for (const auto& [child, k] : referencingKeys(t.name)) {
            for (const auto& c : k.refColumns)
                if (equalsNoCase(c, col)) return true;
        }
        return false;
    };
    if (inRelationship(it->name)) {
        raise(hr::kUnspecified, jet::kFieldInRelationship,
              "Cannot change field '" + it->name + "': it is part of a relationship.");
    }
    std::string name = it->name;
    *it = toStored(def);
    it->name = name;
    saveTable(t);
    rebuildTable(t);
    for (const auto& con : st.constraints) addConstraint(t.name, con);
}

}  // namespace engine::detail
