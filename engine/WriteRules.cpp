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

void WriteRules::ensure(sqlite3* db) {
    const long long version = schemaVersion(db);
    if (version == version_) return;
    std::map<std::string, ConnectionRule> wanted;
    {
        // Only Single, Decimal and calculated fields need the engine's functions.
        const bool calculated =
            sqlite3_table_column_metadata(db, "main", "MSysFieldProperties", nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
        const PreparedStatement tables = prepare(
            db,
            "SELECT s.name, s.sql FROM sqlite_schema AS s WHERE s.type = 'table' AND (EXISTS "
            "(SELECT 1 FROM MSysColumns AS c WHERE c.TableName = s.name AND c.Type IN (" +
                std::to_string(adSingle) + ", " + std::to_string(adNumeric) + "))" +
                (calculated ? " OR EXISTS (SELECT 1 FROM MSysFieldProperties AS p WHERE "
                              "p.TableName = s.name AND p.Property = 'ExpressionSqlite')"
                            : "") +
                ")",
            "reading the catalog");
        Store store(db);
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(tables.get())) == SQLITE_ROW) {
            const StoredTable t = store.loadTable(requiredText(tables.get(), 0));
            std::vector<ConnectionRule> rules = connectionRules(t, t.name);
            for (auto& rule : calculationRules(t, t.name, requiredText(tables.get(), 1)))
                rules.push_back(std::move(rule));
            for (auto& rule : rules) {
                const std::string name = rule.name;
                wanted.emplace(name, std::move(rule));
            }
        }
        if (rc != SQLITE_DONE) raiseSqlite(db, rc, "reading the catalog");
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
