// Statements Jet refuses although SQLite would run them, refused with Jet's
// error numbers. The checks read the statement's tokens after it has parsed,
// so they see it as the operator wrote it: a SELECT's field list, its GROUP
// BY and ORDER BY keys and its joins, each at its own level of parentheses.
#include "engine/Checks.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/Internal.h"
#include "engine/Lexer.h"
#include "engine/sql/Ast.h"

namespace engine::detail {

namespace {

using Tokens = std::vector<Token>;

bool isWordToken(const Token& t, const char* word) {
    return t.kind == Tok::Word && equalsNoCase(t.text, word);
}
bool isSymbolToken(const Token& t, const char* s) {
    return t.kind == Tok::Symbol && t.text == s;
}

bool isAggregateName(const std::string& word) {
    static const std::set<std::string> names = {"COUNT", "SUM",   "AVG",    "MIN", "MAX", "FIRST",
                                                "LAST",  "STDEV", "STDEVP", "VAR", "VARP"};
    return names.count(upperAscii(word)) != 0;
}

// Words inside an expression that are operators or constants, not fields.
bool isExpressionWord(const std::string& word) {
    static const std::set<std::string> words = {
        "AND",     "OR",   "NOT",  "XOR",   "EQV", "IMP", "IS",  "NULL", "LIKE",
        "BETWEEN", "IN",   "TRUE", "FALSE", "MOD", "AS",  "ASC", "DESC", "EXISTS",
        "ANY",     "SOME", "ALL",  "YES",   "NO",  "ON",  "OFF"};
    return words.count(upperAscii(word)) != 0;
}

[[noreturn]] void refuse(int jetError, const std::string& message) {
    raise(hr::kSyntax, jetError, message);
}

// The text of a token range as the operator wrote it, for messages and for
// comparing two expressions.
std::string spelled(const Tokens& toks, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        if (!out.empty()) out += ' ';
        // A text literal stays apart from a field of the same spelling.
        if (toks[i].kind == Tok::String) out += '\'';
        out += upperAscii(toks[i].text);
    }
    return out;
}

class Checker {
  public:
    explicit Checker(const Tokens& toks) : toks_(toks), close_(toks.size(), toks.size()) {
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < toks.size(); ++i) {
            if (isSymbolToken(toks[i], "(")) open.push_back(i);
            if (isSymbolToken(toks[i], ")") && !open.empty()) {
                close_[open.back()] = i;
                open.pop_back();
            }
        }
    }

    void run() {
        joinsWithoutParentheses();
        for (std::size_t i = 0; i < toks_.size(); ++i) {
            if (isWordToken(toks_[i], "SELECT")) selectCore(i);
        }
    }

  private:
    // Past a parenthesised group starting at `i`, or `i + 1`.
    std::size_t skip(std::size_t i) const {
        return isSymbolToken(toks_[i], "(") && close_[i] < toks_.size() ? close_[i] + 1 : i + 1;
    }
    bool opensSubquery(std::size_t i) const {
        return isSymbolToken(toks_[i], "(") && i + 1 < toks_.size() &&
               isWordToken(toks_[i + 1], "SELECT");
    }

    // Jet joins two sources at a time: every join but the last of a FROM
    // clause stands in parentheses, "(a INNER JOIN b ON …) INNER JOIN c ON …".
    void joinsWithoutParentheses() const {
        std::vector<int> joins(1, 0);
        for (const auto& t : toks_) {
            if (isSymbolToken(t, "("))
                joins.push_back(0);
            else if (isSymbolToken(t, ")") && joins.size() > 1)
                joins.pop_back();
            else if (isWordToken(t, "FROM"))
                joins.back() = 0;
            else if (isWordToken(t, "JOIN") && ++joins.back() > 1) {
                refuse(
                    jet::kSyntaxInExpression,
                    "Syntax error (missing operator) in the joins at position " +
                        std::to_string(t.offset + 1) +
                        ": Jet needs each join but the last in parentheses, as in (a INNER JOIN b "
                        "ON …) INNER JOIN c ON ….");
            }
        }
    }

