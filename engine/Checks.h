// Statements Jet refuses although SQLite would run them (Checks.cpp).
#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/Internal.h"
#include "engine/Lexer.h"

namespace engine::detail {

// Raises Jet's error for a parsed statement Jet refuses: joins without their
// parentheses (3075), ORDER BY a field a DISTINCT query does not return
// (3093), a field neither grouped nor aggregated (3122).
void checkJetRefusals(const std::vector<Token>& tokens);

// Raises Jet's error for an expression Jet refuses: DISTINCT inside an
// aggregate (3075).
void checkExpression(const sql::Node& expression);

// Raises Jet's error for a new value of UPDATE that holds a subquery (3073).
void checkUpdateValue(const sql::Node& value);

// The fields of an expression whose catalog types decide whether Jet runs
// the statement: every field of a join's ON clause (`joinCondition`), and
// those compared with a lone number or text literal.
void collectColumnUses(const sql::Node& expression, bool joinCondition,
                       std::vector<ColumnUse>& uses);

// Raises Jet's error for a field of `st.columnUses` of a type Jet refuses
// there: a Memo or OLE Object field in a join (3118), a text field compared
// with a number or a number field compared with a text (3464). `typeOf`
// gives the catalog type (ADO type) of a table's field, 0 when unknown.
void checkColumnUses(const Statement& st,
                     const std::function<int(const std::string&, const std::string&)>& typeOf);

// vx_one_row, which refuses a scalar subquery that returns more than one row.
void registerCheckFunctions(sqlite3* db);

}  // namespace engine::detail
