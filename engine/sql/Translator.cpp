#include "engine/sql/Translator.h"

#include <cstdlib>
#include <stdexcept>

#include "engine/sql/FunctionTable.h"

namespace engine::detail::sql {

namespace {

bool isNumberKind(ResultKind k) {
    return k == ResultKind::Long || k == ResultKind::Double || k == ResultKind::Currency ||
           k == ResultKind::Count || k == ResultKind::Date || k == ResultKind::Bool;
}

const ResultHint kBool{ResultKind::Bool, {}, {}};

// A run of operators of one precedence level, "a op b op c". SQLite reads
// such a run left to right as Jet does, so where the translation of an
// operator leaves its left side as it is the run stays flat, "(a op b op c)":
// nesting each step in parentheses would overflow SQLite's parser after a
// few dozen operators. An operator that must wrap its left side (an opening
// before it) nests; the openings are kept apart and the text is put together
// once, as wrapping the whole text again at each operator would copy it once
// per operand, quadratic in a long chain.
class OperatorChain {
  public:
    // `conditions`: a chain of AND, OR or XOR, whose operands and result
    // stay conditions; any other operator takes its first operand as a value.
    explicit OperatorChain(Text first, bool conditions = false)
        : first_(std::move(first)), conditions_(conditions) {}

    bool empty() const { return links_ == 0; }
    // The chain so far becomes "open <chain> middle <right> close".
    void add(const char* open, const char* middle, const std::string& right, const char* close,
             ResultHint hint) {
        if (links_ == 0 && !conditions_ && first_.logical) {
            first_.sql = valueOf(first_);
            first_.logical = false;
        }
        if (*open != '\0') opens_.push_back(open);
        tail_ += middle;
        tail_ += right;
        tail_ += close;
        hint_ = std::move(hint);
        ++links_;
    }

    Text finish() && {
        if (links_ == 0) return std::move(first_);
        std::string sql = "(";
        for (auto open = opens_.rbegin(); open != opens_.rend(); ++open) sql += *open;
        sql += first_.sql;
        sql += tail_;
        sql += ")";
        if (conditions_) return {std::move(sql), kBool, true};
        return {std::move(sql), std::move(hint_)};
    }

  private:
    Text first_;
    bool conditions_;
    std::vector<const char*> opens_;  // literals of the translator
    std::string tail_;
    ResultHint hint_;
    std::size_t links_ = 0;
};

class Translator {
  public:
    explicit Translator(TranslationContext& context) : context_(context) {}

