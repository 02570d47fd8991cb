// Jet's rules for the values a field holds, kept in the table itself so that
// every way into a table (statements, bulk loads, cascades) meets them: a
// number too large for its field is refused with Jet's overflow error, and a
// value Jet would store differently is stored as Jet stores it (currency to
// four places, single precision, a decimal's scale, Yes/No as -1 or 0 and
// never Null). The STRICT table already refuses a value of the wrong kind;
// these rules only see values of the right kind.
//
// What the file holds names only SQLite's own functions and collations, so
// the sqlite3 command and any other SQLite program can read, check and write
// it. The rules that need this engine's functions (a Decimal's exact bounds
// and digits, a Single's precision) are TEMP triggers each connection makes
// on the file's tables (connectionRules), and the file keeps a check of its
// own over a Decimal's digits that is never stricter than the engine's.
//
// The overflow rule is a named CHECK constraint of the field: SQLite tests it
// inline, and only when a statement sets that field, where a trigger costs a
// sub-program per row and tests every field of the table on every update (an
// UPDATE of one field of a million rows took three times as long). The
// table's overflow triggers cover exactly the fields without a constraint of
// their own: those of files written before, and fields added in place whose
// default could not be shown to fit, until the table is next rebuilt.
#include <string>
#include <vector>

#include "engine/Internal.h"
#include "engine/WriteRules.h"

