// What Jet keeps of a field beyond its type: whether it takes a zero-length
// text, its description, and a calculated field's expression; and a table's
// description. They live in a catalog table of their own, made the first
// time one is set, so files written before it and files that never set one
// stay as they are.
//
// Allow Zero Length = No is a named CHECK constraint of the field, tested by
// SQLite wherever a value comes in (statements, bulk loads, cascades). A
// calculated field is a column of the file holding its value, as Jet stores
// it: each connection's rules (calculationRules) compute it when its row is
// written and refuse a value written to it, since its expression needs the
// engine's functions, which the file must not name. Files written before hold
// it as a generated column, computed on every read, kept as it is until the
// table is rebuilt. Changing either property rebuilds the table, so the rows
// already there meet the rule at once.
#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/Internal.h"
#include "engine/WriteRules.h"

namespace engine {

using namespace detail;

namespace detail {

namespace {

constexpr const char* kPropertyTable = "MSysFieldProperties";
// Property names as the catalog table holds them; the table's own row has
// an empty field name.
constexpr const char* kAllowZeroLength = "AllowZeroLength";
constexpr const char* kDescription = "Description";
constexpr const char* kExpression = "Expression";
constexpr const char* kExpressionSqlite = "ExpressionSqlite";

bool hasPropertyTable(sqlite3* db) {
    return sqlite3_table_column_metadata(db, "main", kPropertyTable, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr) == SQLITE_OK;
}

void execute(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        raiseSqlite(db, sqlite3_extended_errcode(db), "updating the catalog");
}

void step(sqlite3* db, sqlite3_stmt* stmt) {
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) raiseSqlite(db, rc, "updating the catalog");
}

void bindText(sqlite3_stmt* stmt, int i, const std::string& text) {
    sqlite3_bind_text(stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

bool isTextField(const StoredColumn& c) {
    return c.type.adoType == adVarWChar || c.type.adoType == adLongVarWChar;
}

// A calculated field's value as Jet stores its result type: the generated
// column of a STRICT table takes only values of its own kind.
std::string resultAs(const StoredColumn& c, const std::string& e) {
    switch (c.type.adoType) {
        case adBoolean:
            return "(CASE WHEN (" + e + ") IS NULL THEN NULL WHEN (" + e +
                   ") = 0 THEN 0 ELSE -1 END)";
        case adUnsignedTinyInt:
        case adSmallInt:
        case adInteger:
            return "CAST(round(" + e + ") AS INTEGER)";
        case adCurrency:
            return "round(" + e + ", 4)";
        // A calculated Decimal keeps each value's own scale, as ACE stores it.
        case adNumeric:
        case adDouble:
        case adDate:
            return "CAST(" + e + " AS REAL)";
        case adSingle:
            return "vx_single(" + e + ")";
        case adVarWChar:
        case adLongVarWChar:
        case adGUID:
            return "CAST(" + e + " AS TEXT)";
        default:
            return "(" + e + ")";
    }
}

// vx_genguid(): a new GUID as the text a GUID field holds, for GenGUID().
void genGuidFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    unsigned char b[16];
    sqlite3_randomness(sizeof b, b);
    b[7] = static_cast<unsigned char>((b[7] & 0x0F) | 0x40);  // version 4, as Jet stores it
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    // Jet stores the first three groups little-endian.
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    sqlite3_result_text(ctx, text, -1, SQLITE_TRANSIENT);
}

}  // namespace

void registerFieldPropertyFunctions(sqlite3* db) {
    // Not deterministic: each row's default is a new GUID.
    sqlite3_create_function(db, "vx_genguid", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr,
                            genGuidFunction, nullptr, nullptr);
}

void loadFieldProperties(sqlite3* db, StoredTable& t) {
    if (!hasPropertyTable(db)) return;
    const PreparedStatement owner =
        prepare(db,
                std::string("SELECT ColumnName, Property, Value FROM ") + kPropertyTable +
                    " WHERE TableName = ?",
                "reading the catalog");
    sqlite3_stmt* stmt = owner.get();
    bindText(stmt, 1, t.name);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const std::string column = requiredText(stmt, 0);
        const std::string property = requiredText(stmt, 1);
        const std::string value = requiredText(stmt, 2);
        if (column.empty()) {
            if (property == kDescription) t.description = value;
            continue;
        }
        auto it = std::find_if(t.columns.begin(), t.columns.end(),
                               [&](const StoredColumn& c) { return equalsNoCase(c.name, column); });
        if (it == t.columns.end()) continue;
        if (property == kAllowZeroLength)
            it->allowZeroLength = value != "0";
        else if (property == kDescription)
            it->description = value;
        else if (property == kExpression)
            it->expressionJet = value;
        else if (property == kExpressionSqlite)
            it->expressionSqlite = value;
    }
    if (rc != SQLITE_DONE) raiseSqlite(db, rc, "reading the catalog");
    for (const auto& c : t.columns) {
        if (c.expressionJet.has_value() != c.expressionSqlite.has_value())
            raiseDamaged(" (the expression of field '" + t.name + "." + c.name +
                         "' is kept only in part)");
    }
}

void saveFieldProperties(sqlite3* db, const StoredTable& t) {
    std::vector<std::array<std::string, 3>> rows;
    if (t.description) rows.push_back({"", kDescription, *t.description});
    for (const auto& c : t.columns) {
        if (!c.allowZeroLength) rows.push_back({c.name, kAllowZeroLength, "0"});
        if (c.description) rows.push_back({c.name, kDescription, *c.description});
        if (c.expressionJet && c.expressionSqlite) {
            rows.push_back({c.name, kExpression, *c.expressionJet});
            rows.push_back({c.name, kExpressionSqlite, *c.expressionSqlite});
        }
    }
    if (rows.empty()) return;
    execute(db, std::string("CREATE TABLE IF NOT EXISTS ") + kPropertyTable +
                    " (TableName TEXT NOT NULL COLLATE NOCASE, ColumnName TEXT NOT NULL COLLATE "
                    "NOCASE, Property TEXT NOT NULL, Value TEXT NOT NULL, PRIMARY KEY (TableName, "
                    "ColumnName, Property))");
    const PreparedStatement owner =
        prepare(db,
                std::string("INSERT INTO ") + kPropertyTable +
                    " (TableName, ColumnName, Property, Value) VALUES (?, ?, ?, ?)",
                "updating the catalog");
    sqlite3_stmt* stmt = owner.get();
    for (const auto& row : rows) {
        sqlite3_reset(stmt);
        bindText(stmt, 1, t.name);
        for (int i = 0; i < 3; ++i) bindText(stmt, i + 2, row[static_cast<std::size_t>(i)]);
        step(db, stmt);
    }
}

void deleteFieldProperties(sqlite3* db, const std::string& table) {
    if (!hasPropertyTable(db)) return;
    const PreparedStatement owner =
        prepare(db, std::string("DELETE FROM ") + kPropertyTable + " WHERE TableName = ?",
                "updating the catalog");
    bindText(owner.get(), 1, table);
    step(db, owner.get());
}

std::string calculatedColumnSql(const StoredColumn& c) {
    if (!c.expressionSqlite) return {};
    std::string sql = sqliteDeclType(c.type);
    if (isTextField(c) || c.type.adoType == adGUID) sql += " COLLATE NOCASE";
    return sql;
}

std::vector<ConnectionRule> calculationRules(const StoredTable& t, const std::string& sqliteName,
                                             const std::string& tableSql) {
    std::vector<const StoredColumn*> calculated;
    std::string sources, row;
    for (const auto& c : t.columns) {
        const std::string name = quoteIdent(c.name);
        row += std::string(row.empty() ? "" : ", ") + "NEW." + name + " AS " + name;
        if (!c.expressionSqlite) {
            sources += (sources.empty() ? "" : ", ") + name;
            continue;
        }
        // A generated column of a file written before computes itself.
        if (tableSql.find(name + " " + sqliteDeclType(c.type) + " GENERATED ALWAYS") ==
            std::string::npos)
            calculated.push_back(&c);
    }
    if (calculated.empty()) return {};
    // A field computed from another comes after it.
    std::vector<const StoredColumn*> ordered;
    while (ordered.size() < calculated.size()) {
        const std::size_t before = ordered.size();
        for (const StoredColumn* c : calculated) {
            if (std::find(ordered.begin(), ordered.end(), c) != ordered.end()) continue;
            const bool ready = std::none_of(calculated.begin(), calculated.end(), [&](auto* o) {
                return o != c && std::find(ordered.begin(), ordered.end(), o) == ordered.end() &&
                       c->expressionSqlite->find(quoteIdent(o->name)) != std::string::npos;
            });
            if (ready) ordered.push_back(c);
        }
        if (ordered.size() == before) {
            for (const StoredColumn* c : calculated) {
                if (std::find(ordered.begin(), ordered.end(), c) == ordered.end())
                    ordered.push_back(c);
            }
        }
    }
    const std::string table = quoteIdent(sqliteName);
    const std::string on = " ON main." + table + " FOR EACH ROW ";
    std::string compute, insertWhen, insertBody, updateWhen, updateBody, calculatedColumns;
    for (const StoredColumn* c : ordered) {
        const std::string name = quoteIdent(c->name);
        const std::string value = resultAs(*c, *c->expressionSqlite);
        compute +=
            "UPDATE " + table + " SET " + name + " = " + value + " WHERE rowid = NEW.rowid; ";
        // The value the row being written gives it, as the field stores it.
        const std::string type = sqliteDeclType(c->type);
        const std::string fromRow =
            "CAST((SELECT " + value + " FROM (SELECT " + row + ")) AS " + type + ")";
        // Only a field the write changes: computing one field leaves those
        // computed from it behind until their turn.
        const std::string changed = "NEW." + name + " IS NOT OLD." + name + " AND CAST(NEW." +
                                    name + " AS " + type + ") IS NOT " + fromRow;
        insertWhen +=
            std::string(insertWhen.empty() ? "" : " OR ") + "NEW." + name + " IS NOT NULL";
        insertBody += "SELECT RAISE(ABORT, " + quoteText("VXCALC:" + c->name) + ") WHERE NEW." +
                      name + " IS NOT NULL; ";
        updateWhen += std::string(updateWhen.empty() ? "" : " OR ") + "(" + changed + ")";
        updateBody +=
            "SELECT RAISE(ABORT, " + quoteText("VXCALC:" + c->name) + ") WHERE " + changed + "; ";
        calculatedColumns += (calculatedColumns.empty() ? "" : ", ") + name;
    }
    const std::string prefix = "vxrule:" + sqliteName + ":";
    std::vector<ConnectionRule> rules = {
        {prefix + "calcnew",
         "BEFORE INSERT" + on + "WHEN " + insertWhen + " BEGIN " + insertBody + "END"},
        {prefix + "calcset", "BEFORE UPDATE OF " + calculatedColumns + on + "WHEN " + updateWhen +
                                 " BEGIN " + updateBody + "END"},
        // Computed when its row is written, so an expression that fails
        // there (a division by zero) refuses the write, as Jet does.
        {prefix + "calcins", "AFTER INSERT" + on + "BEGIN " + compute + "END"}};
    if (!sources.empty())
        rules.push_back(
            {prefix + "calcupd", "AFTER UPDATE OF " + sources + on + "BEGIN " + compute + "END"});
    return rules;
}

std::string zeroLengthConstraint(const std::string& table, const StoredColumn& c) {
    if (c.allowZeroLength || !isTextField(c) || c.expressionSqlite) return {};
    return " CONSTRAINT " + quoteIdent(kZeroLengthConstraintPrefix + table + "." + c.name) +
           " CHECK (length(" + quoteIdent(c.name) + ") > 0)";
}

}  // namespace detail