    Text node(const Node& n) {
        switch (n.kind) {
            case NodeKind::Number:
                return {n.text, {n.type, {}, {}}};
            case NodeKind::Text:
                return {n.text, {ResultKind::Text, {}, {}}};
            case NodeKind::Date:
                return {n.text, {ResultKind::Date, {}, {}}};
            case NodeKind::Null:
                return {"NULL", {}};
            case NodeKind::Boolean:
                return {n.text, kBool};
            case NodeKind::Identity:
                return {"last_insert_rowid()", {ResultKind::Long, {}, {}}};
            case NodeKind::Field:
                if (n.table.empty())
                    return {quoteIdent(n.name), {ResultKind::ColumnOf, {}, n.name}};
                return {quoteIdent(n.table) + "." + quoteIdent(n.name),
                        {ResultKind::ColumnOf, n.table, n.name}};
            case NodeKind::Parameter:
                return {"vx_param(" + quoteText(n.name) + ", " + std::to_string(n.adoType) + ")",
                        {n.type, {}, {}}};
            case NodeKind::Group: {
                Text inner = node(*n.children[0]);
                inner.sql = "(" + inner.sql + ")";
                return inner;
            }
            case NodeKind::Subquery:
                // Jet refuses a value subquery that returns more than one row.
                return {
                    "vx_one_row((SELECT count(*) FROM (" + n.subquery + ")), (" + n.subquery + "))",
                    {}};
            case NodeKind::Exists:
                return {"(EXISTS (" + n.subquery + "))", kBool, true};
            case NodeKind::Quantified:
                return quantified(n);
            case NodeKind::Negate: {
                Text inner = node(*n.children[0]);
                return {"(-" + numberOf(inner, "-") + ")",
                        inner.hint.kind == ResultKind::ColumnOf ? ResultHint{} : inner.hint};
            }
            case NodeKind::Plus:
                return node(*n.children[0]);
            case NodeKind::Not:
                return {"(NOT " + node(*n.children[0]).sql + ")", kBool, true};
            case NodeKind::Chain:
                return chain(n);
            case NodeKind::Compare: {
                const Text left = node(*n.children[0]);
                const Text right = node(*n.children[1]);
                // Text on both sides compares without regard to case; a
                // column on either side brings its own collation.
                const std::string l = isBareColumn(right) ? valueOf(left) : caseBlind(left);
                return {
                    "(" + l + " " + n.text + " " + valueSlot(*n.children[1], right, context_) + ")",
                    kBool, true};
            }
            case NodeKind::IsNull:
                return {
                    "(" + node(*n.children[0]).sql + (n.negated ? " IS NOT NULL)" : " IS NULL)"),
                    kBool, true};
            case NodeKind::Like: {
                const Text left = node(*n.children[0]);
                const std::string pattern = slot(*n.children[1]);
                // Jet's wildcards and character lists, not SQLite's LIKE.
                return {std::string(n.negated ? "(NOT " : "(") + "vx_like(" + valueOf(left) + ", " +
                            pattern + "))",
                        kBool, true};
            }
            case NodeKind::Between: {
                const std::string left = caseBlind(node(*n.children[0]));
                const std::string low = slot(*n.children[1]);
                const std::string high = slot(*n.children[2]);
                return {"(" + left + (n.negated ? " NOT" : "") + " BETWEEN " + low + " AND " +
                            high + ")",
                        kBool, true};
            }
            case NodeKind::In: {
                const std::string left = caseBlind(node(*n.children[0]));
                std::string list = n.subquery;
                for (std::size_t i = 1; i < n.children.size(); ++i) {
                    if (i > 1) list += ", ";
                    list += slot(*n.children[i]);
                }
                return {"(" + left + (n.negated ? " NOT" : "") + " IN (" + list + "))", kBool,
                        true};
            }
            case NodeKind::Call:
                return call(n);
        }
        return {};
    }

  private:
    std::string slot(const Node& n) { return valueSlot(n, node(n), context_); }

    // An operand of an arithmetic operator: a text must read as a number as
    // Jet reads one (vx_num fails with 13 otherwise, where SQLite reads 0).
    static std::string numberOf(const Text& e, const char* op) {
        if (isNumberKind(e.hint.kind) || e.logical) return valueOf(e);
        return "vx_num(" + valueOf(e) + ", '" + op + "')";
    }
    static void asNumber(Text& e, const char* op) {
        e.sql = numberOf(e, op);
        e.logical = false;
    }

    // The kind code (ValueKind) Conversions.cpp and Format.cpp read from a
    // last argument.
    std::string kindOf(const Text& e) {
        if (e.hint.kind == ResultKind::Date) return "1";
        if (e.hint.kind == ResultKind::Bool || e.logical) return "2";
        if (e.hint.kind == ResultKind::Currency) return "3";
        if (e.hint.kind == ResultKind::Decimal) return "4";
        const bool columnSum = e.hint.kind == ResultKind::ColumnOf && e.hint.dateOnly;
        if (!(isBareColumn(e) || columnSum)) return "0";
        return context_.columnKind(e.hint);
    }

    // A date or a Yes/No joins as its text ("2020/05/24", "True"), not as
    // the number SQLite keeps.
    std::string joinedText(const Text& e) {
        const std::string kind = kindOf(e);
        if (kind == "0") return e.sql;
        return "vx_text(" + valueOf(e) + ", " + kind + ")";
    }

