// Declarations shared by the engine's own source files. Not part of the
// public interface.
#pragma once

#include <sqlite3.h>

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"
#include "engine/PreparedStatement.h"

namespace engine::detail {

constexpr const char* kSource = "VantolyEngine";

// The most bytes one text or binary value may hold, on every connection the
// engine opens (SQLite's length limit): a function that would build a longer
// text fails with error 14 (out of string space) before it allocates, so a
// runaway String(2000000000, 'x') costs an error, not the process's memory.
constexpr int kMaxValueBytes = 64 * 1024 * 1024;
constexpr int kOutOfStringSpace = 14;

// Raises the engine's error object.
[[noreturn]] void raise(std::int32_t code, int jetError, const std::string& description);
// Turns an SQLite failure into the engine's error object; `context` names what
// was being done, for the description.
[[noreturn]] void raiseSqlite(sqlite3* db, int rc, const std::string& context);

// What a connection's progress hook raised, held on the thread that ran the
// statement until raiseSqlite raises it for the interrupt it caused.
void holdHookFailure(std::exception_ptr failure);
bool hookFailurePending();
std::exception_ptr takeHookFailure();
// Jet's 3049 for a file SQLite could not open, with SQLite's `message`; a
// path longer than SQLite can open says so, since the message would not.
[[noreturn]] void raiseCannotOpen(const std::string& path, const std::string& message);
// The damaged-database error; `where` is empty or " (what is damaged)".
[[noreturn]] void raiseDamaged(const std::string& where);
// Jet's 3078 for a table that does not exist; `role` (may be empty) follows
// the name, as in " referenced by the relationship".
[[noreturn]] void raiseNoTable(std::string_view name, std::string_view role = {});

// Text of a result column with its bytes as stored; nullopt for NULL.
std::optional<std::string> columnText(sqlite3_stmt* stmt, int column);
// A catalog value the engine always writes: NULL there (another tool edited
// the file) raises the damaged-database error naming the table and column.
std::string requiredText(sqlite3_stmt* stmt, int column);
long long requiredInteger(sqlite3_stmt* stmt, int column);

std::string quoteIdent(std::string_view name);  // "name" with quotes doubled
std::string quoteText(std::string_view text);   // 'text' with quotes doubled
bool equalsNoCase(std::string_view a, std::string_view b);
std::string upperAscii(std::string_view s);
std::size_t utf8Length(std::string_view s);
bool isSystemName(std::string_view tableName);  // MSys* (any case) or sqlite_*

// The Key=Value pairs of a connection text, keys in capitals, values with
// their quoting undone; raises ComError for a text that does not read so.
struct ConnectionPair {
    std::string key;
    std::string value;
};
std::vector<ConnectionPair> parseConnectionText(const std::string& text);

// ---------------------------------------------------------------------------
// Column types
// ---------------------------------------------------------------------------

struct TypeInfo {
    int adoType = adInteger;
    long definedSize = 4;
    bool fixed = true;
    bool autoIncrement = false;
    long seed = 1;
    long increment = 1;
    int precision = 0;  // DECIMAL
    int scale = 0;
};

// The declared SQLite type written for a Jet column type; its affinity is the
// one the values need, and it maps back to the Jet type one to one.
std::string sqliteDeclType(const TypeInfo& type);
// Maps a declared SQLite type back to the ADO type and the variant tag;
// false for a declared type this engine did not write.
bool typeFromDecl(const char* decl, int& adoType, long& size);
std::uint16_t tagForAdoType(int adoType);

// ---------------------------------------------------------------------------
// Parsed statements
// ---------------------------------------------------------------------------

struct ColumnDef {
    std::string name;
    TypeInfo type;
    bool notNull = false;
    std::optional<std::string> defaultJet;     // as written, for the catalog
    std::optional<std::string> defaultSqlite;  // translated expression
};

enum class ConstraintKind { PrimaryKey, Unique, ForeignKey, Check };

struct ConstraintDef {
    ConstraintKind kind = ConstraintKind::PrimaryKey;
    std::string name;  // empty: generated
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;  // empty: the referenced primary key
    int updateRule = adRINone;
    int deleteRule = adRINone;
    std::string checkJet;     // CHECK: the rule as written
    std::string checkSqlite;  // CHECK: the rule translated
};

enum class ResultKind {
    Dynamic,
    ColumnOf,
    Count,
    Date,
    Currency,
    Decimal,
    Long,
    Double,
    Text,
    Bool
};

struct ResultHint {
    ResultKind kind = ResultKind::Dynamic;
    std::string table;   // for ColumnOf: qualifier as written (may be empty)
    std::string column;  // for ColumnOf
    bool dateOnly =
        false;  // ColumnOf: the column's type only when it is a date (the column plus a number)
    bool exactOnly = false;  // ColumnOf: the column's type only when Currency or Decimal (Sum, Avg)
};

struct TableRef {
    std::string name;
    std::string alias;
};

// A field of a statement whose catalog type decides whether Jet runs it:
// one compared in a join's ON clause, or one compared with a number or a
// text literal. Found in the tokens (Checks.cpp), judged when it runs.
struct ColumnUse {
    enum class Kind { Joined, ComparedWithNumber, ComparedWithText };
    Kind kind = Kind::Joined;
    std::string qualifier;  // as written, may be empty
    std::string column;
};

enum class StatementKind {
    Select,
    Insert,
    Update,
    Delete,
    CreateTable,
    CreateIndex,
    DropTable,
    DropIndex,
    AlterAddColumn,
    AlterDropColumn,
    AlterAddConstraint,
    AlterDropConstraint,
    AlterColumn,
    AlterPassword,
    SelectInto,    // `table` is the new table, `sqlite` the SELECT that fills it
    CreateQuery,   // CREATE VIEW / CREATE PROCEDURE: `table` the name, `queryText` the Jet text
    DropQuery,     // DROP VIEW / DROP PROCEDURE
    ExecuteQuery,  // EXECUTE: `table` the saved query, `executeValues` its parameters' values
};

// A parameter a PARAMETERS clause declares.
struct QueryParameter {
    std::string name;       // as written, the parts of a dotted name joined by "!"
    int adoType = adEmpty;  // adEmpty: VALUE, any value as given
};

namespace sql {
struct Node;
}

// A TRANSFORM ... PIVOT query, completed when it runs: its columns are the
// row headings, then one per pivot value.
struct CrosstabPlan {
    std::string head;                     // "SELECT <row headings>"
    std::shared_ptr<sql::Node> value;     // the aggregate expression's tree, written per column
    std::vector<std::string> valueKinds;  // what its translation asked of the catalog, in order
    std::string pivot;                    // the PIVOT expression
    std::string body;                     // " FROM ... GROUP BY ... HAVING ..."
    std::string fromWhere;                // " FROM ... WHERE ..."
    std::string order;                    // " ORDER BY ..."
    bool fixedHeadings = false;           // PIVOT ... IN (...)
    std::vector<std::pair<std::string, std::string>> headings;  // IN list: value as SQL, heading
    ResultHint valueHint;
};

struct Statement {
    StatementKind kind = StatementKind::Select;
    std::string sqlite;                    // DML: the statement for SQLite
    std::string table;                     // target table of DML/DDL
    std::vector<ResultHint> hints;         // SELECT: one per result column
    std::vector<TableRef> sources;         // SELECT: the tables of the FROM clauses
    std::optional<CrosstabPlan> crosstab;  // TRANSFORM: `sqlite` is made when it runs
    std::vector<ColumnUse> columnUses;     // judged against the catalog when it runs
    std::vector<TableRef> namedTables;     // every table named, subqueries' included

