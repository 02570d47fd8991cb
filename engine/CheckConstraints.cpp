// Jet 4 CHECK constraints. SQLite's own CHECK cannot hold a subquery, and a
// rule over other tables is what operators write them for, so each rule is
// enforced by triggers after every insert and update of its table, and kept
// in a catalog table of its own: the triggers are made again from it whenever
// the table is rebuilt, and a reopened file keeps enforcing the rule. A rule
// that needs the engine's functions is a TEMP trigger of each connection
// (WriteRules.h), so the file names only SQLite's own.
#include "engine/Internal.h"
#include "engine/WriteRules.h"

namespace engine::detail {

namespace {

constexpr const char* kEvents[] = {"INSERT", "UPDATE"};

// Runs `sql`, handing each row's texts to `row`.
template <typename Row>
void run(sqlite3* db, const std::string& sql, Row row) {
    auto callback = [](void* context, int count, char** values, char**) {
        (*static_cast<Row*>(context))(count, values);
        return 0;
    };
    if (sqlite3_exec(db, sql.c_str(), callback, &row, nullptr) != SQLITE_OK) {
        raiseSqlite(db, sqlite3_extended_errcode(db), "");
    }
}
void run(sqlite3* db, const std::string& sql) {
    run(db, sql, [](int, char**) {});
}

bool hasCatalog(sqlite3* db) {
    bool found = false;
    run(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'MSysCheckConstraints'",
        [&](int, char**) { found = true; });
    return found;
}

std::string triggerName(const std::string& table, const std::string& name, const char* event) {
    return quoteIdent("vxchk:" + table + ":" + name + ":" + event);
}

// True (a row breaks the rule) where the rule is False; Null passes, as in
// SQL.
std::string breaks(const std::string& rule) {
    return "NOT coalesce((" + rule + ") <> 0, 1)";
}

// A rule that needs the engine's functions (Like, Jet's division) is held by
// each connection's rules: the file names only SQLite's own.
bool needsEngine(const CheckConstraint& check) {
    return check.sqlite.find("vx_") != std::string::npos;
}

// The trigger after its name; `on` names the table.
std::string triggerBody(const StoredTable& t, const CheckConstraint& check, const char* event,
                        const std::string& on) {
    // The new row stands under the table's own name, so the rule's field
    // names, bare or qualified, read its values.
    std::string row;
    for (const auto& c : t.columns) {
        row += std::string(row.empty() ? "" : ", ") + "NEW." + quoteIdent(c.name) + " AS " +
               quoteIdent(c.name);
    }
    const std::string message = quoteText("VXCHECK:" + check.name + kCheckSeparator + t.name);
    return std::string("AFTER ") + event + " ON " + on +
           " FOR EACH ROW WHEN EXISTS (SELECT 1 FROM (SELECT " + row + ") AS " +
           quoteIdent(t.name) + " WHERE " + breaks(check.sqlite) + ") BEGIN SELECT RAISE(ABORT, " +
           message + "); END";
}

std::string ruleName(const std::string& table, const std::string& name, const char* event) {
    return "vxrule:" + table + ":chk:" + name + ":" + event;
}

void createTriggers(sqlite3* db, const StoredTable& t, const CheckConstraint& check) {
    if (needsEngine(check)) {
        for (const auto& rule : checkRules(t, check)) {
            run(db, "DROP TRIGGER IF EXISTS temp." + quoteIdent(rule.name));
            run(db, rule.createSql());
        }
        return;
    }
    for (const char* event : kEvents) {
        run(db, "CREATE TRIGGER " + triggerName(t.name, check.name, event) + " " +
                    triggerBody(t, check, event, quoteIdent(t.name)));
    }
}

void dropTriggers(sqlite3* db, const std::string& table, const std::string& name) {
    for (const char* event : kEvents) {
        run(db, "DROP TRIGGER IF EXISTS " + triggerName(table, name, event));
        run(db, "DROP TRIGGER IF EXISTS temp." + quoteIdent(ruleName(table, name, event)));
    }
}

}  // namespace

std::vector<ConnectionRule> checkRules(const StoredTable& t, const CheckConstraint& check) {
    std::vector<ConnectionRule> rules;
    if (!needsEngine(check)) return rules;
    for (const char* event : kEvents) {
        rules.push_back({ruleName(t.name, check.name, event),
                         triggerBody(t, check, event, "main." + quoteIdent(t.name))});
    }
    return rules;
}

std::vector<CheckConstraint> checkConstraints(sqlite3* db, const std::string& table) {
    std::vector<CheckConstraint> out;
    if (!hasCatalog(db)) return out;
    run(db,
        "SELECT ConstraintName, CheckJet, CheckSqlite FROM MSysCheckConstraints WHERE TableName "
        "= " +
            quoteText(table) + " ORDER BY ConstraintName COLLATE NOCASE",
        [&](int, char** values) {
            if (!values[0] || !values[1] || !values[2])
                raiseDamaged(" (a row of MSysCheckConstraints is incomplete)");
            out.push_back({values[0], values[1], values[2]});
        });
    return out;
}

void addCheckConstraint(sqlite3* db, const StoredTable& t, CheckConstraint check) {
    const std::vector<CheckConstraint> existing = checkConstraints(db, t.name);
    auto taken = [&](const std::string& name) {
        for (const auto& e : existing) {
            if (equalsNoCase(e.name, name)) return true;
        }
        return false;
    };
    if (check.name.empty()) {
        for (std::size_t n = existing.size() + 1; check.name.empty() || taken(check.name); ++n) {
            check.name = "Check" + std::to_string(n);
        }
    } else if (taken(check.name)) {
        raise(hr::kSyntax, jet::kIndexExists,
              "Table '" + t.name + "' already has a constraint named '" + check.name + "'.");
    }
    // The rows already there must keep the rule, as every later one will.
    bool broken = false;
    run(db, "SELECT 1 FROM " + quoteIdent(t.name) + " WHERE " + breaks(check.sqlite) + " LIMIT 1",
        [&](int, char**) { broken = true; });
    if (broken) {
        raise(hr::kIntegrity, jet::kValidationRule,
              "One or more values are prohibited by the validation rule '" + check.name +
                  "' set for '" + t.name + "': rows already in the table break it (" + check.jet +
                  "). Correct them first.");
    }
    run(db,
        "CREATE TABLE IF NOT EXISTS MSysCheckConstraints (TableName TEXT NOT NULL COLLATE NOCASE, "
        "ConstraintName "
        "TEXT NOT NULL COLLATE NOCASE, CheckJet TEXT NOT NULL, CheckSqlite TEXT NOT NULL, PRIMARY "
        "KEY (TableName, "
        "ConstraintName))");
    run(db,
        "INSERT INTO MSysCheckConstraints (TableName, ConstraintName, CheckJet, CheckSqlite) "
        "VALUES (" +
            quoteText(t.name) + ", " + quoteText(check.name) + ", " + quoteText(check.jet) + ", " +
            quoteText(check.sqlite) + ")");
    createTriggers(db, t, check);
}

bool dropCheckConstraint(sqlite3* db, const std::string& table, const std::string& name) {
    for (const auto& check : checkConstraints(db, table)) {
        if (!equalsNoCase(check.name, name)) continue;
        dropTriggers(db, table, check.name);
        run(db, "DELETE FROM MSysCheckConstraints WHERE TableName = " + quoteText(table) +
                    " AND ConstraintName = " + quoteText(check.name));
        return true;
    }
    return false;
}

void dropCheckConstraints(sqlite3* db, const std::string& table) {
    for (const auto& check : checkConstraints(db, table))
        dropCheckConstraint(db, table, check.name);
}

void restoreCheckTriggers(sqlite3* db, const StoredTable& t) {
    for (const auto& check : checkConstraints(db, t.name)) {
        const std::string probe =
            "SELECT 1 FROM " + quoteIdent(t.name) + " WHERE " + breaks(check.sqlite);
        sqlite3_stmt* stmt = nullptr;
        const int rc =
            sqlite3_prepare_v2(db, probe.c_str(), static_cast<int>(probe.size()), &stmt, nullptr);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_OK) {
            raise(hr::kUnspecified, jet::kFieldInIndex,
                  "Cannot change table '" + t.name + "': its validation rule '" + check.name +
                      "' (" + check.jet +
                      ") needs a field it would no longer have. Drop the constraint first.");
        }
        dropTriggers(db, t.name, check.name);
        createTriggers(db, t, check);
    }
}

}  // namespace engine::detail