    // "x > ANY (SELECT ...)", "x <= ALL (SELECT ...)". The subquery becomes a
    // common table whose one column has a name of ours, so its own column
    // name, whatever it is, never matters.
    Text quantified(const Node& n) {
        const std::string left = caseBlind(node(*n.children[0]));
        const std::string test = "(" + left + " " + n.text + " vx_v)";
        // ALL fails on the first row the comparison does not hold for, a row
        // whose comparison is Null included: such a row is not known to pass.
        const std::string body = "WITH vx_q(vx_v) AS (" + n.subquery +
                                 ") SELECT 1 FROM vx_q WHERE " +
                                 (n.negated ? test + " IS NOT 1" : test);
        return {n.negated ? "(NOT EXISTS (" + body + "))" : "(EXISTS (" + body + "))", {}};
    }

    Text chain(const Node& n) {
        switch (n.ops.front()) {
            case Op::Imp:
            case Op::Eqv:
            case Op::Or:
            case Op::Xor:
            case Op::And:
                return logicalChain(n);
            case Op::Concat:
                return concat(n);
            case Op::Add:
            case Op::Subtract:
                return additive(n);
            case Op::Multiply:
            case Op::Divide:
                return multiplicative(n);
            case Op::Mod:
            case Op::IntDivide: {
                const bool mod = n.ops.front() == Op::Mod;
                OperatorChain links(node(*n.children[0]));
                for (std::size_t i = 1; i < n.children.size(); ++i) {
                    links.add(mod ? "vx_mod(" : "vx_intdivide(", ", ",
                              valueOf(node(*n.children[i])), ")", {ResultKind::Long, {}, {}});
                }
                return std::move(links).finish();
            }
            case Op::Power: {
                Text base = node(*n.children[0]);
                asNumber(base, "^");
                OperatorChain links(std::move(base));
                for (std::size_t i = 1; i < n.children.size(); ++i)
                    links.add("pow(", ", ", exponent(*n.children[i]), ")",
                              {ResultKind::Double, {}, {}});
                return std::move(links).finish();
            }
        }
        return {};
    }

    // Imp and Eqv bind more loosely than Or and Xor. Both give -1, 0 or Null
    // as Jet does: "Null Imp True" is True, "False Imp Null" is True.
    Text logicalChain(const Node& n) {
        const Op op = n.ops.front();
        OperatorChain links(node(*n.children[0]), op == Op::Or || op == Op::And || op == Op::Xor);
        for (std::size_t i = 1; i < n.children.size(); ++i) {
            const std::string right = node(*n.children[i]).sql;
            switch (op) {
                case Op::Imp:
                    links.add("(-((NOT ((", ") <> 0)) OR ((", right, ") <> 0)))", kBool);
                    break;
                case Op::Eqv:
                    links.add("(-(((", ") <> 0) = ((", right, ") <> 0)))", kBool);
                    break;
                case Op::Or:
                    links.add("", " OR ", right, "", {});
                    break;
                case Op::Xor:
                    links.add("((", ") <> 0) <> ((", right, ") <> 0)", {});
                    break;
                default:
                    links.add("", " AND ", right, "", {});
                    break;
            }
        }
        return std::move(links).finish();
    }

    Text concat(const Node& n) {
        Text head = node(*n.children[0]);
        head.sql = joinedText(head);
        head.logical = false;
        OperatorChain links(std::move(head));
        for (std::size_t i = 1; i < n.children.size(); ++i) {
            // Null counts as an empty text; the left side is coalesced once, as
            // the first operand.
            const bool first = links.empty();
            links.add(first ? "coalesce(" : "", first ? ", '') || coalesce(" : " || coalesce(",
                      joinedText(node(*n.children[i])), ", '')", {ResultKind::Text, {}, {}});
        }
        return std::move(links).finish();
    }

