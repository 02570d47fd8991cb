// Statements Jet refuses although SQLite would run them (Checks.cpp).
#pragma once

#include <sqlite3.h>

#include <vector>

#include "engine/Lexer.h"

namespace engine::detail {

// Raises Jet's error for a parsed statement Jet refuses: DISTINCT inside an
// aggregate (3075), joins without their parentheses (3075), a subquery among
// UPDATE's values (3073), ORDER BY a field a DISTINCT query does not return
// (3093), a field neither grouped nor aggregated (3122).
void checkJetRefusals(const std::vector<Token>& tokens);

// vx_one_row, which refuses a scalar subquery that returns more than one row.
void registerCheckFunctions(sqlite3* db);

}  // namespace engine::detail