namespace {

enum class Property { AllowZeroLength, Description, Expression };

Property propertyNamed(const std::string& name) {
    const std::string upper = upperAscii(name);
    if (upper == "JET OLEDB:ALLOW ZERO LENGTH" || upper == "ALLOWZEROLENGTH")
        return Property::AllowZeroLength;
    if (upper == "DESCRIPTION") return Property::Description;
    if (upper == "EXPRESSION") return Property::Expression;
    raise(hr::kItemNotFound, jet::kItemNotFound,
          "Item not found in this collection: there is no field property '" + name +
              "'. The engine keeps 'Jet OLEDB:Allow Zero Length', 'Description' and "
              "'Expression'.");
}

std::optional<std::string> textOrNull(const Variant& value, const std::string& what) {
    if (value.isNull() || value.isEmpty()) return std::nullopt;
    if (value.vt() != VT_BSTR)
        raise(hr::kInvalidArg, jet::kTypeMismatch, "Type mismatch: " + what + " is a text.");
    return std::string(value.text());
}

bool truth(const Variant& value) {
    switch (value.vt()) {
        case VT_BOOL:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
            return value.intValue() != 0;
        case VT_BSTR: {
            const std::string upper = upperAscii(value.text());
            if (upper == "TRUE" || upper == "YES" || upper == "-1") return true;
            if (upper == "FALSE" || upper == "NO" || upper == "0") return false;
            break;
        }
        default:
            break;
    }
    raise(hr::kInvalidArg, jet::kTypeMismatch,
          "Type mismatch: Allow Zero Length is True or False.");
}

// The change arrives whole or not at all, inside a caller's transaction too.
void applyAtomically(sqlite3* db, Store& store, StoredTable& t, bool rebuild) {
    execute(db, "SAVEPOINT vx_field_property");
    try {
        store.replaceDefinition(t, rebuild);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO vx_field_property", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "RELEASE vx_field_property", nullptr, nullptr, nullptr);
        throw;
    }
    execute(db, "RELEASE vx_field_property");
}

}  // namespace