    // Jet's + joins two texts (Null on either side gives Null, unlike &) and
    // adds anything else. A date plus or minus a number, or minus a time, is
    // still a date; a date minus a date is a number of days.
    Text additive(const Node& n) {
        Text first = node(*n.children[0]);
        if (n.ops.front() == Op::Subtract) asNumber(first, "-");
        ResultHint left = first.hint;
        bool leftNumber = isNumberKind(left.kind) || first.logical;
        OperatorChain links(std::move(first));
        for (std::size_t i = 1; i < n.children.size(); ++i) {
            const bool plus = n.ops[i - 1] == Op::Add;
            const Text right = node(*n.children[i]);
            const ResultHint hint = sumHint(left, right, plus);
            const bool rightNumber = isNumberKind(right.hint.kind) || right.logical;
            if (!plus || (leftNumber && rightNumber)) {
                links.add("", plus ? " + " : " - ", numberOf(right, plus ? "+" : "-"), "", hint);
                leftNumber = true;
            } else if (left.kind == ResultKind::Text && right.hint.kind == ResultKind::Text) {
                links.add("", " || ", valueOf(right), "", hint);
            } else {
                links.add("vx_plus(", ", ", valueOf(right), ")", hint);
                leftNumber = false;
            }
            left = hint;
        }
        return std::move(links).finish();
    }
    static bool isTimeOfDay(const Text& e) {
        if (e.sql == "vx_time()") return true;
        if (e.hint.kind != ResultKind::Date) return false;
        char* end = nullptr;
        const double v = std::strtod(e.sql.c_str(), &end);
        return end && *end == '\0' && v >= 0 && v < 1;
    }
    static ResultHint sumHint(const ResultHint& left, const Text& right, bool plus) {
        const ResultKind a = left.kind, b = right.hint.kind;
        if (a == ResultKind::Text && b == ResultKind::Text && plus)
            return {ResultKind::Text, {}, {}};
        if (a == ResultKind::Date &&
            (plus || isTimeOfDay(right) || (b != ResultKind::Date && b != ResultKind::ColumnOf))) {
            return {ResultKind::Date, {}, {}};
        }
        if (a == ResultKind::Date || (b == ResultKind::Date && !plus))
            return {ResultKind::Double, {}, {}};
        if (b == ResultKind::Date) return {ResultKind::Date, {}, {}};
        // A column plus or minus a number: a date when the column is one.
        if (a == ResultKind::ColumnOf && isNumberKind(b)) {
            ResultHint h = left;
            h.dateOnly = true;
            return h;
        }
        if (b == ResultKind::ColumnOf && isNumberKind(a) && plus) {
            ResultHint h = right.hint;
            h.dateOnly = true;
            return h;
        }
        return {};
    }

    Text multiplicative(const Node& n) {
        Text first = node(*n.children[0]);
        if (n.ops.front() == Op::Multiply) asNumber(first, "*");
        OperatorChain links(std::move(first));
        for (std::size_t i = 1; i < n.children.size(); ++i) {
            if (n.ops[i - 1] == Op::Divide) {
                // Division by zero is an error, not SQLite's Null.
                links.add("vx_divide(", ", ", valueOf(node(*n.children[i])), ")",
                          {ResultKind::Double, {}, {}});
            } else {
                links.add("", " * ", numberOf(node(*n.children[i]), "*"), "", {});
            }
        }
        return std::move(links).finish();
    }

    // The right side of ^ may carry its own sign: 2 ^ -1 is 0.5.
    std::string exponent(const Node& n) {
        if (n.kind == NodeKind::Negate) return "(-" + exponent(*n.children[0]) + ")";
        if (n.kind == NodeKind::Plus) return exponent(*n.children[0]);
        return numberOf(node(n), "^");
    }

