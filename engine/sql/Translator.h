// SQLite text from the syntax tree of a Jet expression (Ast.h).
#pragma once

#include <string>

#include "engine/sql/Ast.h"

namespace engine::detail::sql {

// An expression as SQLite text, with what its users need to know of it.
struct Text {
    std::string sql;
    ResultHint hint;
    bool logical = false;  // a condition: SQLite's 1 for true, not Jet's -1
};

// What the translation asks of the statement around the expression.
class TranslationContext {
  public:
    virtual ~TranslationContext() = default;
    // The kind code of a table column (its catalog type, looked up when the
    // statement runs), or "0" when it cannot be known.
    virtual std::string columnKind(const ResultHint& column) = 0;
    // A literal standing alone where a value is only used: the parameter
    // that stands for it, or `sql` when it stays written in.
    virtual std::string bindLiteral(const Node& literal, const std::string& sql) = 0;
    // An aggregate of a TRANSFORM value, computed for one column.
    virtual std::string crosstabCell(std::string aggregate) = 0;
};

// Jet's True is -1 where SQLite's comparisons give 1. A condition stays as
// SQLite writes it, so that WHERE and ON keep their indexes; where it is
// used as a value it is negated.
std::string valueOf(const Text& e);
bool isBareColumn(const Text& e);
// Jet compares, groups and sorts text without regard to case.
std::string caseBlind(const Text& e);

Text translate(const Node& n, TranslationContext& context);

// The text of an expression in a place where a value is only used, never
// read (an INSERT's VALUES, UPDATE's SET, the right side of a comparison,
// BETWEEN's bounds, IN's list, LIKE's pattern): a lone literal, a number
// maybe negated, becomes the parameter standing for it (see
// LiteralParameters). Anywhere else a literal's value may shape the
// translation, and stays written into it.
std::string valueSlot(const Node& n, const Text& translated, TranslationContext& context);

// A TRANSFORM value for one column: each aggregate over the rows of that
// column alone (`filter`, " FILTER (WHERE ...)"). `kinds` are the column
// kinds its translation was given when the statement was read, in order.
std::string crosstabValue(const Node& value, const std::vector<std::string>& kinds,
                          const std::string& filter);

}  // namespace engine::detail::sql
