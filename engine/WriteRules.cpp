#include "engine/WriteRules.h"

#include <cctype>
#include <map>
#include <string_view>
#include <vector>

#include "engine/Internal.h"

namespace engine::detail {

namespace {

// The file's local clock in whole seconds since 1970, as vx_now reads it.
constexpr const char* kLocalSeconds = "CAST(strftime('%s', 'now', 'localtime') AS INTEGER)";

struct PortableCall {
    std::string_view call;
    std::string builtIn;
};

const std::vector<PortableCall>& portableCalls() {
    static const std::vector<PortableCall> calls = {
        // Version 4 (the third group starts with 4), variant 10 (the fourth
        // with 8, 9, A or B).
        {"vx_genguid()",
         "('{' || hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' || "
         "substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + (random() & 3), 1) || "
         "substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)) || '}')"},
        // 25569: 1 January 1970 as days since 30 December 1899.
        {"vx_now()", std::string("(") + kLocalSeconds + " / 86400.0 + 25569.0)"},
        {"vx_date()", std::string("(") + kLocalSeconds + " / 86400 + 25569.0)"},
        {"vx_time()", std::string("(") + kLocalSeconds + " % 86400 / 86400.0)"},
    };
    return calls;
}

bool IdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::string portableDefault(const std::string& sql) {
    std::string out;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        // Texts, quoted names and comments are copied as they are.
        if (c == '\'' || c == '"') {
            std::size_t end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == c && (end + 1 >= sql.size() || sql[end + 1] != c)) break;
                end += sql[end] == c ? 2 : 1;
            }
            end = std::min(end + 1, sql.size());
            out.append(sql, i, end - i);
            i = end;
            continue;
        }
        if (sql.compare(i, 2, "/*") == 0) {
            const std::size_t close = sql.find("*/", i + 2);
            const std::size_t end = close == std::string::npos ? sql.size() : close + 2;
            out.append(sql, i, end - i);
            i = end;
            continue;
        }
        bool replaced = false;
        if (i == 0 || !IdentifierChar(sql[i - 1])) {
            for (const auto& [call, builtIn] : portableCalls()) {
                if (sql.compare(i, call.size(), call) == 0) {
                    out += builtIn;
                    i += call.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += sql[i++];
    }
    return out;
}

long long WriteRules::schemaVersion(sqlite3* db) {
    if (!versionStmt_) versionStmt_ = prepare(db, "PRAGMA schema_version", "reading the catalog");
    sqlite3_stmt* stmt = versionStmt_.get();
    const int rc = sqlite3_step(stmt);
    const long long version = rc == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_reset(stmt);
    if (rc != SQLITE_ROW) raiseSqlite(db, rc, "reading the catalog");
    return version;
}

namespace {

// What the rules need of the tables with Single, Decimal or calculated
// fields, read in two statements: a connection reads it at every open, where
// the catalog's full reading of each table would cost several statements a
// table.

// A CHECK rule that names the engine's functions, so only a connection can hold it.
constexpr const char* kEngineCheck = "instr(CheckSqlite, 'vx_') > 0";

bool holds(sqlite3* db, const char* table) {
    return sqlite3_table_column_metadata(db, "main", table, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr) == SQLITE_OK;
}

struct RuledTable {
    std::string sql;  // as SQLite keeps the table
    StoredTable table;
};

std::map<std::string, RuledTable> ruledTables(sqlite3* db) {
    std::map<std::string, RuledTable> tables;  // by the name in capitals
    const bool calculated = holds(db, "MSysFieldProperties");
    {
        // Only the tables that have rules are read whole: every open reads
        // this, and most tables of a file have none.
        std::string ruled = "s.name IN (SELECT TableName FROM MSysColumns WHERE Type IN (" +
                            connectionRuledTypes() + "))";
        if (calculated)
            ruled +=
                " OR s.name IN (SELECT TableName FROM MSysFieldProperties WHERE Property = "
                "'ExpressionSqlite')";
        if (holds(db, "MSysCheckConstraints"))
            ruled += " OR s.name IN (SELECT TableName FROM MSysCheckConstraints WHERE " +
                     std::string(kEngineCheck) + ")";
        const PreparedStatement columns = prepare(
            db,
            "SELECT s.name, s.sql, c.ColumnName, c.Type, c.DefinedSize, c.Fixed, c.Precision, "
            "c.Scale FROM sqlite_schema AS s JOIN MSysColumns AS c ON c.TableName = s.name WHERE "
            "s.type = 'table' AND (" +
                ruled + ") ORDER BY s.name, c.Position",
            "reading the catalog");
        sqlite3_stmt* stmt = columns.get();
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            RuledTable& t = tables[upperAscii(requiredText(stmt, 0))];
            if (t.table.name.empty()) {
                t.table.name = requiredText(stmt, 0);
                t.sql = requiredText(stmt, 1);
            }
            StoredColumn c;
            c.name = requiredText(stmt, 2);
            c.type.adoType = sqlite3_column_int(stmt, 3);
            c.type.definedSize = static_cast<long>(sqlite3_column_int64(stmt, 4));
            c.type.fixed = sqlite3_column_int(stmt, 5) != 0;
            c.type.precision = sqlite3_column_int(stmt, 6);
            c.type.scale = sqlite3_column_int(stmt, 7);
            t.table.columns.push_back(std::move(c));
        }
        if (rc != SQLITE_DONE) raiseSqlite(db, rc, "reading the catalog");
    }
    if (calculated) {
        const PreparedStatement expressions =
            prepare(db,
                    "SELECT TableName, ColumnName, Value FROM MSysFieldProperties WHERE Property = "
                    "'ExpressionSqlite'",
                    "reading the catalog");
        sqlite3_stmt* stmt = expressions.get();
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto t = tables.find(upperAscii(requiredText(stmt, 0)));
            if (t == tables.end()) continue;
            for (auto& c : t->second.table.columns) {
                if (equalsNoCase(c.name, requiredText(stmt, 1)))
                    c.expressionSqlite = requiredText(stmt, 2);
            }
        }
    }
    return tables;
}

}  // namespace