    struct Ref {
        std::string qualifier;  // upper case, may be empty
        std::string name;       // upper case
    };
    struct Item {
        std::size_t from = 0, to = 0;  // the expression, alias excluded
        std::string alias;             // upper case
        bool star = false;
    };

    bool isNameToken(std::size_t i) const {
        const Token& t = toks_[i];
        if (t.kind == Tok::Bracketed) return true;
        return t.kind == Tok::Word && !isExpressionWord(t.text) &&
               !(i + 1 < toks_.size() && isSymbolToken(toks_[i + 1], "("));
    }

    // The fields an expression names outside aggregates and subqueries.
    std::vector<Ref> bareRefs(std::size_t from, std::size_t to, bool& aggregate) const {
        std::vector<Ref> refs;
        for (std::size_t i = from; i < to;) {
            const Token& t = toks_[i];
            if (t.kind == Tok::Word && isAggregateName(t.text) && i + 1 < to &&
                isSymbolToken(toks_[i + 1], "(")) {
                aggregate = true;
                i = skip(i + 1);
                continue;
            }
            if (opensSubquery(i)) {
                i = skip(i);
                continue;
            }
            if (isNameToken(i)) {
                Ref r{"", upperAscii(t.text)};
                if (i + 2 < to &&
                    (isSymbolToken(toks_[i + 1], ".") || isSymbolToken(toks_[i + 1], "!")) &&
                    (toks_[i + 2].kind == Tok::Word || toks_[i + 2].kind == Tok::Bracketed)) {
                    r = {upperAscii(t.text), upperAscii(toks_[i + 2].text)};
                    i += 3;
                } else {
                    ++i;
                }
                refs.push_back(r);
                continue;
            }
            ++i;
        }
        return refs;
    }

    // Splits [from, to) at the commas of its own level.
    std::vector<std::pair<std::size_t, std::size_t>> list(std::size_t from, std::size_t to) const {
        std::vector<std::pair<std::size_t, std::size_t>> parts;
        std::size_t start = from;
        for (std::size_t i = from; i < to; i = skip(i)) {
            if (isSymbolToken(toks_[i], ",")) {
                parts.emplace_back(start, i);
                start = i + 1;
            }
        }
        if (start < to) parts.emplace_back(start, to);
        return parts;
    }

    bool endsValue(std::size_t i) const {
        const Token& t = toks_[i];
        return t.kind == Tok::Bracketed || t.kind == Tok::Number || t.kind == Tok::String ||
               t.kind == Tok::Date || isSymbolToken(t, ")") ||
               (t.kind == Tok::Word && !isExpressionWord(t.text));
    }

    Item item(std::size_t from, std::size_t to) const {
        Item it{from, to, "", false};
        if (to > from && isSymbolToken(toks_[to - 1], "*")) it.star = true;
        if (to >= from + 3 && isWordToken(toks_[to - 2], "AS")) {
            it.alias = upperAscii(toks_[to - 1].text);
            it.to = to - 2;
        } else if (to >= from + 2 && isNameToken(to - 1) && endsValue(to - 2) &&
                   !isSymbolToken(toks_[to - 2], ".") && !isSymbolToken(toks_[to - 2], "!")) {
            it.alias = upperAscii(toks_[to - 1].text);
            it.to = to - 1;
        }
        return it;
    }

    // Where the clause `word` of the core starting at `select` begins, at
    // the core's own level, or `end`.
    std::size_t clause(std::size_t select, std::size_t end, const char* word) const {
        for (std::size_t i = select + 1; i < end; i = skip(i)) {
            if (isWordToken(toks_[i], word)) return i;
        }
        return end;
    }