namespace engine::detail {

namespace {

constexpr const char* kTriggerPrefix = "vxtype:";

// The bounds of a field's numbers, as SQL literals; none for a type without
// bounds of its own.
struct Bounds {
    std::string low;
    std::string high;
};

std::optional<Bounds> boundsOf(const TypeInfo& type) {
    switch (type.adoType) {
        case adUnsignedTinyInt:
            return Bounds{"0", "255"};
        case adSmallInt:
            return Bounds{"-32768", "32767"};
        case adInteger:
            return Bounds{"-2147483648", "2147483647"};
        case adSingle:
            return Bounds{"-3.4028234663852886e38", "3.4028234663852886e38"};
        case adCurrency:
            return Bounds{"-922337203685477.5808", "922337203685477.5807"};
        // Jet's dates run from the year 100 to the end of 9999.
        case adDate:
            return Bounds{"-657434.0", "2958465.9999999"};
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string overflowCondition(const StoredColumn& c, const std::string& v) {
    if (c.type.adoType == adNumeric) {
        // The digits left of the point, sign, blanks and leading zeros aside.
        // The value is not rounded yet, so this can only say less than the
        // engine's exact rule, which its connection's rules test too; a text
        // in exponent form, or no number, is left to that rule alone.
        const std::string digits = "ltrim(trim(" + v + "), '+-0')";
        return "instr(lower(" + v + "), 'e') = 0 AND " + digits +
               " NOT GLOB '*[^0-9.]*' AND length(CASE WHEN instr(" + digits +
               ", '.') THEN substr(" + digits + ", 1, instr(" + digits + ", '.') - 1) ELSE " +
               digits + " END) > " + std::to_string(c.type.precision - c.type.scale);
    }
    const std::string numeric = "typeof(" + v + ") IN ('integer', 'real') AND ";
    auto bounds = boundsOf(c.type);
    if (!bounds) return {};
    return numeric + "(" + v + " < " + bounds->low + " OR " + v + " > " + bounds->high + ")";
}

std::string exactOverflowCondition(const StoredColumn& c, const std::string& v) {
    if (c.type.adoType != adNumeric) return overflowCondition(c, v);
    // Precision counts the digits left of the point after rounding to the scale.
    return "vx_decimal_overflows(" + v + ", " + std::to_string(c.type.precision) + ", " +
           std::to_string(c.type.scale) + ", " + quoteText(c.name) + ")";
}

namespace {

constexpr const char* kRulePrefix = "vxrule:";

// The value Jet stores for NEW.<column>, or empty when it stores it as given:
// by SQLite's functions in the file, by the engine's (`connection`) in its
// connections' rules.
std::string storedValue(const StoredColumn& c, bool connection) {
    const std::string v = "NEW." + quoteIdent(c.name);
    switch (c.type.adoType) {
        case adCurrency:
            return connection ? std::string() : "round(" + v + ", 4)";
        case adSingle:
            return connection ? "vx_single(" + v + ")" : std::string();
        case adNumeric:
            // Compared bytewise: by the field's collation 1.50 already equals 1.5.
            return connection ? "vx_decimal(" + v + ", " + std::to_string(c.type.scale) +
                                    ") COLLATE BINARY"
                              : std::string();
        case adBoolean:
            return connection ? std::string()
                              : "(CASE WHEN " + v + " IS NULL OR " + v + " = 0 THEN 0 ELSE -1 END)";
        default:
            return {};
    }
}

// The triggers that put each written value as Jet stores it, after the row
// is written, and (`overflow`) those that refuse a value too large for its
// field before; each as its name and the text after the name.
struct TriggerParts {
    std::string overflowWhen, overflowBody, overflowColumns;
    std::string fixWhen, fixSet, fixColumns;

    void addOverflow(const std::string& cond, const StoredColumn& c) {
        overflowWhen += (overflowWhen.empty() ? "(" : " OR (") + cond + ")";
        overflowBody +=
            "SELECT RAISE(ABORT, " + quoteText("VXOVF:" + c.name) + ") WHERE " + cond + "; ";
        overflowColumns += (overflowColumns.empty() ? "" : ", ") + quoteIdent(c.name);
    }
    void addFix(const std::string& value, const StoredColumn& c) {
        const std::string name = quoteIdent(c.name);
        fixWhen += std::string(fixWhen.empty() ? "" : " OR ") + "NEW." + name + " IS NOT " + value;
        fixSet += (fixSet.empty() ? "" : ", ") + name + " = " + value;
        fixColumns += (fixColumns.empty() ? "" : ", ") + name;
    }
    // `on` is the table as the trigger names it.
    std::vector<std::pair<std::string, std::string>> triggers(const std::string& on,
                                                              const std::string& table) const {
        std::vector<std::pair<std::string, std::string>> out;
        if (!overflowWhen.empty()) {
            const std::string rest = " ON " + on + " FOR EACH ROW WHEN " + overflowWhen +
                                     " BEGIN " + overflowBody + "END";
            out.emplace_back("ins", "BEFORE INSERT" + rest);
            out.emplace_back("upd", "BEFORE UPDATE OF " + overflowColumns + rest);
        }
        if (!fixWhen.empty()) {
            const std::string rest = " ON " + on + " FOR EACH ROW WHEN " + fixWhen +
                                     " BEGIN UPDATE " + table + " SET " + fixSet +
                                     " WHERE rowid = NEW.rowid; END";
            out.emplace_back("fixins", "AFTER INSERT" + rest);
            out.emplace_back("fixupd", "AFTER UPDATE OF " + fixColumns + rest);
        }
        return out;
    }
    // One trigger for each event, after the row is written, that refuses a
    // value too large and stores the others as Jet does: a connection makes
    // its triggers at every open, and half as many open twice as fast.
    std::vector<std::pair<std::string, std::string>> merged(const std::string& on,
                                                            const std::string& table) const {
        if (overflowWhen.empty() && fixWhen.empty()) return {};
        const std::string when =
            overflowWhen.empty()
                ? fixWhen
                : (fixWhen.empty() ? overflowWhen : overflowWhen + " OR " + fixWhen);
        const std::string body =
            overflowBody +
            (fixSet.empty() ? ""
                            : "UPDATE " + table + " SET " + fixSet + " WHERE rowid = NEW.rowid; ");
        const std::string rest =
            " ON " + on + " FOR EACH ROW WHEN " + when + " BEGIN " + body + "END";
        return {{"fixins", "AFTER INSERT" + rest},
                {"fixupd",
                 "AFTER UPDATE OF " + (fixColumns.empty() ? overflowColumns : fixColumns) + rest}};
    }
};

std::string triggerName(const std::string& table, const char* which) {
    return quoteIdent(kTriggerPrefix + table + ":" + which);
}

// The single-precision value nearest a double, as Jet keeps a Single field.
void singleFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    sqlite3_result_double(ctx,
                          static_cast<double>(static_cast<float>(sqlite3_value_double(argv[0]))));
}

// Whether a value is a text that reads as a date, and the date it reads as.
bool textDate(sqlite3_value* value, double& date) {
    return sqlite3_value_type(value) == SQLITE_TEXT &&
           parseDateLiteral(
               std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                static_cast<std::size_t>(sqlite3_value_bytes(value))),
               date);
}

// vx_date_in(value, type): a text stored into a field of catalog type
// `type` is read as a date when the field is a Date/Time one, as the bulk
// loader reads it; any other value, and a text that is no date, is stored as
// given, so the field's own type refuses what Jet refuses.
void dateInFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double date = 0;
    if (sqlite3_value_int(argv[1]) == adDate && textDate(argv[0], date)) {
        sqlite3_result_double(ctx, date);
        return;
    }
    sqlite3_result_value(ctx, argv[0]);
}

// vx_is_date_text(value): 1 for a text that reads as a date. It spares the
// catalog lookup of vx_date_in's type for every other value.
void isDateTextFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double date = 0;
    sqlite3_result_int(ctx, textDate(argv[0], date) ? 1 : 0);
}

}  // namespace