    // Yes, No, On or Off read as Jet's constants (a field of that name wins).
    std::vector<std::string> constantWords;

    // DDL
    std::vector<ColumnDef> columns;
    std::vector<ConstraintDef> constraints;
    std::string indexName;
    bool uniqueIndex = false;
    bool primaryIndex = false;  // WITH PRIMARY
    bool disallowNull = false;
    bool ignoreNull = false;
    std::vector<std::string> indexColumns;
    std::vector<bool> indexDescending;  // one per index column
    std::string columnName;             // DROP COLUMN / ALTER COLUMN
    std::string constraintName;
    std::optional<std::string> newPassword;
    std::optional<std::string> oldPassword;

    // Saved queries
    std::vector<QueryParameter> parameters;   // the PARAMETERS clause, in order
    std::vector<std::string> parameterNames;  // declared ones read by a name of one part
    std::vector<std::string> tablesRead;      // every table or query named in FROM clauses
    std::string queryText;                    // CREATE VIEW / PROCEDURE: the Jet text kept
    bool querySelects = false;                // CREATE VIEW / PROCEDURE: a select query
    std::vector<Variant> executeValues;       // EXECUTE
};

// The literals of a statement parsed for the statement cache. A literal that
// stands alone where a value is only used (VALUES, SET, the right side of a
// comparison, BETWEEN, IN, LIKE) is written as the parameter ?N, N its place
// among the statement's literal tokens counted from 1, and baked[N-1] holds
// the SQLite text it stands for. Any other literal may have shaped the
// translation (TOP n, ORDER BY 1, a format text): it stays written into the
// text, and its baked entry stays empty.
struct LiteralParameters {
    std::vector<std::string> baked;
};

// Parses one Jet SQL statement. Raises a syntax error naming the place. With
// `parameters`, the literals of SELECT, INSERT, UPDATE and DELETE become
// parameters as described there.
// `fieldNames` (may be null) are names the caller found to be fields of the
// statement's tables: a declared parameter or one of Yes, No, On and Off of
// that name reads the field, as Jet looks a name up among the fields first.
Statement parseStatement(std::string_view text, LiteralParameters* parameters = nullptr,
                         const std::vector<std::string>* fieldNames = nullptr);
struct ResultColumn;
// The SQL of a crosstab on this database (its headings read from the data),
// with one hint added to `st.hints` per pivot column.
std::string crosstabSql(sqlite3* db, Statement& st);
// Carries out SELECT ... INTO: the new table typed from `columns` (the
// SELECT's result columns, `stmt` prepared from `st.sqlite`, left reset), its
// catalog entries, and its rows. Returns the number of rows.
long runSelectInto(sqlite3* db, const Statement& st, sqlite3_stmt* stmt,
                   const std::vector<ResultColumn>& columns);

// Translates a lone value such as a column default ("0", "now()", "'x'").
std::string translateExpression(std::string_view text);
// Translates a whole expression over the fields of one row, such as a
// calculated field's ("[LastName] & ', ' & [FirstName]").
std::string translateRowExpression(std::string_view text);

// ---------------------------------------------------------------------------
// The catalog store (system tables inside the database file)
// ---------------------------------------------------------------------------

struct StoredColumn {
    std::string name;
    TypeInfo type;
    bool notNull = false;
    std::optional<std::string> defaultJet;
    std::optional<std::string> defaultSqlite;
    int position = 0;
    // The ordinal position the table-definition facility was told; it orders
    // nothing here and survives every later change of the table.
    std::optional<int> ordinalPosition;
    // Kept in MSysFieldProperties (FieldProperties.cpp).
    bool allowZeroLength = true;
    std::optional<std::string> description;
    std::optional<std::string> expressionJet;     // a calculated field's
    std::optional<std::string> expressionSqlite;  // translated
};

struct StoredIndex {
    std::string name;
    bool unique = false;
    bool primary = false;
    bool ignoreNulls = false;
    bool disallowNull = false;
    bool foreign = false;  // the index a foreign key brings
    std::vector<std::string> columns;
    std::vector<bool> descending;  // one per column, or empty: every column ascending

