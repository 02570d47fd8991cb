#include "engine/SavedQueries.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace engine::detail {

namespace {

constexpr const char* kQueryTable = "MSysQueries";

void exec(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) raiseSqlite(db, sqlite3_extended_errcode(db), "");
}

// The saved queries whose name is `name` (any case), or all with an empty one.
std::vector<SavedQuery> readQueries(sqlite3* db, std::string_view name) {
    std::vector<SavedQuery> queries;
    PreparedStatement stmt;
    // Asked of the file, not of the schema in memory: another connection
    // may have saved the first query since.
    const std::string sql = std::string("SELECT Name, Selects, Definition FROM ") + kQueryTable +
                            (name.empty() ? "" : " WHERE Name = ?1") + " ORDER BY Name";
    if (tryPrepare(db, sql, stmt) != SQLITE_OK) return queries;  // none saved yet
    if (!name.empty())
        sqlite3_bind_text(stmt.get(), 1, name.data(), static_cast<int>(name.size()),
                          SQLITE_TRANSIENT);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        queries.push_back({requiredText(stmt.get(), 0), requiredText(stmt.get(), 2),
                           requiredInteger(stmt.get(), 1) != 0});
    }
    if (rc != SQLITE_DONE) raiseSqlite(db, sqlite3_extended_errcode(db), "reading saved queries");
    return queries;
}

[[noreturn]] void raiseNoObject(std::string_view name) {
    raise(hr::kNoTable, jet::kObjectNotFound,
          "The database engine could not find the object '" + std::string(name) +
              "'. Make sure the object exists and that you spell its name correctly.");
}

std::string tempViewSql(const SavedQuery& query, const Statement& st) {
    return "CREATE TEMP VIEW " + quoteIdent(query.name) + " AS " + st.sqlite;
}

bool readsAsTable(const Statement& st) {
    return st.kind == StatementKind::Select && !st.crosstab;
}

}  // namespace

std::vector<std::string> parametersNamingFields(sqlite3* db, const Statement& st) {
    std::vector<std::string> fields;
    if (st.parameterNames.empty()) return fields;
    PreparedStatement stmt =
        prepare(db, "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE", "");
    const auto isField = [&](const std::string& name) {
        for (const auto& table : st.tablesRead) {
            sqlite3_reset(stmt.get());
            sqlite3_bind_text(stmt.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt.get(), 2, name.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(stmt.get()) == SQLITE_ROW) return true;
        }
        return false;
    };
    for (const auto& name : st.parameterNames) {
        if (isField(name)) fields.push_back(name);
    }
    // The statement is parsed again with these names: Jet's constant words
    // that are fields too must stay fields in that parse.
    if (!fields.empty()) {
        for (const char* word : {"Yes", "No", "On", "Off"}) {
            if (isField(word)) fields.emplace_back(word);
        }
    }
    return fields;
}

Statement parseAgainstCatalog(sqlite3* db, std::string_view text) {
    Statement st = parseStatement(text);
    const std::vector<std::string> fields = parametersNamingFields(db, st);
    return fields.empty() ? st : parseStatement(text, nullptr, &fields);
}

std::vector<SavedQuery> savedQueries(sqlite3* db) {
    return readQueries(db, {});
}

