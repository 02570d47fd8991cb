#include "engine/Internal.h"
#include "engine/PreparedStatement.h"

namespace engine {

using namespace detail;

struct RowInserter::Impl {
    sqlite3* db = nullptr;
    PreparedStatement owner;
    sqlite3_stmt* stmt = nullptr;
    std::string table;
    std::size_t columnCount = 0;
    std::vector<bool>
        dateColumn;  // by position: a text given for it is read as a date, as Jet reads it
};

RowInserter::RowInserter(Connection& connection, const std::string& table,
                         const std::vector<std::string>& columns)
    : impl_(std::make_unique<Impl>()) {
    sqlite3* db = connectionHandle(connection);
    Store store(db);
    // The catalog's own tables are no load target: to a row loader they do not exist.
    if (isSystemName(table)) raiseNoTable(table);
    const std::string stored = store.requireTable(table);
    const StoredTable definition = store.loadTable(stored);
    std::string names, marks;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        bool known = false;
        for (const auto& c : definition.columns) known = known || equalsNoCase(c.name, columns[i]);
        bool date = false;
        for (const auto& c : definition.columns)
            date = date || (equalsNoCase(c.name, columns[i]) && c.type.adoType == adDate);
        impl_->dateColumn.push_back(date);
        if (!known) {
            raise(hr::kInvalidArg, jet::kItemNotFound,
                  "Table '" + stored + "' has no field '" + columns[i] + "' to insert into.");
        }
        names += std::string(i ? ", " : "") + quoteIdent(columns[i]);
        marks += i ? ", ?" : "?";
    }
    const std::string sql =
        "INSERT INTO " + quoteIdent(stored) + " (" + names + ") VALUES (" + marks + ")";
    impl_->owner = prepare(db, sql, "preparing rows for table '" + stored + "'");
    impl_->stmt = impl_->owner.get();
    impl_->db = db;
    impl_->table = stored;
    impl_->columnCount = columns.size();
}

RowInserter::~RowInserter() = default;

void RowInserter::Insert(const std::vector<Variant>& values) {
    if (values.size() != impl_->columnCount) {
        raise(hr::kInvalidArg, jet::kValueCountMismatch,
              "Number of query values and destination fields are not the same: " +
                  std::to_string(values.size()) + " values for " +
                  std::to_string(impl_->columnCount) + " fields of table '" + impl_->table + "'.");
    }
    sqlite3_stmt* stmt = impl_->stmt;
    sqlite3_reset(stmt);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Variant& v = values[i];
        const int at = static_cast<int>(i + 1);
        switch (v.vt()) {
            case VT_EMPTY:
            case VT_NULL:
                sqlite3_bind_null(stmt, at);
                break;
            case VT_BSTR:
                if (double date = 0; impl_->dateColumn[i] && parseDateLiteral(v.text(), date)) {
                    sqlite3_bind_double(stmt, at, date);
                    break;
                }
                sqlite3_bind_text64(stmt, at, v.text().data(), v.text().size(), SQLITE_TRANSIENT,
                                    SQLITE_UTF8);
                break;
            case VT_ARRAY | VT_UI1:
                sqlite3_bind_blob64(stmt, at, v.bytes().data(), v.bytes().size(), SQLITE_TRANSIENT);
                break;
            case VT_R4:
            case VT_R8:
            case VT_DATE:
                sqlite3_bind_double(stmt, at, v.doubleValue());
                break;
            case VT_DECIMAL:
                sqlite3_bind_text64(stmt, at, v.text().data(), v.text().size(), SQLITE_TRANSIENT,
                                    SQLITE_UTF8);
                break;
            // Currency is kept as a number of whole units, as an INSERT of a
            // currency literal stores it; ten-thousandths read back exactly.
            case VT_CY:
                sqlite3_bind_double(stmt, at, static_cast<double>(v.currency()) / 10000.0);
                break;
            default:
                sqlite3_bind_int64(stmt, at, v.intValue());
                break;
        }
    }
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        const int extended = sqlite3_extended_errcode(impl_->db);
        sqlite3_reset(stmt);
        raiseSqlite(impl_->db, extended, "");
    }
}

}  // namespace engine