    void selectCore(std::size_t select) const {
        // The core ends where its level ends, or at a UNION or PIVOT.
        std::size_t end = select + 1;
        while (end < toks_.size() && toks_[end].kind != Tok::End &&
               !isSymbolToken(toks_[end], ")") && !isSymbolToken(toks_[end], ";") &&
               !isWordToken(toks_[end], "UNION") && !isWordToken(toks_[end], "PIVOT")) {
            end = skip(end);
        }
        const bool compound = end < toks_.size() && isWordToken(toks_[end], "UNION");
        std::size_t at = select + 1;
        bool distinct = false;
        if (at < end && isWordToken(toks_[at], "DISTINCT")) {
            distinct = true;
            ++at;
        } else if (at < end &&
                   (isWordToken(toks_[at], "DISTINCTROW") || isWordToken(toks_[at], "ALL"))) {
            ++at;
        }
        if (at < end && isWordToken(toks_[at], "TOP")) {
            at += 2;
            if (at < end && isWordToken(toks_[at], "PERCENT")) ++at;
        }
        const std::size_t order = clause(select, end, "ORDER");
        const std::size_t group = clause(select, end, "GROUP");
        const std::size_t having = clause(select, end, "HAVING");
        std::size_t listEnd =
            std::min({clause(select, end, "FROM"), clause(select, end, "INTO"), order});
        std::vector<Item> items;
        for (const auto& [f, t] : list(at, listEnd)) items.push_back(item(f, t));
        std::vector<std::pair<std::size_t, std::size_t>> orderKeys;
        if (order < end) {
            for (auto [f, t] : list(std::min(order + 2, end), end)) {
                if (t > f &&
                    (isWordToken(toks_[t - 1], "ASC") || isWordToken(toks_[t - 1], "DESC")))
                    --t;
                orderKeys.emplace_back(f, t);
            }
        }
        bool anyStar = false;
        for (const auto& it : items) anyStar = anyStar || it.star;
        if (distinct && !compound && !anyStar) distinctOrder(items, orderKeys);
        if (anyStar) return;

        std::vector<std::pair<std::size_t, std::size_t>> groupKeys;
        if (group < end) {
            const std::size_t groupEnd = std::min({having, order, end});
            groupKeys = list(std::min(group + 2, groupEnd), groupEnd);
        }
        bool aggregate = group < end;
        for (const auto& it : items) bareRefs(it.from, it.to, aggregate);
        if (having < end) bareRefs(having + 1, std::min(order, end), aggregate);
        if (!aggregate) return;
        grouped(items, groupKeys, orderKeys, having < end ? having + 1 : end, std::min(order, end));
    }

    bool sameText(std::size_t f1, std::size_t t1, std::size_t f2, std::size_t t2) const {
        return spelled(toks_, f1, t1) == spelled(toks_, f2, t2);
    }

    static bool sameRef(const Ref& a, const Ref& b) {
        return a.name == b.name &&
               (a.qualifier.empty() || b.qualifier.empty() || a.qualifier == b.qualifier);
    }

    // Access SQL reference: SELECT statement (DISTINCT) — an ORDER BY key of a
    // DISTINCT query must be one of the fields it returns.
    void distinctOrder(const std::vector<Item>& items,
                       const std::vector<std::pair<std::size_t, std::size_t>>& keys) const {
        for (const auto& [f, t] : keys) {
            if (t == f + 1 && toks_[f].kind == Tok::Number) continue;
            bool selected = false;
            bool ignored = false;
            const auto keyRefs = bareRefs(f, t, ignored);
            for (const auto& it : items) {
                if (sameText(f, t, it.from, it.to)) selected = true;
                if (keyRefs.size() == 1 && t - f <= 3 && (keyRefs[0].name == it.alias))
                    selected = true;
                bool unused = false;
                const auto itemRefs = bareRefs(it.from, it.to, unused);
                if (keyRefs.size() == 1 && t - f <= 3 && itemRefs.size() == 1 &&
                    it.to - it.from <= 3 && sameRef(keyRefs[0], itemRefs[0])) {
                    selected = true;
                }
            }
            if (!selected) {
                refuse(jet::kOrderByConflictsWithDistinct,
                       "ORDER BY clause (" + spelled(toks_, f, t) +
                           ") conflicts with DISTINCT: a DISTINCT query can be ordered only by the "
                           "fields it returns.");
            }
        }
    }