    Text call(const Node& n) {
        const FunctionDef* f = n.function;
        std::vector<Text> args;
        if (n.star) args.push_back({"*", {}});
        for (const auto& child : n.children) args.push_back(node(*child));
        std::vector<std::string> texts;
        for (auto& a : args) texts.push_back(valueOf(a));
        if (args.size() == 1 && f->defaultArg2) texts.push_back(f->defaultArg2);
        ResultHint hint{f->kind, {}, {}};
        if (f->kind == ResultKind::ColumnOf) {
            hint = args[0].hint.kind == ResultKind::ColumnOf ? args[0].hint : ResultHint{};
            if (args[0].hint.kind != ResultKind::ColumnOf &&
                args[0].hint.kind != ResultKind::Dynamic) {
                hint = args[0].hint;
            }
        }
        const std::string upper = f->name;
        // The Sum or Avg of a Currency or Decimal field is of the field's type.
        if ((upper == "SUM" || upper == "AVG") && args[0].hint.kind == ResultKind::ColumnOf) {
            hint = args[0].hint;
            hint.exactOnly = true;
        }
        const bool kinded = std::string_view(f->templ).find("$K") != std::string_view::npos;
        std::string sql =
            applyTemplate(f->templ, texts, args.empty() || !kinded ? "0" : kindOf(args[0]));
        if (n.crosstabCell) sql = context_.crosstabCell(std::move(sql));
        return {std::move(sql), hint};
    }

    TranslationContext& context_;
};

// The translation of a TRANSFORM value once more, for one column.
class CrosstabColumn : public TranslationContext {
  public:
    CrosstabColumn(const std::vector<std::string>& kinds, const std::string& filter)
        : kinds_(kinds), filter_(filter) {}

    std::string columnKind(const ResultHint&) override {
        if (next_ >= kinds_.size())
            throw std::logic_error(
                "A crosstab value asks for more column kinds than it was read with");
        return kinds_[next_++];
    }
    std::string bindLiteral(const Node&, const std::string& sql) override { return sql; }
    // An aggregate over a cell without rows is Null, Count's included, as
    // Jet leaves such a cell empty; an expression around it still applies
    // (Nz(Sum(x), 0) shows 0).
    std::string crosstabCell(std::string aggregate) override {
        return "(CASE WHEN count(*)" + filter_ + " > 0 THEN " + aggregate + filter_ + " END)";
    }

  private:
    const std::vector<std::string>& kinds_;
    const std::string& filter_;
    std::size_t next_ = 0;
};

}  // namespace

std::string crosstabValue(const Node& value, const std::vector<std::string>& kinds,
                          const std::string& filter) {
    CrosstabColumn column(kinds, filter);
    return Translator(column).node(value).sql;
}

std::string valueOf(const Text& e) {
    return e.logical ? "(-" + e.sql + ")" : e.sql;
}

bool isBareColumn(const Text& e) {
    return e.hint.kind == ResultKind::ColumnOf && !e.sql.empty() && e.sql.back() == '"' &&
           e.sql.find('(') == std::string::npos;
}

// A table column brings its own case-blind collation (and with it its
// index); any other value is given the same one, so that 'abc' = 'ABC',
// DISTINCT and GROUP BY over an expression, and a derived table's columns
// agree.
std::string caseBlind(const Text& e) {
    if (isBareColumn(e)) return e.sql;
    return "(" + valueOf(e) + ") COLLATE NOCASE";
}

Text translate(const Node& n, TranslationContext& context) {
    return Translator(context).node(n);
}

std::string valueSlot(const Node& n, const Text& translated, TranslationContext& context) {
    std::string text = valueOf(translated);
    if (isLiteral(n) && n.token != kNoToken) return context.bindLiteral(n, text);
    if (n.kind == NodeKind::Negate && n.children[0]->kind == NodeKind::Number &&
        n.children[0]->token != kNoToken) {
        const Node& literal = *n.children[0];
        return "(-" + context.bindLiteral(literal, literal.text) + ")";
    }
    return text;
}

}  // namespace engine::detail::sql