void registerTypeRuleFunctions(sqlite3* db) {
    sqlite3_create_function(db, "vx_single", 1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            singleFunction, nullptr, nullptr);
    sqlite3_create_function(db, "vx_date_in", 2,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            dateInFunction, nullptr, nullptr);
    sqlite3_create_function(db, "vx_is_date_text", 1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            isDateTextFunction, nullptr, nullptr);
    registerFieldPropertyFunctions(db);
}

std::string overflowConstraint(const StoredColumn& c) {
    const std::string cond = overflowCondition(c, quoteIdent(c.name));
    if (cond.empty()) return {};
    return " CONSTRAINT " + quoteIdent(kOverflowConstraintPrefix + c.name) + " CHECK (NOT (" +
           cond + "))";
}

const std::string& connectionRuledTypes() {
    // The types storedValue and the exact overflow rule give each connection.
    static const std::string types = std::to_string(adSingle) + ", " + std::to_string(adNumeric);
    return types;
}

std::vector<ConnectionRule> connectionRules(const StoredTable& t, const std::string& sqliteName) {
    TriggerParts parts;
    for (const auto& c : t.columns) {
        if (c.expressionSqlite) continue;  // computed, never written
        if (c.type.adoType == adNumeric)
            parts.addOverflow(exactOverflowCondition(c, "NEW." + quoteIdent(c.name)), c);
        if (std::string value = storedValue(c, true); !value.empty()) parts.addFix(value, c);
    }
    std::vector<ConnectionRule> rules;
    for (auto& [which, body] :
         parts.merged("main." + quoteIdent(sqliteName), quoteIdent(sqliteName))) {
        rules.push_back({kRulePrefix + sqliteName + ":" + which, std::move(body)});
    }
    return rules;
}

std::vector<std::string> typeRuleTriggers(const StoredTable& t, const std::string& sqliteName,
                                          const std::string& tableSql) {
    const std::string table = quoteIdent(sqliteName);
    TriggerParts parts;
    for (const auto& c : t.columns) {
        if (c.expressionSqlite) continue;  // computed, never written
        const std::string own = overflowConstraint(c);
        const bool checkedInline = !own.empty() && tableSql.find(own) != std::string::npos;
        if (std::string cond = overflowCondition(c, "NEW." + quoteIdent(c.name));
            !cond.empty() && !checkedInline) {
            parts.addOverflow(cond, c);
        }
        if (std::string value = storedValue(c, false); !value.empty()) parts.addFix(value, c);
    }
    std::vector<std::string> sql;
    for (const auto& [which, body] : parts.triggers(table, table))
        sql.push_back("CREATE TRIGGER " + triggerName(sqliteName, which.c_str()) + " " + body);
    // A rebuilt table's old rules went with the old table under its new name.
    std::vector<ConnectionRule> rules = connectionRules(t, sqliteName);
    for (auto& rule : calculationRules(t, sqliteName, tableSql)) rules.push_back(std::move(rule));
    for (const auto& rule : rules) {
        sql.push_back("DROP TRIGGER IF EXISTS temp." + quoteIdent(rule.name));
        sql.push_back(rule.createSql());
    }
    return sql;
}

std::vector<std::string> dropTypeRuleTriggers(const std::string& sqliteName) {
    std::vector<std::string> sql;
    for (const char* which : {"ins", "upd", "fixins", "fixupd"})
        sql.push_back("DROP TRIGGER IF EXISTS " + triggerName(sqliteName, which));
    for (const char* which :
         {"ins", "upd", "fixins", "fixupd", "calcnew", "calcset", "calcins", "calcupd"}) {
        sql.push_back("DROP TRIGGER IF EXISTS temp." +
                      quoteIdent(kRulePrefix + sqliteName + ":" + which));
    }
    return sql;
}

std::string counterProperty(const std::string& table, const std::string& column) {
    return "vxcounter:" + table + ":" + column;
}

}  // namespace engine::detail
