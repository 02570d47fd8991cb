// Crosstab queries (TRANSFORM ... PIVOT): each pivot value found in the data,
// or each one of the IN list, becomes a column holding the TRANSFORM value
// over its own rows. The headings are known only when the query runs.
#include "engine/Internal.h"
#include "engine/sql/Translator.h"

namespace engine::detail {

namespace {

constexpr std::size_t kMaxColumns = 255;

struct Heading {
    std::string sql;   // the value as a literal
    std::string text;  // the column's name
};

// One row of "SELECT quote(v), v": the literal and the heading. A Null pivot
// value gets Jet's heading for the rows without one.
int addHeading(void* headings, int, char** values, char**) {
    static_cast<std::vector<Heading>*>(headings)->push_back(
        values[1] ? Heading{values[0], values[1]} : Heading{"NULL", "<>"});
    return 0;
}

}  // namespace

std::string crosstabSql(sqlite3* db, Statement& st) {
    const CrosstabPlan& plan = *st.crosstab;
    std::vector<Heading> headings;
    if (plan.fixedHeadings) {
        for (const auto& [sql, text] : plan.headings) headings.push_back({sql, text});
    } else {
        // Sorted as Jet sorts its headings; a collation of the pivot field
        // (text ignores case) applies to both the DISTINCT and the order.
        const std::string sql = "SELECT quote(vx_p), vx_p FROM (SELECT DISTINCT " + plan.pivot +
                                " AS vx_p" + plan.fromWhere + ") ORDER BY vx_p";
        if (sqlite3_exec(db, sql.c_str(), addHeading, &headings, nullptr) != SQLITE_OK) {
            raiseSqlite(db, sqlite3_extended_errcode(db), "");
        }
    }
    if (headings.size() > kMaxColumns) {
        raise(hr::kUnspecified, jet::kTooManyFields,
              "Too many fields defined: the crosstab would have " +
                  std::to_string(headings.size()) +
                  " columns of pivot values; at most 255. Narrow the PIVOT with an IN list or a "
                  "WHERE clause.");
    }
    std::string columns;
    for (const auto& heading : headings) {
        const std::string filter = " FILTER (WHERE (" + plan.pivot + ") IS " + heading.sql + ")";
        const std::string value = sql::crosstabValue(*plan.value, plan.valueKinds, filter);
        columns += ", " + value + " AS " + quoteIdent(heading.text);
        st.hints.push_back(plan.valueHint);
    }
    return plan.head + columns + plan.body + plan.order;
}

}  // namespace engine::detail