    bool isDescending(std::size_t column) const {
        return column < descending.size() && descending[column];
    }
};

struct StoredKey {
    std::string name;
    int type = adKeyPrimary;
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;
    int updateRule = adRINone;
    int deleteRule = adRINone;
};

struct StoredTable {
    std::string name;
    std::vector<StoredColumn> columns;  // physical order
    std::vector<StoredIndex> indexes;
    std::vector<StoredKey> keys;
    std::optional<std::string> description;
};

class Store {
  public:
    explicit Store(sqlite3* db) : db_(db) {}

    static void initialise(sqlite3* db);  // writes the system tables into a new file
    static bool isEngineFile(sqlite3* db);

    std::vector<std::string> tableNames(bool includeSystem) const;
    std::optional<std::string> findTable(std::string_view name) const;  // stored spelling
    // The stored spelling, or Jet's 3078 "cannot find table" with `role`
    // (" referenced by ...", may be empty) after the name.
    std::string requireTable(std::string_view name, std::string_view role = {}) const;
    StoredTable loadTable(const std::string& storedName) const;
    // Foreign keys of other tables that reference `storedName`.
    std::vector<std::pair<std::string, StoredKey>> referencingKeys(
        const std::string& storedName) const;

    void execute(const Statement& st);  // every DDL statement
    // Writes the table's catalog rows again after a property of it or of a
    // field changed; with `rebuild`, the SQLite table is made again from
    // them, its rows kept.
    void replaceDefinition(StoredTable& t, bool rebuild);

    std::optional<std::string> property(const std::string& name) const;
    void setProperty(const std::string& name, const std::optional<std::string>& value);

    // Records a field's ordinal position as the table-definition facility sets
    // it; raises 3265 when the table has no such column.
    void setOrdinalPosition(const std::string& storedName, const std::string& column, int ordinal);