    // Access SQL reference: GROUP BY clause — every field of the list that is
    // not inside an aggregate function must be a GROUP BY key.
    void grouped(const std::vector<Item>& items,
                 const std::vector<std::pair<std::size_t, std::size_t>>& groupKeys,
                 const std::vector<std::pair<std::size_t, std::size_t>>& orderKeys,
                 std::size_t havingFrom, std::size_t havingTo) const {
        std::vector<Ref> keyRefs;
        for (const auto& [f, t] : groupKeys) {
            bool unused = false;
            auto refs = bareRefs(f, t, unused);
            if (refs.size() == 1 && t - f <= 3) keyRefs.push_back(refs[0]);
        }
        auto isKey = [&](std::size_t f, std::size_t t) {
            for (const auto& [kf, kt] : groupKeys) {
                if (sameText(f, t, kf, kt)) return true;
            }
            return false;
        };
        auto require = [&](std::size_t f, std::size_t t, const std::vector<std::string>& aliases) {
            if (isKey(f, t)) return;
            bool unused = false;
            for (const auto& r : bareRefs(f, t, unused)) {
                bool ok = false;
                for (const auto& k : keyRefs) ok = ok || sameRef(r, k);
                for (const auto& a : aliases) ok = ok || (r.qualifier.empty() && r.name == a);
                if (!ok) {
                    refuse(jet::kNotPartOfAggregate,
                           "You tried to execute a query that does not include the specified "
                           "expression '" +
                               (r.qualifier.empty() ? "" : r.qualifier + ".") + r.name +
                               "' as part of an aggregate function. Add it to GROUP BY or put it "
                               "inside "
                               "an aggregate (First, Max, …).");
                }
            }
        };
        std::vector<std::string> aliases;
        for (const auto& it : items) {
            require(it.from, it.to, {});
            if (!it.alias.empty()) aliases.push_back(it.alias);
        }
        if (havingFrom < havingTo) require(havingFrom, havingTo, aliases);
        for (const auto& [f, t] : orderKeys) {
            bool matchesItem = false;
            for (const auto& it : items)
                matchesItem = matchesItem || sameText(f, t, it.from, it.to);
            if (!matchesItem && !(t == f + 1 && toks_[f].kind == Tok::Number))
                require(f, t, aliases);
        }
    }

    const Tokens& toks_;
    std::vector<std::size_t> close_;  // for each "(", its ")"
};

}  // namespace

void checkJetRefusals(const std::vector<Token>& tokens) {
    Checker(tokens).run();
}

namespace {}  // namespace

namespace {

// A field standing alone as one side of a comparison.
const sql::Node* loneField(const sql::Node& n) {
    return n.kind == sql::NodeKind::Field ? &n : nullptr;
}

// A lone literal (a number maybe negated, or a text): the kind of
// comparison it makes a field's.
std::optional<ColumnUse::Kind> loneLiteral(const sql::Node& n) {
    if (n.kind == sql::NodeKind::Text) return ColumnUse::Kind::ComparedWithText;
    if (n.kind == sql::NodeKind::Number) return ColumnUse::Kind::ComparedWithNumber;
    if (n.kind == sql::NodeKind::Negate && n.children[0]->kind == sql::NodeKind::Number)
        return ColumnUse::Kind::ComparedWithNumber;
    return std::nullopt;
}

void addUse(std::vector<ColumnUse>& uses, const sql::Node& field, ColumnUse::Kind kind) {
    uses.push_back({kind, field.table, field.name});
}

}  // namespace

void checkExpression(const sql::Node& expression) {
    sql::walk(expression, [](const sql::Node& n) {
        // VBA/Access SQL reference: SQL aggregate functions take one
        // expression; Jet reads DISTINCT inside one as a missing operator.
        if (n.kind == sql::NodeKind::Call && n.distinct) {
            refuse(jet::kSyntaxInExpression,
                   "Syntax error (missing operator) in query expression '" + n.name +
                       "(DISTINCT …)': Jet has no DISTINCT inside an aggregate. Count the rows of "
                       "a SELECT DISTINCT subquery instead.");
        }
    });
}

void checkUpdateValue(const sql::Node& value) {
    sql::walk(value, [](const sql::Node& n) {
        if (!n.subquery.empty()) {
            refuse(jet::kNotUpdatable,
                   "Operation must use an updatable query: a new value of UPDATE cannot come "
                   "from a subquery. Use a join, or set the value in a second statement.");
        }
    });
}