void WriteRules::ensure(sqlite3* db) {
    const long long version = schemaVersion(db);
    if (version == version_) return;
    std::map<std::string, ConnectionRule> wanted;
    auto want = [&](std::vector<ConnectionRule> rules) {
        for (auto& rule : rules) {
            const std::string name = rule.name;
            wanted.emplace(name, std::move(rule));
        }
    };
    const std::map<std::string, RuledTable> tables = ruledTables(db);
    for (const auto& [key, ruled] : tables) {
        want(connectionRules(ruled.table, ruled.table.name));
        want(calculationRules(ruled.table, ruled.table.name, ruled.sql));
    }
    if (holds(db, "MSysCheckConstraints")) {
        const PreparedStatement checks =
            prepare(db,
                    std::string("SELECT TableName, ConstraintName, CheckJet, CheckSqlite FROM "
                                "MSysCheckConstraints WHERE ") +
                        kEngineCheck,
                    "reading the catalog");
        sqlite3_stmt* stmt = checks.get();
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto t = tables.find(upperAscii(requiredText(stmt, 0)));
            if (t == tables.end()) continue;
            want(checkRules(t->second.table,
                            {requiredText(stmt, 1), requiredText(stmt, 2), requiredText(stmt, 3)}));
        }
    }
    std::vector<std::string> stale;
    {
        const PreparedStatement made =
            prepare(db,
                    "SELECT name, sql FROM temp.sqlite_schema WHERE type = 'trigger' AND "
                    "substr(name, 1, 7) = 'vxrule:'",
                    "reading the catalog");
        while (sqlite3_step(made.get()) == SQLITE_ROW) {
            const std::string name = requiredText(made.get(), 0);
            const auto it = wanted.find(name);
            if (it != wanted.end() && it->second.storedSql() == requiredText(made.get(), 1)) {
                wanted.erase(it);
            } else {
                stale.push_back(name);
            }
        }
    }
    auto run = [&](const std::string& sql) {
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            raiseSqlite(db, sqlite3_extended_errcode(db), "preparing the connection's rules");
    };
    for (const auto& name : stale) run("DROP TRIGGER temp." + quoteIdent(name));
    for (const auto& [name, rule] : wanted) run(rule.createSql());
    version_ = version;
}

}  // namespace engine::detail