namespace {

// One change made on the table's definition in memory; whether the table
// must be rebuilt for it.
bool changeDefinition(StoredTable& t, const std::string& field, const std::string& property,
                      const Variant& value) {
    const Property which = propertyNamed(property);
    if (field.empty()) {
        if (which != Property::Description) {
            raise(hr::kItemNotFound, jet::kItemNotFound,
                  "Item not found in this collection: a table has no property '" + property + "'.");
        }
        t.description = textOrNull(value, "a description");
        return false;
    }
    auto it = std::find_if(t.columns.begin(), t.columns.end(),
                           [&](const StoredColumn& c) { return equalsNoCase(c.name, field); });
    if (it == t.columns.end()) {
        raise(hr::kItemNotFound, jet::kItemNotFound,
              "Item not found in this collection: table '" + t.name + "' has no field '" + field +
                  "'.");
    }
    switch (which) {
        case Property::AllowZeroLength:
            it->allowZeroLength = truth(value);
            return isTextField(*it);
        case Property::Description:
            it->description = textOrNull(value, "a description");
            return false;
        case Property::Expression:
            it->expressionJet = textOrNull(value, "an expression");
            it->expressionSqlite.reset();
            if (it->expressionJet) {
                if (it->type.autoIncrement) {
                    raise(hr::kInvalidArg, jet::kInvalidFieldType,
                          "The auto-number field '" + it->name + "' cannot be calculated.");
                }
                it->expressionSqlite = translateRowExpression(*it->expressionJet);
                it->defaultJet.reset();
                it->defaultSqlite.reset();
                it->notNull = false;
            }
            return true;
    }
    return false;
}

}  // namespace