  private:
    // Catalog tables made on first use; files written before they existed lack them.
    static constexpr const char* kOrdinalTable = "MSysColumnOrdinals";
    static constexpr const char* kIndexOrderTable = "MSysIndexColumnOrder";  // descending fields
    bool hasCatalogTable(const char* name) const;
    void createTable(const Statement& st);
    void createIndex(const Statement& st);
    void dropTable(const Statement& st);
    void dropIndex(const Statement& st);
    void addColumn(const Statement& st);
    void dropColumn(const Statement& st);
    void addConstraint(const std::string& table, const ConstraintDef& def);
    void dropConstraint(const Statement& st);
    void alterColumn(const Statement& st);

    void saveTable(const StoredTable& t);  // catalog rows of one table
    void deleteCatalogRows(const std::string& table);
    void createSqliteTable(const StoredTable& t, const std::string& sqliteName);
    void createSqliteIndex(const StoredTable& t, const StoredIndex& idx);
    void dropSqliteIndex(const std::string& table, const std::string& index);
    void refreshTypeRules(const StoredTable& t);  // after a field is added or dropped in place
    // Gives a field just added in place its own overflow constraint; false
    // when that cannot be shown safe, and the table's triggers guard it.
    bool constrainAddedColumn(const StoredTable& t, const StoredColumn& c,
                              const std::string& definition);
    std::string sqliteTableSql(const std::string& sqliteName) const;
    void createKeyTriggers(const std::string& table, const StoredKey& key);
    void dropKeyTriggers(const std::string& table, const StoredKey& key);
    void rebuildTable(StoredTable& t);  // regenerates the SQLite table
    void remakeEmptyTable(StoredTable& t);
    void copyIntoRebuiltTable(StoredTable& t);
    void checkIndexLimit(const std::string& table, int adding);
    int indexUsage(const std::string& table) const;
    StoredKey resolveForeignKey(const std::string& table, const ConstraintDef& def,
                                const StoredTable& self);
    std::string uniqueKeyName(const StoredTable& t, const std::string& base) const;

    void exec(const std::string& sql) const;

