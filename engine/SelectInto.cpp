// SELECT ... INTO new_table (a make-table query): a new table whose fields
// take the types of the columns they come from, with its catalog entries, and
// the rows of the SELECT. The caller holds a savepoint around it, so the table
// is made whole with its rows or not at all.
#include <algorithm>

#include "engine/Internal.h"

namespace engine::detail {

namespace {

constexpr long kMaxText = 255;

// What the untyped column of an expression held, to type its field.
struct Seen {
    int rank = 0;  // 0 nothing but Null, then SQLite's INTEGER, FLOAT, TEXT, BLOB
    bool beyondLong = false;
    std::size_t longestText = 0;

    void add(sqlite3_stmt* stmt, int column) {
        const int type = sqlite3_column_type(stmt, column);
        if (type == SQLITE_NULL) return;
        rank = std::max(rank, type);
        if (type == SQLITE_INTEGER) {
            const sqlite3_int64 v = sqlite3_column_int64(stmt, column);
            beyondLong = beyondLong || v < -2147483648LL || v > 2147483647LL;
        } else if (type == SQLITE_TEXT) {
            longestText = std::max(longestText, utf8Length(columnText(stmt, column).value_or("")));
        }
    }

    TypeInfo type() const {
        switch (rank) {
            case SQLITE_INTEGER:
                return beyondLong ? TypeInfo{adDouble, 8, true} : TypeInfo{adInteger, 4, true};
            case SQLITE_FLOAT:
                return {adDouble, 8, true};
            case SQLITE_BLOB:
                return {adLongVarBinary, 0, false};
            default:
                return longestText > static_cast<std::size_t>(kMaxText)
                           ? TypeInfo{adLongVarWChar, 0, false}
                           : TypeInfo{adVarWChar, kMaxText, false};
        }
    }
};

// A field copied from a table column keeps its type, size, precision and
// scale; an AutoNumber arrives as a Long Integer holding the same numbers.
TypeInfo typeOfTableColumn(sqlite3* db, sqlite3_stmt* stmt, int column,
                           const ResultColumn& result) {
    const char* table = sqlite3_column_table_name(stmt, column);
    const char* origin = sqlite3_column_origin_name(stmt, column);
    if (table && origin && !isSystemName(table)) {
        for (const auto& c : Store(db).loadTable(table).columns) {
            if (!equalsNoCase(c.name, origin)) continue;
            TypeInfo type = c.type;
            type.autoIncrement = false;
            type.seed = type.increment = 1;
            return type;
        }
    }
    TypeInfo type{result.adoType, result.size, true};
    type.fixed = result.adoType != adVarWChar && result.adoType != adLongVarWChar &&
                 result.adoType != adVarBinary && result.adoType != adLongVarBinary;
    if (result.adoType == adNumeric) type.precision = static_cast<int>(result.size);
    return type;
}

}  // namespace

long runSelectInto(sqlite3* db, const Statement& st, sqlite3_stmt* stmt,
                   const std::vector<ResultColumn>& columns) {
    std::vector<Seen> seen(columns.size());
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i].typed) seen[i].add(stmt, static_cast<int>(i));
        }
    }
    if (rc != SQLITE_DONE) raiseSqlite(db, sqlite3_extended_errcode(db), "");

    Statement create;
    create.kind = StatementKind::CreateTable;
    create.table = st.table;
    std::string names;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        ColumnDef def;
        def.name = columns[i].name;
        def.type = columns[i].typed ? typeOfTableColumn(db, stmt, static_cast<int>(i), columns[i])
                                    : seen[i].type();
        create.columns.push_back(std::move(def));
        names += (i ? ", " : "") + quoteIdent(columns[i].name);
    }
    sqlite3_reset(stmt);
    Store(db).execute(create);

    const std::string fill =
        "INSERT INTO " + quoteIdent(st.table) + " (" + names + ") " + st.sqlite;
    if (sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        raiseSqlite(db, sqlite3_extended_errcode(db), "");
    }
    return static_cast<long>(sqlite3_changes(db));
}

}  // namespace engine::detail