std::optional<SavedQuery> findSavedQuery(sqlite3* db, std::string_view name) {
    if (name.empty()) return std::nullopt;
    std::vector<SavedQuery> found = readQueries(db, name);
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

SavedQuery requireSavedQuery(sqlite3* db, std::string_view name) {
    std::optional<SavedQuery> query = findSavedQuery(db, name);
    if (!query) raiseNoObject(name);
    return std::move(*query);
}

void refuseQueryName(sqlite3* db, std::string_view tableName) {
    if (std::optional<SavedQuery> query = findSavedQuery(db, tableName))
        raise(hr::kSyntax, jet::kTableExists, "Table '" + query->name + "' already exists.");
}

void createSavedQuery(sqlite3* db, const Statement& st) {
    if (std::optional<std::string> table = Store(db).findTable(st.table))
        raise(hr::kSyntax, jet::kTableExists, "Table '" + *table + "' already exists.");
    if (std::optional<SavedQuery> query = findSavedQuery(db, st.table))
        raise(hr::kSyntax, jet::kObjectExists, "Object '" + query->name + "' already exists.");
    exec(db, std::string("CREATE TABLE IF NOT EXISTS ") + kQueryTable +
                 " (Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, Selects INTEGER NOT NULL, "
                 "Definition TEXT NOT NULL)");
    PreparedStatement insert = prepare(
        db,
        std::string("INSERT INTO ") + kQueryTable + " (Name, Selects, Definition) VALUES (?,?,?)",
        "saving the query");
    sqlite3_bind_text(insert.get(), 1, st.table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert.get(), 2, st.querySelects ? 1 : 0);
    sqlite3_bind_text(insert.get(), 3, st.queryText.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(insert.get()) != SQLITE_DONE)
        raiseSqlite(db, sqlite3_extended_errcode(db), "saving the query");
    // Made here as well, so what SQLite refuses in it refuses the statement.
    const SavedQuery query{st.table, st.queryText, st.querySelects};
    const Statement body = parseAgainstCatalog(db, query.text);
    if (readsAsTable(body)) {
        exec(db, "DROP VIEW IF EXISTS temp." + quoteIdent(query.name));
        exec(db, tempViewSql(query, body));
    }
}

void dropSavedQuery(sqlite3* db, const Statement& st) {
    const SavedQuery query = requireSavedQuery(db, st.table);
    PreparedStatement remove = prepare(
        db, std::string("DELETE FROM ") + kQueryTable + " WHERE Name = ?", "dropping the query");
    sqlite3_bind_text(remove.get(), 1, query.name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(remove.get()) != SQLITE_DONE)
        raiseSqlite(db, sqlite3_extended_errcode(db), "dropping the query");
    exec(db, "DROP VIEW IF EXISTS temp." + quoteIdent(query.name));
}

// ------------------------------------------------------------------ views

long long QueryViews::dataVersion(sqlite3* db) {
    if (!dataVersionStmt_) dataVersionStmt_ = prepare(db, "PRAGMA data_version", "");
    sqlite3_stmt* stmt = dataVersionStmt_.get();
    const long long version =
        sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : dataVersion_ - 1;
    sqlite3_reset(stmt);
    return version;
}

void QueryViews::remove(sqlite3* db) {
    std::vector<std::string> names;
    {
        PreparedStatement list =
            prepare(db, "SELECT name FROM temp.sqlite_schema WHERE type = 'view'", "");
        while (sqlite3_step(list.get()) == SQLITE_ROW) names.push_back(requiredText(list.get(), 0));
    }
    for (const auto& name : names) exec(db, "DROP VIEW temp." + quoteIdent(name));
    built_.reset();
}

void QueryViews::ensure(sqlite3* db) {
    const long long version = dataVersion(db);
    if (built_ && version == dataVersion_) return;
    dataVersion_ = version;
    std::vector<SavedQuery> queries = savedQueries(db);
    auto same = [](const SavedQuery& a, const SavedQuery& b) {
        return a.name == b.name && a.text == b.text;
    };
    if (built_ && std::equal(queries.begin(), queries.end(), built_->begin(), built_->end(), same))
        return;
    remove(db);
    // Recorded before the views are made: a query the file holds that no
    // longer reads is reported once, and the others stay usable.
    built_ = queries;
    needs_.clear();
    std::map<std::string, std::vector<std::string>> reads;
    for (const auto& query : queries) {
        if (!query.selects) continue;
        try {
            const Statement body = parseAgainstCatalog(db, query.text);
            std::vector<std::string>& needs = needs_[upperAscii(query.name)];
            for (const auto& p : body.parameters) needs.push_back(p.name);
            reads[upperAscii(query.name)] = body.tablesRead;
            if (readsAsTable(body)) exec(db, tempViewSql(query, body));
        } catch (const ComError& e) {
            raise(e.code(), e.jetError(),
                  "The saved query '" + query.name + "' cannot be read as a table (" +
                      e.description().value_or("") + "); drop it with DROP VIEW [" + query.name +
                      "] and save it again.");
        }
    }
    // A query read by another passes its parameters on; a chain is at most
    // as long as there are queries.
    for (std::size_t round = 0; round < queries.size(); ++round) {
        bool grew = false;
        for (auto& [name, tables] : reads) {
            for (const auto& table : tables) {
                const auto inner = needs_.find(upperAscii(table));
                if (inner == needs_.end() || inner->first == name) continue;
                const std::vector<std::string> passed = inner->second;
                std::vector<std::string>& needs = needs_[name];
                for (const std::string& p : passed) {
                    if (std::none_of(needs.begin(), needs.end(),
                                     [&](const std::string& n) { return equalsNoCase(n, p); })) {
                        needs.push_back(p);
                        grew = true;
                    }
                }
            }
        }
        if (!grew) break;
    }
}

void QueryViews::requireValues(const Statement& st, const ParameterValues& values) const {
    auto require = [&](const std::string& name) {
        if (values.find(parameterKey(name)) == values.end()) raiseNoParameterValue(name);
    };
    for (const auto& p : st.parameters) require(p.name);
    if (needs_.empty()) return;
    for (const auto& table : st.tablesRead) {
        const auto found = needs_.find(upperAscii(table));
        if (found == needs_.end()) continue;
        for (const auto& name : found->second) require(name);
    }
}

void raiseNoParameterValue(std::string_view name) {
    raise(hr::kParamNotSet, jet::kTooFewParameters,
          "Too few parameters. Expected 1: no value was given for the parameter '" +
              std::string(name) + "'.");
}

// ------------------------------------------------------------- parameters

std::string parameterKey(std::string_view name) {
    std::string key = upperAscii(name);
    for (char& c : key) {
        if (c == '.') c = '!';
    }
    return key;
}

namespace {

const char* jetTypeName(int adoType) {
    switch (adoType) {
        case adInteger:
            return "Long";
        case adSmallInt:
            return "Integer";
        case adUnsignedTinyInt:
            return "Byte";
        case adSingle:
            return "Single";
        case adDouble:
            return "Double";
        case adNumeric:
            return "Decimal";
        case adCurrency:
            return "Currency";
        case adDate:
            return "DateTime";
        case adBoolean:
            return "YesNo";
        default:
            return "Value";
    }
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// A parameter's value as a number of its declared type; false when it is
// not one (a text that reads as none).
bool numberOf(const Variant& value, int adoType, double& number) {
    if (value.vt() != VT_BSTR) {
        number = value.toDouble();
        return true;
    }
    const std::string text = trimmed(value.text());
    if (adoType == adBoolean) {
        const std::string up = upperAscii(text);
        if (up == "TRUE" || up == "YES" || up == "ON") return number = -1, true;
        if (up == "FALSE" || up == "NO" || up == "OFF") return number = 0, true;
    }
    if (adoType == adDate && parseDateLiteral(text, number)) return true;
    const char* begin = text.data() + (!text.empty() && text.front() == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    auto [at, ec] = std::from_chars(begin, end, number);
    return !text.empty() && ec == std::errc() && at == end && std::isfinite(number);
}

void resultVariant(sqlite3_context* context, const Variant& value) {
    switch (value.vt()) {
        case VT_EMPTY:
        case VT_NULL:
            return sqlite3_result_null(context);
        case VT_BSTR:
            return sqlite3_result_text64(context, value.text().data(), value.text().size(),
                                         SQLITE_TRANSIENT, SQLITE_UTF8);
        case VT_ARRAY | VT_UI1:
            return sqlite3_result_blob64(context, value.bytes().data(), value.bytes().size(),
                                         SQLITE_TRANSIENT);
        case VT_R4:
        case VT_R8:
        case VT_DATE:
        case VT_DECIMAL:
            return sqlite3_result_double(context, value.doubleValue());
        case VT_CY:
            return sqlite3_result_double(context, static_cast<double>(value.currency()) / 10000.0);
        default:
            return sqlite3_result_int64(context, value.intValue());
    }
}

void parameterFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const auto* values = static_cast<const ParameterValues*>(sqlite3_user_data(context));
    const char* raw = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const std::string name = raw ? raw : "";
    const int adoType = sqlite3_value_int(argv[1]);
    const auto found = values->find(parameterKey(name));
    if (found == values->end()) {
        const std::string message = "VXPARAM:" + name;
        return sqlite3_result_error(context, message.c_str(), -1);
    }
    const Variant& value = found->second;
    static const int kNumeric[] = {adInteger,  adSmallInt, adUnsignedTinyInt,
                                   adSingle,   adDouble,   adNumeric,
                                   adCurrency, adDate,     adBoolean};
    if (value.isNull() || value.isEmpty() ||
        std::find(std::begin(kNumeric), std::end(kNumeric), adoType) == std::end(kNumeric)) {
        return resultVariant(context, value);
    }
    double number = 0;
    bool fits = numberOf(value, adoType, number);
    if (fits) {
        struct Range {
            int type;
            double low, high;
        };
        static const Range kWhole[] = {{adInteger, -2147483648.0, 2147483647.0},
                                       {adSmallInt, -32768.0, 32767.0},
                                       {adUnsignedTinyInt, 0.0, 255.0}};
        for (const auto& range : kWhole) {
            if (range.type != adoType) continue;
            number = std::nearbyint(number);  // to even, as Jet rounds
            fits = number >= range.low && number <= range.high;
            if (fits) return sqlite3_result_int64(context, static_cast<std::int64_t>(number));
        }
    }
    if (!fits) {
        char shown[32];
        std::snprintf(shown, sizeof shown, "%.15g", value.toDouble());
        const std::string message = "VXPTYPE:" + name + kCheckSeparator +
                                    (value.vt() == VT_BSTR ? std::string(value.text()) : shown) +
                                    kCheckSeparator + jetTypeName(adoType);
        return sqlite3_result_error(context, message.c_str(), -1);
    }
    if (adoType == adBoolean) return sqlite3_result_int(context, number != 0 ? -1 : 0);
    if (adoType == adCurrency) number = std::round(number * 10000.0) / 10000.0;
    sqlite3_result_double(context, number);
}

}  // namespace

void registerParameterFunction(sqlite3* db, const ParameterValues* values) {
    // Not deterministic: the value changes from one run of a statement to the next.
    sqlite3_create_function(db, "vx_param", 2, SQLITE_UTF8 | SQLITE_INNOCUOUS,
                            const_cast<ParameterValues*>(values), parameterFunction, nullptr,
                            nullptr);
}

}  // namespace engine::detail