void SetFieldProperties(Connection& connection, const std::string& table,
                        const std::vector<FieldPropertyValue>& values) {
    if (values.empty()) return;
    sqlite3* db = connectionHandle(connection);
    Store store(db);
    const std::string stored = store.requireTable(table);
    if (isSystemName(stored)) {
        raise(hr::kUnspecified, jet::kSystemTable,
              "The table '" + stored + "' is a system table of the catalog and cannot be changed.");
    }
    StoredTable t = store.loadTable(stored);
    bool rebuild = false;
    for (const auto& v : values)
        rebuild = changeDefinition(t, v.field, v.property, v.value) || rebuild;
    applyAtomically(db, store, t, rebuild);
}

void SetFieldProperty(Connection& connection, const std::string& table, const std::string& field,
                      const std::string& property, const Variant& value) {
    SetFieldProperties(connection, table, {{field, property, value}});
}

Variant FieldProperty(const Column& column, const std::string& property) {
    switch (propertyNamed(property)) {
        case Property::AllowZeroLength:
            return Variant::fromBool(column.allowZeroLength);
        case Property::Description:
            return column.description ? Variant::fromText(*column.description) : Variant::null();
        case Property::Expression:
            return column.expression ? Variant::fromText(*column.expression) : Variant::null();
    }
    return Variant::null();
}

}  // namespace engine