    sqlite3* db_;
};

std::string sqliteIndexName(const std::string& table, const std::string& index);

// Jet's types held in a table (TypeRules.cpp): overflow refused with 3349 by
// a field's own CHECK constraint (named kOverflowConstraintPrefix + field),
// or, for fields of files written before, by the table's triggers; currency,
// single, decimal and Yes/No stored as Jet stores them by triggers.
inline constexpr const char* kOverflowConstraintPrefix = "vxovf:";
// The field's overflow constraint as written after its type, or empty.
std::string overflowConstraint(const StoredColumn& c);
// The SQL condition under which `value` overflows field c; empty for a type
// without bounds.
std::string overflowCondition(const StoredColumn& c, const std::string& value);
// tableSql is the table's CREATE statement as SQLite keeps it: a field whose
// own constraint is in it needs no overflow trigger.
std::vector<std::string> typeRuleTriggers(const StoredTable& t, const std::string& sqliteName,
                                          const std::string& tableSql);
std::vector<std::string> dropTypeRuleTriggers(const std::string& sqliteName);
// overflowCondition by the engine's exact rule, for the engine's own use: a
// Decimal rounded to its scale first.
std::string exactOverflowCondition(const StoredColumn& c, const std::string& value);
// A TEMP trigger a connection keeps on one of the file's tables for what
// needs the engine's functions (WriteRules.h keeps them in step).
struct ConnectionRule {
    std::string name;
    std::string body;  // after the name
    std::string createSql() const { return "CREATE TEMP TRIGGER " + quoteIdent(name) + " " + body; }
    // As SQLite keeps it in temp.sqlite_schema.
    std::string storedSql() const { return "CREATE TRIGGER " + quoteIdent(name) + " " + body; }
};
std::vector<ConnectionRule> connectionRules(const StoredTable& t, const std::string& sqliteName);
// The field types connectionRules gives rules for, as an SQL list ("4, 131").
const std::string& connectionRuledTypes();
// The catalog property keeping the furthest number an auto-number field that
// is not the row's own number has handed out.
std::string counterProperty(const std::string& table, const std::string& column);

// The properties of fields and tables beyond their definition
// (FieldProperties.cpp), kept in a catalog table of their own made on first
// use, read and written with the table's other catalog rows.
void loadFieldProperties(sqlite3* db, StoredTable& t);
void saveFieldProperties(sqlite3* db, const StoredTable& t);  // after deleteFieldProperties
void deleteFieldProperties(sqlite3* db, const std::string& table);
// A calculated field's SQLite definition after its name, or empty for an
// ordinary field.
std::string calculatedColumnSql(const StoredColumn& c);
// The constraint refusing a zero-length text, or empty.
std::string zeroLengthConstraint(const std::string& table, const StoredColumn& c);
inline constexpr const char* kZeroLengthConstraintPrefix = "vxazl:";
void registerFieldPropertyFunctions(sqlite3* db);  // vx_genguid() for GenGUID()

// CHECK constraints (CheckConstraints.cpp): kept in their own catalog table,
// enforced by triggers on their table.
struct CheckConstraint {
    std::string name;
    std::string jet;     // as written
    std::string sqlite;  // translated
};
// Parts the raised message "VXCHECK:<constraint><kCheckSeparator><table>".
constexpr char kCheckSeparator = '\x1f';
std::vector<CheckConstraint> checkConstraints(sqlite3* db, const std::string& table);
// Refuses (3317) when rows already in the table break the rule; an empty
// name is given one.
void addCheckConstraint(sqlite3* db, const StoredTable& t, CheckConstraint check);
bool dropCheckConstraint(sqlite3* db, const std::string& table,
                         const std::string& name);  // false: none such
void dropCheckConstraints(sqlite3* db, const std::string& table);
// Makes the triggers again after the table was rebuilt; refuses (3280) when a
// rule names a field the table no longer has.
void restoreCheckTriggers(sqlite3* db, const StoredTable& t);

// ---------------------------------------------------------------------------
// Recordsets and connections
// ---------------------------------------------------------------------------

struct ResultColumn {
    std::string name;
    int adoType = adVarWChar;
    long size = 0;
    std::uint16_t tag = VT_BSTR;
    bool typed = false;  // false: the tag follows each value
};

// A recordset over a prepared SELECT, stepped to its first row, its columns
// then described by `describe`: SQLite prepares a statement again at its first
// step when another connection changed the tables, and only then are the
// columns known. `release` (may be empty) takes the statement back when the
// recordset is done with it.
std::shared_ptr<Recordset> makeStatementRecordset(
    const std::shared_ptr<Connection>& connection, PreparedStatement stmt,
    const std::function<std::vector<ResultColumn>(sqlite3_stmt*)>& describe,
    std::function<void(PreparedStatement)> release = {});
// A recordset over rows held in memory.
std::shared_ptr<Recordset> makeMemoryRecordset(std::vector<ResultColumn> columns,
                                               std::vector<std::vector<Variant>> rows);
sqlite3* connectionHandle(const Connection& connection);  // ComError when closed
// Closes the recordset when the connection closes.
void trackRecordset(Connection& connection, const std::shared_ptr<Recordset>& recordset);

// ---------------------------------------------------------------------------
// Functions registered on every connection (now(), Year(), Format(), ...)
// ---------------------------------------------------------------------------
void registerFunctions(sqlite3* db);
void registerTypeRuleFunctions(sqlite3* db);  // what the type triggers call

// One SQL function as SQLite calls it: a scalar, or an aggregate's step and
// final. `args` -1 takes any number of arguments.
struct SqlFunction {
    const char* name;
    int args;
    int flags;
    void (*scalar)(sqlite3_context*, int, sqlite3_value**);
    void (*step)(sqlite3_context*, int, sqlite3_value**) = nullptr;
    void (*final)(sqlite3_context*) = nullptr;
};
// The families registerFunctions registers, one file each.
std::span<const SqlFunction> coreFunctions();
std::span<const SqlFunction> textFunctions();     // FunctionsText.cpp
std::span<const SqlFunction> dateFunctions();     // FunctionsDate.cpp
std::span<const SqlFunction> mathFunctions();     // FunctionsMath.cpp
std::span<const SqlFunction> financeFunctions();  // FunctionsFinance.cpp
std::span<const SqlFunction> valueFunctions();    // FunctionsValues.cpp

// Reads a Jet date literal body ("2020/05/24", "5/24/2020 13:07") into an
// OLE date; false when it is not a date.
bool parseDateLiteral(std::string_view text, double& oleDate);

// ---------------------------------------------------------------------------
// Passwords
// ---------------------------------------------------------------------------
// Kept as a salted PBKDF2 hash among the catalog's properties; a verified
// password is remembered for the process, so many opens of one file stay cheap.
// Raises 3031 unless `password` opens the database file at `path`; a database
// without a password opens with any.
void checkPassword(const Store& store, const std::string& path, const std::string& password);
// Sets the password (empty: none) without asking for the old one.
void setPassword(Store& store, const std::string& password);
// ALTER DATABASE PASSWORD: raises 3031 unless `oldPassword` is the current one
// (empty when there is none), then sets `newPassword`.
void changePassword(Store& store, const std::string& path, const std::string& oldPassword,
                    const std::string& newPassword);

}  // namespace engine::detail