void collectColumnUses(const sql::Node& expression, bool joinCondition,
                       std::vector<ColumnUse>& uses) {
    sql::walk(expression, [&](const sql::Node& n) {
        if (joinCondition && n.kind == sql::NodeKind::Field)
            addUse(uses, n, ColumnUse::Kind::Joined);
        const bool compared = n.kind == sql::NodeKind::Compare ||
                              n.kind == sql::NodeKind::Between ||
                              (n.kind == sql::NodeKind::In && n.subquery.empty());
        if (!compared || n.children.size() < 2) return;
        // "x = 5", "x IN (1, 2)", "x NOT BETWEEN 1 AND 2": the field and the first value.
        if (const sql::Node* field = loneField(*n.children[0])) {
            if (auto kind = loneLiteral(*n.children[1])) addUse(uses, *field, *kind);
        } else if (n.kind == sql::NodeKind::Compare) {
            // The literal on the left: "5 = x", "-5 = x", "'a' = x".
            const sql::Node* right = loneField(*n.children[1]);
            auto kind = loneLiteral(*n.children[0]);
            if (right && kind) addUse(uses, *right, *kind);
        }
    });
}

namespace {

bool isTextType(int ado) {
    return ado == adVarWChar || ado == adLongVarWChar;
}
bool isNumberType(int ado) {
    switch (ado) {
        case adUnsignedTinyInt:
        case adSmallInt:
        case adInteger:
        case adSingle:
        case adDouble:
        case adCurrency:
        case adNumeric:
        case adDecimal:
            return true;
        default:
            return false;
    }
}

// The catalog type of a used field: the table its qualifier names, or the
// first of the statement's tables that has it.
int typeOfUse(const Statement& st, const ColumnUse& use,
              const std::function<int(const std::string&, const std::string&)>& typeOf) {
    std::vector<std::string> tables;
    for (const auto& source : st.namedTables) {
        if (source.name.empty()) continue;
        if (use.qualifier.empty() || equalsNoCase(source.alias, use.qualifier) ||
            (source.alias.empty() && equalsNoCase(source.name, use.qualifier)))
            tables.push_back(source.name);
    }
    if (!st.table.empty() && (use.qualifier.empty() || equalsNoCase(st.table, use.qualifier)))
        tables.push_back(st.table);
    for (const auto& table : tables) {
        if (const int ado = typeOf(table, use.column)) return ado;
    }
    return 0;
}

}  // namespace

void checkColumnUses(const Statement& st,
                     const std::function<int(const std::string&, const std::string&)>& typeOf) {
    for (const auto& use : st.columnUses) {
        const int ado = typeOfUse(st, use, typeOf);
        const std::string field = (use.qualifier.empty() ? "" : use.qualifier + ".") + use.column;
        switch (use.kind) {
            case ColumnUse::Kind::Joined:
                if (ado == adLongVarWChar || ado == adLongVarBinary) {
                    raise(hr::kUnspecified, jet::kCannotJoinOnMemo,
                          "Cannot join on Memo, OLE, or Hyperlink Object (" + field +
                              "). Join on a Text or number field, or compare the Memo field in "
                              "the WHERE clause.");
                }
                break;
            case ColumnUse::Kind::ComparedWithNumber:
                if (isTextType(ado)) {
                    raise(hr::kUnspecified, jet::kDataTypeMismatch,
                          "Data type mismatch in criteria expression: the Text field '" + field +
                              "' is compared with a number. Write the number as a text in quotes.");
                }
                break;
            case ColumnUse::Kind::ComparedWithText:
                if (isNumberType(ado)) {
                    raise(hr::kUnspecified, jet::kDataTypeMismatch,
                          "Data type mismatch in criteria expression: the number field '" + field +
                              "' is compared with a text. Write the number without quotes.");
                }
                break;
        }
    }
}

namespace {

// vx_one_row(rows, value): the value of a scalar subquery that returned
// `rows` rows; Jet refuses one that returns more than one.
void oneRowFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_int64(argv[0]) > 1) {
        sqlite3_result_error(ctx, "VXONE:", -1);
        return;
    }
    sqlite3_result_value(ctx, argv[1]);
}

}  // namespace

void registerCheckFunctions(sqlite3* db) {
    sqlite3_create_function(db, "vx_one_row", 2,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            oneRowFunction, nullptr, nullptr);
}

}  // namespace engine::detail
