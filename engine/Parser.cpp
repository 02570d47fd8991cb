// Jet SQL → SQLite. Statements are parsed completely; DML is re-emitted as
// SQLite text from the parse, so nothing the parser did not understand ever
// reaches SQLite, and DDL becomes a description the catalog store carries out.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

#include "engine/Checks.h"
#include "engine/Internal.h"
#include "engine/Lexer.h"
#include "engine/sql/FunctionTable.h"
#include "engine/sql/Translator.h"

namespace engine::detail {

namespace {

// Words that cannot stand as a bare name, upper case, sorted for the search.
constexpr std::string_view kReserved[] = {
    "ADD",     "ALL",        "ALTER",      "AND",     "AS",     "ASC",   "BETWEEN",  "BY",
    "COLUMN",  "CONSTRAINT", "CREATE",     "DEFAULT", "DELETE", "DESC",  "DISTINCT", "DISTINCTROW",
    "DROP",    "EXISTS",     "FALSE",      "FOREIGN", "FROM",   "GROUP", "HAVING",   "IN",
    "INDEX",   "INNER",      "INSERT",     "INTO",    "IS",     "JOIN",  "KEY",      "LEFT",
    "LIKE",    "MOD",        "NOT",        "NULL",    "ON",     "OR",    "ORDER",    "OUTER",
    "PERCENT", "PRIMARY",    "REFERENCES", "RIGHT",   "SELECT", "SET",   "TABLE",    "TOP",
    "TRUE",    "UNION",      "UNIQUE",     "UPDATE",  "VALUES", "WHERE", "WITH",     "XOR",
};

// Without allocating: this runs for every name of every statement.
bool isReserved(std::string_view word) {
    char upper[16];
    if (word.size() > sizeof upper) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    std::string_view key(upper, word.size());
    return std::binary_search(std::begin(kReserved), std::end(kReserved), key);
}

using Expr = sql::Text;
using sql::caseBlind;
using sql::isBareColumn;
using sql::Node;
using sql::NodeKind;
using sql::NodePtr;
using sql::Op;
using sql::valueOf;

std::string formatDouble(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

class Parser : private sql::TranslationContext {
  public:
    explicit Parser(std::string_view sql, LiteralParameters* parameters = nullptr,
                    const std::vector<std::string>* fieldNames = nullptr)
        : sql_(sql), toks_(tokenize(sql)), parameters_(parameters), fieldNames_(fieldNames) {
        if (parameters_) {
            for (const Token& t : toks_) {
                literalOrdinal_.push_back(isLiteral(t) ? static_cast<int>(parameters_->baked.size())
                                                       : -1);
                if (isLiteral(t)) parameters_->baked.emplace_back();
            }
        }
    }

    static bool isLiteral(const Token& t) {
        return t.kind == Tok::Number || t.kind == Tok::String || t.kind == Tok::Date;
    }

    // A lone expression, as a column default is written.
    std::string standaloneExpression() {
        Expr e = translated(*unary());
        if (peek().kind != Tok::End)
            fail(jet::kSyntaxInExpression, "Unexpected text after the value");
        return e.sql;
    }

    std::string rowExpression() {
        Expr e = expr();
        if (peek().kind != Tok::End)
            fail(jet::kSyntaxInExpression, "Unexpected text after the expression");
        return e.sql;
    }

    Statement run() {
        if (isWord("PARAMETERS")) parametersClause();
        const Token& first = peek();
        if (first.kind == Tok::End) fail(jet::kInvalidStatement, "The statement is empty");
        std::string w = first.kind == Tok::Word ? upperAscii(first.text) : "";
        static const std::set<std::string> transactionWords = {
            "BEGIN", "COMMIT", "ROLLBACK", "SAVEPOINT", "RELEASE", "END", "TRANSACTION"};
        static const std::set<std::string> aroundWords = {"PRAGMA",  "ATTACH",  "DETACH",  "VACUUM",
                                                          "REINDEX", "ANALYZE", "EXPLAIN", "WITH",
                                                          "REPLACE", "UPSERT"};
        if (transactionWords.count(w)) {
            raise(hr::kSyntax, jet::kInvalidStatement,
                  "The statement '" + first.text +
                      "' is refused: transactions are begun, committed and rolled back through the "
                      "connection (BeginTrans, CommitTrans, RollbackTrans), not by statements.");
        }
        if (aroundWords.count(w)) {
            raise(hr::kSyntax, jet::kInvalidStatement,
                  "The statement '" + first.text +
                      "' is refused: it is not Jet SQL. Expected SELECT, INSERT, UPDATE, DELETE, "
                      "CREATE, DROP or ALTER.");
        }
        bindLiterals_ =
            parameters_ && (w == "SELECT" || w == "INSERT" || w == "UPDATE" || w == "DELETE" ||
                            w == "TABLE" || (first.kind == Tok::Symbol && first.text == "("));
        if (w == "SELECT") {
            st_.kind = StatementKind::Select;
            st_.sqlite = selectStatement(true);
        } else if (w == "INSERT") {
            insertStatement();
        } else if (w == "UPDATE") {
            updateStatement();
        } else if (w == "DELETE") {
            deleteStatement();
        } else if (w == "CREATE") {
            createStatement();
        } else if (w == "DROP") {
            dropStatement();
        } else if (w == "ALTER") {
            alterStatement();
        } else if (w == "TABLE") {
            st_.kind = StatementKind::Select;
            st_.sqlite = selectStatement(true);
        } else if (w == "TRANSFORM") {
            transformStatement();
        } else if (first.kind == Tok::Symbol && first.text == "(") {
            st_.kind = StatementKind::Select;
            st_.sqlite = selectStatement(true);
        } else if (w == "EXECUTE" || w == "EXEC") {
            executeStatement();
        } else {
            raise(hr::kSyntax, jet::kInvalidStatement,
                  "Invalid SQL statement at '" + first.text +
                      "'; expected 'DELETE', 'INSERT', 'SELECT', 'UPDATE', 'CREATE', 'DROP', "
                      "'ALTER' or 'EXECUTE'.");
        }
        // Jet's permission to run with the owner's rights: there are no users here.
        if (isWord("WITH") && isWord("OWNERACCESS", 1)) {
            next();
            next();
            expectWord("OPTION");
        }
        acceptSym(";");
        if (peek().kind != Tok::End) {
            raise(hr::kSyntax, jet::kCharactersAfterEnd,
                  "Characters found after end of SQL statement at position " +
                      std::to_string(peek().offset + 1) + ": '" +
                      std::string(sql_.substr(peek().offset, 30)) +
                      "'. Run one statement at a time.");
        }
        fillKindSlots();
        checkJetRefusals(toks_);
        // A saved query's fields are judged when it runs, against the tables then.
        if (st_.kind == StatementKind::CreateQuery) return std::move(st_);
        for (const auto& table : kindTables_) st_.tablesRead.push_back(table.first);
        st_.columnUses = std::move(columnUses_);
        if (!st_.columnUses.empty() || !st_.constantWords.empty()) st_.namedTables = namedTables();
        return std::move(st_);
    }

  private:
    // ------------------------------------------------------------------ tokens
    const Token& peek(std::size_t k = 0) const {
        return toks_[std::min(pos_ + k, toks_.size() - 1)];
    }
    const Token& next() {
        const Token& t = toks_[pos_];
        if (pos_ + 1 < toks_.size()) ++pos_;
        return t;
    }
    bool isWord(const char* kw, std::size_t k = 0) const {
        const Token& t = peek(k);
        return t.kind == Tok::Word && equalsNoCase(t.text, kw);
    }
    bool isSym(const char* s, std::size_t k = 0) const {
        const Token& t = peek(k);
        return t.kind == Tok::Symbol && t.text == s;
    }
    bool acceptWord(const char* kw) {
        if (!isWord(kw)) return false;
        next();
        return true;
    }
    bool acceptSym(const char* s) {
        if (!isSym(s)) return false;
        next();
        return true;
    }
    void expectWord(const char* kw) {
        if (!acceptWord(kw)) fail(errorNumber_, std::string("Expected ") + kw);
    }
    void expectSym(const char* s) {
        if (!acceptSym(s)) fail(errorNumber_, std::string("Expected '") + s + "'");
    }

    [[noreturn]] void fail(int jet, const std::string& what) const {
        const Token& t = peek();
        std::string near = t.kind == Tok::End ? "the end of the statement"
                                              : "'" + std::string(sql_.substr(t.offset, 30)) + "'";
        raise(hr::kSyntax, jet,
              what + " at position " + std::to_string(t.offset + 1) + ", near " + near + ".");
    }

    // A name: a plain word that is not reserved, or a bracketed name.
    bool isName(std::size_t k = 0) const {
        const Token& t = peek(k);
        if (t.kind == Tok::Bracketed) return true;
        return t.kind == Tok::Word && !isReserved(t.text);
    }
    std::string name(const char* what) {
        if (!isName()) fail(errorNumber_, std::string("Expected ") + what);
        return next().text;
    }
    std::string tableName() {
        std::string n = name("a table name");
        checkTableName(n);
        return n;
    }
    void checkTableName(const std::string& n) const {
        if (upperAscii(n).rfind("SQLITE_", 0) == 0) {
            raise(hr::kSyntax, jet::kInvalidStatement,
                  "The name '" + n + "' is reserved for the storage layer.");
        }
    }
    void checkWritable(const std::string& table) const {
        if (isSystemName(table)) {
            raise(hr::kUnspecified, jet::kSystemTable,
                  "The table '" + table +
                      "' is a system table of the catalog and cannot be changed "
                      "by a statement.");
        }
    }

    // ------------------------------------------------------------- expressions
    // An expression is read into its tree, then written as SQLite text.
    Expr expr() { return translated(*expression()); }
    Expr translated(const Node& n, bool joinCondition = false) {
        checkExpression(n);
        collectColumnUses(n, joinCondition, columnUses_);
        return sql::translate(n, *this);
    }

    // Every nesting (parentheses, subqueries, NOT chains, signs) passes
    // through here; a limit keeps a hostile statement from exhausting the stack.
    void enterNesting() {
        if (++nesting_ > kMaxNesting)
            fail(jet::kSyntaxInExpression, "The expression is nested too deeply");
    }

    NodePtr expression() {
        enterNesting();
        NodePtr e = impExpr();
        --nesting_;
        return e;
    }

    // Operands of one precedence level, "a op b op c", as one flat node.
    template <typename Match>
    NodePtr chainOf(NodePtr (Parser::*operand)(), Match match) {
        NodePtr first = (this->*operand)();
        NodePtr chain;
        while (const std::optional<Op> op = match()) {
            if (!chain) {
                chain = sql::makeNode(NodeKind::Chain, first->offset);
                chain->children.push_back(std::move(first));
            }
            chain->ops.push_back(*op);
            chain->children.push_back((this->*operand)());
        }
        return chain ? std::move(chain) : std::move(first);
    }
    auto wordOp(const char* word, Op op) {
        return [this, word, op]() -> std::optional<Op> {
            if (acceptWord(word)) return op;
            return std::nullopt;
        };
    }
    auto symbolOps(const char* first, Op firstOp, const char* second, Op secondOp) {
        return [=, this]() -> std::optional<Op> {
            if (acceptSym(first)) return firstOp;
            if (second != nullptr && acceptSym(second)) return secondOp;
            return std::nullopt;
        };
    }

    // Imp and Eqv bind more loosely than Or and Xor.
    NodePtr impExpr() { return chainOf(&Parser::eqvExpr, wordOp("IMP", Op::Imp)); }
    NodePtr eqvExpr() { return chainOf(&Parser::orExpr, wordOp("EQV", Op::Eqv)); }
    NodePtr orExpr() { return chainOf(&Parser::xorExpr, wordOp("OR", Op::Or)); }
    NodePtr xorExpr() { return chainOf(&Parser::andExpr, wordOp("XOR", Op::Xor)); }
    NodePtr andExpr() { return chainOf(&Parser::notExpr, wordOp("AND", Op::And)); }
    NodePtr notExpr() {
        const std::size_t at = peek().offset;
        if (!acceptWord("NOT")) return comparison();
        enterNesting();
        NodePtr n = sql::makeNode(NodeKind::Not, at);
        n->children.push_back(notExpr());
        --nesting_;
        return n;
    }
    NodePtr withLeft(NodeKind kind, NodePtr left) {
        NodePtr n = sql::makeNode(kind, left->offset);
        n->children.push_back(std::move(left));
        return n;
    }
    NodePtr comparison() {
        NodePtr left = concat();
        static const char* ops[] = {"=", "<>", "<", ">", "<=", ">="};
        for (const char* op : ops) {
            if (!acceptSym(op)) continue;
            if ((isWord("ANY") || isWord("SOME") || isWord("ALL")) && isSym("(", 1) &&
                isWord("SELECT", 2)) {
                NodePtr n = withLeft(NodeKind::Quantified, std::move(left));
                n->text = op;
                n->negated = isWord("ALL");
                next();
                n->subquery = parenthesisedSelect();
                return n;
            }
            NodePtr n = withLeft(NodeKind::Compare, std::move(left));
            n->text = op;
            n->children.push_back(concat());
            return n;
        }
        if (acceptWord("IS")) {
            NodePtr n = withLeft(NodeKind::IsNull, std::move(left));
            n->negated = acceptWord("NOT");
            expectWord("NULL");
            return n;
        }
        bool negate = false;
        if (isWord("NOT") && (isWord("LIKE", 1) || isWord("BETWEEN", 1) || isWord("IN", 1))) {
            next();
            negate = true;
        }
        NodePtr n;
        if (acceptWord("LIKE")) {
            n = withLeft(NodeKind::Like, std::move(left));
            n->children.push_back(concat());
        } else if (acceptWord("BETWEEN")) {
            n = withLeft(NodeKind::Between, std::move(left));
            n->children.push_back(concat());
            expectWord("AND");
            n->children.push_back(concat());
        } else if (acceptWord("IN")) {
            n = withLeft(NodeKind::In, std::move(left));
            expectSym("(");
            if (isWord("SELECT")) {
                n->subquery = selectStatement(false);
            } else {
                do {
                    n->children.push_back(expression());
                } while (acceptSym(","));
            }
            expectSym(")");
        } else {
            if (negate) fail(jet::kSyntaxInExpression, "Expected LIKE, BETWEEN or IN after NOT");
            return left;
        }
        n->negated = negate;
        return n;
    }
    std::string parenthesisedSelect() {
        expectSym("(");
        std::string sub = selectStatement(false);
        expectSym(")");
        return sub;
    }

    NodePtr concat() { return chainOf(&Parser::additive, symbolOps("&", Op::Concat, nullptr, {})); }
    NodePtr additive() {
        return chainOf(&Parser::modulo, symbolOps("+", Op::Add, "-", Op::Subtract));
    }
    NodePtr modulo() { return chainOf(&Parser::intDivision, wordOp("MOD", Op::Mod)); }
    NodePtr intDivision() {
        return chainOf(&Parser::multiplicative, symbolOps("\\", Op::IntDivide, nullptr, {}));
    }
    NodePtr multiplicative() {
        return chainOf(&Parser::unary, symbolOps("*", Op::Multiply, "/", Op::Divide));
    }
    // A sign before an operand: "-x", "+x", "- -x", each sign nesting.
    NodePtr signedOperand(NodePtr (Parser::*self)(), NodePtr (Parser::*operand)()) {
        const std::size_t at = peek().offset;
        const bool minus = isSym("-");
        if (!minus && !isSym("+")) return (this->*operand)();
        next();
        enterNesting();
        NodePtr n = sql::makeNode(minus ? NodeKind::Negate : NodeKind::Plus, at);
        n->children.push_back((this->*self)());
        --nesting_;
        return n;
    }
    NodePtr unary() { return signedOperand(&Parser::unary, &Parser::power); }
    NodePtr power() {
        NodePtr base = primary();
        if (!isSym("^")) return base;
        NodePtr chain = sql::makeNode(NodeKind::Chain, base->offset);
        chain->children.push_back(std::move(base));
        while (acceptSym("^")) {
            chain->ops.push_back(Op::Power);
            chain->children.push_back(exponent());
        }
        return chain;
    }
    // The right side of ^ may carry its own sign: 2 ^ -1 is 0.5.
    NodePtr exponent() { return signedOperand(&Parser::exponent, &Parser::primary); }

    NodePtr primary() {
        const Token& t = peek();
        switch (t.kind) {
            case Tok::Number: {
                bool integral = t.text.find_first_of(".eE") == std::string::npos;
                // A whole number beyond 64 bits is a real to SQLite, and one
                // negated still a whole number: only its text says which.
                std::int64_t whole = 0;
                const bool fits =
                    !integral ||
                    std::from_chars(t.text.data(), t.text.data() + t.text.size(), whole).ec ==
                        std::errc();
                NodePtr n = literal(NodeKind::Number, t.text, fits);
                n->type = integral ? ResultKind::Long : ResultKind::Double;
                return n;
            }
            case Tok::String:
                return literal(NodeKind::Text, quoteText(t.text), true);
            case Tok::Date: {
                double ole = 0;
                if (!parseDateLiteral(t.text, ole))
                    fail(jet::kSyntaxInExpression, "Invalid date '#" + t.text + "#'");
                // A time of day stays written in: a date minus a time is a
                // date, a date minus a date a number, and the result's type
                // is fixed when the statement is translated.
                return literal(NodeKind::Date, formatDouble(ole), !(ole >= 0 && ole < 1));
            }
            case Tok::Symbol:
                if (t.text == "(") {
                    const std::size_t at = t.offset;
                    next();
                    if (isWord("SELECT")) {
                        NodePtr n = sql::makeNode(NodeKind::Subquery, at);
                        n->subquery = selectStatement(false);
                        expectSym(")");
                        return n;
                    }
                    NodePtr n = sql::makeNode(NodeKind::Group, at);
                    n->children.push_back(expression());
                    expectSym(")");
                    return n;
                }
                fail(jet::kSyntaxInExpression, "Expected a value or a field name");
            case Tok::End:
                fail(jet::kSyntaxInExpression, "The expression ends too early");
            case Tok::Word:
            case Tok::Bracketed:
                break;
        }
        if (t.kind == Tok::Word) {
            const std::string up = upperAscii(t.text);
            const std::size_t at = t.offset;
            if (up == "NULL") {
                next();
                return sql::makeNode(NodeKind::Null, at);
            }
            std::optional<bool> truth;
            if (up == "TRUE" || up == "FALSE")
                truth = up == "TRUE";
            else
                truth = namedConstant(up);
            if (truth) {
                next();
                NodePtr n = sql::makeNode(NodeKind::Boolean, at);
                n->text = *truth ? "-1" : "0";
                return n;
            }
            if (up == "@@IDENTITY") {
                next();
                return sql::makeNode(NodeKind::Identity, at);
            }
            if (up == "EXISTS") {
                next();
                NodePtr n = sql::makeNode(NodeKind::Exists, at);
                n->subquery = parenthesisedSelect();
                return n;
            }
            if (isSym("(", 1)) return functionCall();
        }
        return columnRef();
    }

    // The literal at the current token, passed over. `bindable`: its value
    // never shapes the translation, so it may stand as a parameter.
    NodePtr literal(NodeKind kind, std::string sqlite, bool bindable) {
        NodePtr n = sql::makeNode(kind, peek().offset);
        n->text = std::move(sqlite);
        n->token = bindable ? pos_ : sql::kNoToken;
        next();
        return n;
    }

    // Jet's Yes, No, On and Off (True and False are reserved words): a bare
    // word names the constant unless a table of the statement has a field of
    // that name, which the caller finds out and passes in as `fieldNames_`.
    std::optional<bool> namedConstant(const std::string& upper) {
        const bool yes = upper == "YES" || upper == "ON";
        if (!yes && upper != "NO" && upper != "OFF") return std::nullopt;
        if (isSym("(", 1) || isSym(".", 1) || isSym("!", 1)) return std::nullopt;
        if (isFieldName(upper)) return std::nullopt;
        st_.constantWords.push_back(peek().text);
        return yes;
    }

    NodePtr functionCall() {
        const Token& nameTok = next();
        std::string up = upperAscii(nameTok.text);
        NodePtr n = sql::makeNode(NodeKind::Call, nameTok.offset);
        n->name = nameTok.text;
        n->function = sql::findFunction(up);
        if (!n->function) {
            raise(hr::kSyntax, jet::kUndefinedFunction,
                  "Undefined function '" + nameTok.text + "' in expression at position " +
                      std::to_string(nameTok.offset + 1) + ".");
        }
        expectSym("(");
        if (!isSym(")")) {
            if (up == "COUNT" && isSym("*")) {
                next();
                n->star = true;
            } else {
                if (sql::isAggregate(up)) n->distinct = acceptWord("DISTINCT");
                do {
                    n->children.push_back(expression());
                } while (acceptSym(","));
            }
        }
        expectSym(")");
        const int count = static_cast<int>(n->children.size()) + (n->star ? 1 : 0);
        if (count < n->function->minArgs || count > n->function->maxArgs) {
            raise(hr::kSyntax, jet::kSyntaxInExpression,
                  "Wrong number of arguments used with function '" + nameTok.text +
                      "' at position " + std::to_string(nameTok.offset + 1) + ".");
        }
        // In a TRANSFORM's value each aggregate is computed per column.
        n->crosstabCell = transformValue_ && sql::isAggregate(up);
        return n;
    }

    NodePtr columnRef() {
        if (NodePtr parameter = parameterRef()) return parameter;
        NodePtr n = sql::makeNode(NodeKind::Field, peek().offset);
        n->name = name("a field name");
        if ((isSym(".") || isSym("!")) && (isName(1) || isSym("*", 1))) {
            next();
            if (isSym("*")) fail(jet::kSyntaxInExpression, "'*' is allowed only in the field list");
            n->table = std::move(n->name);
            n->name = name("a field name");
        }
        return n;
    }

    // ------------------------------------------- what the translation asks
    // A table column's kind is its catalog type, asked of the catalog when
    // the statement runs: the tables are known only once the FROM clause is
    // read, so a slot stands in until then (and reads 0, "any other", should
    // it stay).
    std::string columnKind(const ResultHint& column) override {
        std::string slot = "0";
        if (sql_.find(kKindSlot) == std::string_view::npos) {
            kindSlots_.push_back(column);
            slot = std::string(kKindSlot) + std::to_string(kindSlots_.size() - 1) + "*/0";
        }
        if (valueKinds_) valueKinds_->push_back(slot);
        return slot;
    }

    // A literal of a spliced legacy derived table has no place in the shape.
    std::string bindLiteral(const Node& literal, const std::string& sql) override {
        if (!bindLiterals_ || literalOrdinal_[literal.token] < 0) return sql;
        const auto ordinal = static_cast<std::size_t>(literalOrdinal_[literal.token]);
        parameters_->baked[ordinal] = sql;
        return "?" + std::to_string(ordinal + 1);
    }

    // The crosstab writes its value per column (sql::crosstabValue).
    std::string crosstabCell(std::string aggregate) override { return aggregate; }

    // Puts each column's catalog lookup in its slot.
    void fillKindSlots(std::string& sql) const {
        for (std::size_t n = 0; n < kindSlots_.size(); ++n) {
            const std::string slot = std::string(kKindSlot) + std::to_string(n) + "*/0";
            if (sql.find(slot) == std::string::npos) continue;
            const ResultHint& column = kindSlots_[n];
            std::string tables;
            for (const auto& [table, alias] : kindTables_) {
                if (!column.table.empty() && !equalsNoCase(column.table, table) &&
                    !equalsNoCase(column.table, alias)) {
                    continue;
                }
                tables += (tables.empty() ? "" : ", ") + quoteText(table);
            }
            if (tables.empty()) continue;
            // A column plus a number is a date when the column is one, and
            // a number when it is a Yes/No.
            const std::string yesNo =
                column.dateOnly ? "" : " WHEN " + std::to_string(adBoolean) + " THEN 2";
            const std::string lookup =
                "coalesce((SELECT max(CASE Type WHEN " + std::to_string(adDate) + " THEN 1" +
                yesNo + " WHEN " + std::to_string(adCurrency) + " THEN 3 WHEN " +
                std::to_string(adNumeric) + " THEN 4" +
                " ELSE 0 END) FROM MSysColumns WHERE ColumnName = " + quoteText(column.column) +
                " AND TableName IN (" + tables + ")), 0)";
            // A subquery may stand in the statement more than once.
            for (auto at = sql.find(slot); at != std::string::npos;
                 at = sql.find(slot, at + lookup.size())) {
                sql.replace(at, slot.size(), lookup);
            }
        }
    }
    // The tables the statement names, those of its subqueries included, each
    // with its alias.
    std::vector<TableRef> namedTables() const {
        std::vector<TableRef> tables;
        for (const auto& [table, alias] : kindTables_) tables.push_back({table, alias});
        const bool target = st_.kind == StatementKind::Update || st_.kind == StatementKind::Delete;
        if (target && !st_.table.empty() &&
            std::none_of(tables.begin(), tables.end(),
                         [&](const TableRef& t) { return equalsNoCase(t.name, st_.table); })) {
            tables.push_back({st_.table, ""});
        }
        return tables;
    }
    void fillKindSlots() {
        if (kindSlots_.empty()) return;
        if (!st_.table.empty()) kindTables_.emplace_back(st_.table, "");
        fillKindSlots(st_.sqlite);
        if (st_.crosstab) {
            for (std::string* part :
                 {&st_.crosstab->head, &st_.crosstab->pivot, &st_.crosstab->body,
                  &st_.crosstab->fromWhere, &st_.crosstab->order}) {
                fillKindSlots(*part);
            }
            for (std::string& kind : st_.crosstab->valueKinds) fillKindSlots(kind);
            fillSubqueryKindSlots(*st_.crosstab->value);
        }
    }
    // A crosstab's value is written again for each column, its subqueries as
    // they were read.
    void fillSubqueryKindSlots(Node& n) const {
        if (!n.subquery.empty()) fillKindSlots(n.subquery);
        for (auto& child : n.children) fillSubqueryKindSlots(*child);
    }
    // TRANSFORM value SELECT ... GROUP BY ... PIVOT expr [IN (v1, ...)]. The
    // headings come from the data, so the statement is completed when it runs.
    void transformStatement() {
        next();
        st_.kind = StatementKind::Select;
        CrosstabPlan plan;
        transformValue_ = true;
        std::shared_ptr<Node> valueTree = expression();
        transformValue_ = false;
        valueKinds_ = &plan.valueKinds;
        const Expr value = translated(*valueTree);
        valueKinds_ = nullptr;
        bool aggregated = false;
        sql::walk(*valueTree, [&](const Node& n) { aggregated = aggregated || n.crosstabCell; });
        if (!aggregated) {
            fail(jet::kNotPartOfAggregate,
                 "The TRANSFORM value needs an aggregate function (Sum, Count, Avg, ...)");
        }
        if (acceptWord("AS")) name("an alias");
        if (!isWord("SELECT"))
            fail(jet::kSyntaxInExpression, "Expected SELECT after the TRANSFORM value");
        ++depth_;
        CoreParts parts;
        const std::string core = selectCore(true, parts);
        if (parts.groupBy.empty())
            fail(jet::kNotPartOfAggregate, "A crosstab query needs GROUP BY for its row headings");
        if (parts.having)
            fail(jet::kHavingInTransform, "Cannot use HAVING clause in TRANSFORM statement");
        const OrderBy order = orderBy();
        --depth_;
        if (!acceptWord("PIVOT"))
            fail(jet::kSyntaxInExpression, "Expected PIVOT in the crosstab query");
        plan.pivot =
            translated(*concat()).sql;  // below comparisons: an IN after it is the column list
        if (acceptWord("IN")) {
            plan.fixedHeadings = true;
            expectSym("(");
            do {
                const Token t = peek();
                Expr v = translated(*unary());
                std::string heading =
                    t.kind == Tok::String
                        ? t.text
                        : std::string(sql_.substr(t.offset, peek().offset - t.offset));
                while (!heading.empty() && heading.back() == ' ') heading.pop_back();
                plan.headings.push_back({v.sql, heading});
            } while (acceptSym(","));
            expectSym(")");
        }
        plan.head = core.substr(0, core.size() - parts.body.size());
        plan.body = parts.body;
        plan.fromWhere = parts.fromWhere;
        plan.order = order.text.empty() ? " ORDER BY " + parts.groupBy : order.text;
        plan.value = std::move(valueTree);
        plan.valueHint = value.hint;
        st_.crosstab = std::move(plan);
    }

    // ------------------------------------------------------------------ SELECT
    // What a SELECT's caller needs beyond its text: TOP, and the clauses after
    // the field list for the TOP's count and the crosstab.
    struct CoreParts {
        std::string topCount;  // empty: no TOP
        bool topPercent = false;
        bool distinct = false;
        std::string body;       // " FROM ... HAVING ..."
        std::string fromWhere;  // " FROM ... WHERE ..."
        std::string groupBy;    // the GROUP BY expressions
        bool having = false;
        std::vector<std::string> outputNames;  // empty when the field list has a star
    };

    struct OrderBy {
        std::string text;      // " ORDER BY ..." or empty
        std::string keys;      // the keys alone
        bool ordinal = false;  // a key given by its position in the field list
    };
    std::string selectStatement(bool top) {
        ++depth_;
        if (depth_ > kMaxNesting)
            fail(jet::kSyntaxInExpression, "The statement nests its queries too deeply");
        CoreParts first;
        std::string out = selectCore(top && depth_ == 1, first);
        bool compound = false;
        while (isWord("UNION")) {
            next();
            compound = true;
            bool all = acceptWord("ALL");
            CoreParts ignored;
            bool paren = acceptSym("(");
            std::string core = selectCore(false, ignored);
            if (paren) expectSym(")");
            out += all ? " UNION ALL " : " UNION ";
            out += core;
        }
        const std::string rows = out;
        OrderBy order = orderBy();
        out += order.text;
        if (!first.topCount.empty()) {
            if (depth_ > 1 && tiesRanked(first, order, compound))
                out = rankedSubquery(first, order, rows);
            else
                out += " LIMIT " + topLimit(first, order, compound, rows);
        }
        --depth_;
        return out;
    }

    OrderBy orderBy() {
        OrderBy order;
        if (!isWord("ORDER")) return order;
        next();
        expectWord("BY");
        bool firstItem = true;
        do {
            if (!firstItem) order.keys += ", ";
            firstItem = false;
            const bool ordinal = peek().kind == Tok::Number;
            if (ordinal) order.ordinal = true;
            Expr key = expr();
            order.keys += ordinal ? key.sql : caseBlind(key);
            if (acceptWord("DESC"))
                order.keys += " DESC";
            else
                acceptWord("ASC");
        } while (acceptSym(","));
        order.text = " ORDER BY " + order.keys;
        return order;
    }

    // The LIMIT of TOP n [PERCENT]. With an ORDER BY, Jet returns every row
    // tied with the last one: the limit counts the rows ranked within the
    // first n (rank() gives tied rows the rank of the first of them), and as
    // ties sort together the first that many rows are exactly those. PERCENT
    // takes n hundredths of the rows, rounded up.
    std::string topLimit(const CoreParts& core, const OrderBy& order, bool compound,
                         const std::string& rows) {
        const std::string& n = core.topCount;
        if (order.keys.empty() || order.ordinal || compound || core.distinct) {
            // Without ties: the rows of a union or a DISTINCT are ranked only
            // by their output, which the keys need not name.
            if (!core.topPercent) return n;
            return "(SELECT CAST(ceil(count(*) * " + n + " / 100.0) AS INTEGER) FROM (" + rows +
                   "))";
        }
        const std::string last = core.topPercent ? "ceil(vx_n * " + n + " / 100.0)" : n;
        return "(SELECT count(*) FROM (SELECT rank() OVER (ORDER BY " + order.keys +
               ") AS vx_r, count(*) OVER () AS vx_n" + core.body + ") WHERE vx_r <= " + last + ")";
    }

    // Whether TOP's ties are counted by rank, and a subquery can name each
    // of its fields to leave the rank out.
    static bool tiesRanked(const CoreParts& core, const OrderBy& order, bool compound) {
        if (order.keys.empty() || order.ordinal || compound || core.distinct) return false;
        const auto& names = core.outputNames;
        for (std::size_t i = 0; i < names.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j)
                if (equalsNoCase(names[i], names[j])) return false;
        }
        return !names.empty();
    }
    // TOP n of a subquery as the rows ranked within the first n: a subquery
    // may read fields of the query around it (SELECT TOP 1 x FROM t2 WHERE
    // t2.k = t1.k ORDER BY y), which SQLite's LIMIT cannot, so the rank is
    // a column of a derived table, where it can.
    static std::string rankedSubquery(const CoreParts& core, const OrderBy& order,
                                      const std::string& rows) {
        const std::string& n = core.topCount;
        std::string names;
        for (const auto& name : core.outputNames)
            names += (names.empty() ? "" : ", ") + quoteIdent(name);
        const std::string head = rows.substr(0, rows.size() - core.body.size());
        const std::string last = core.topPercent ? "ceil(vx_n * " + n + " / 100.0)" : n;
        return "SELECT " + names + " FROM (" + head + ", rank() OVER (ORDER BY " + order.keys +
               ") AS vx_r" + (core.topPercent ? ", count(*) OVER () AS vx_n" : "") + core.body +
               ") WHERE vx_r <= " + last + " ORDER BY vx_r";
    }

    std::string selectCore(bool collectHints, CoreParts& parts) {
        if (acceptWord("TABLE")) {
            // TABLE x is SELECT * FROM x.
            std::string table = tableName();
            if (collectHints) {
                starSeen_ = true;
                st_.sources.push_back({table, ""});
            }
            parts.body = parts.fromWhere = " FROM " + quoteIdent(table);
            return "SELECT *" + parts.body;
        }
        expectWord("SELECT");
        std::string out = "SELECT ";
        if (acceptWord("DISTINCT") || acceptWord("DISTINCTROW")) {
            out += "DISTINCT ";
            parts.distinct = true;
        } else {
            acceptWord("ALL");
        }
        if (acceptWord("TOP")) {
            const Token& n = peek();
            if (n.kind != Tok::Number || n.text.find_first_of(".eE") != std::string::npos) {
                fail(jet::kSyntaxInExpression, "TOP needs a whole number");
            }
            parts.topCount = next().text;
            parts.topPercent = acceptWord("PERCENT");
            if (parts.topPercent && std::strtod(parts.topCount.c_str(), nullptr) > 100) {
                fail(jet::kSyntaxInExpression, "TOP n PERCENT needs a number from 0 to 100");
            }
        }
        int itemIndex = 0;
        bool firstItem = true;
        std::string starTable;  // "*" for a bare star, else the table of a t.*
        std::vector<std::string> outputNames;
        do {
            if (!firstItem) out += ", ";
            firstItem = false;
            if (isSym("*")) {
                next();
                out += "*";
                starTable = "*";
                if (collectHints) starSeen_ = true;
                continue;
            }
            if (isName() && (isSym(".", 1) || isSym("!", 1)) && isSym("*", 2)) {
                if (starTable.empty()) starTable = peek().text;
                out += quoteIdent(next().text) + ".*";
                next();
                next();
                if (collectHints) starSeen_ = true;
                continue;
            }
            Expr e = expr();
            std::string alias;
            if (acceptWord("AS")) {
                const Token& a = peek();
                if (a.kind == Tok::String)
                    alias = next().text;
                else
                    alias = name("an alias");
            } else if (isName() && !isWord("FROM")) {
                alias = next().text;
            }
            const bool bareColumn = isBareColumn(e);
            if (!alias.empty()) checkOutputName(outputNames, alias);
            if (alias.empty() && !bareColumn) alias = "Expr" + std::to_string(1000 + itemIndex);
            outputNames.push_back(alias.empty() ? e.hint.column : alias);
            out += caseBlind(e);
            if (!alias.empty()) out += " AS " + quoteIdent(alias);
            if (collectHints) st_.hints.push_back(e.hint);
            ++itemIndex;
        } while (acceptSym(","));
        if (starTable.empty()) parts.outputNames = std::move(outputNames);
        if (collectHints && starSeen_) st_.hints.clear();  // a star: types come from the tables
        if (collectHints && isWord("INTO")) {
            // SELECT ... INTO new_table: a make-table query.
            next();
            st_.kind = StatementKind::SelectInto;
            st_.table = tableName();
            checkWritable(st_.table);
            if (isWord("IN"))
                fail(jet::kSyntaxInExpression,
                     "SELECT ... INTO another database file is not supported");
        }
        const std::size_t bodyStart = out.size();
        if (acceptWord("FROM")) {
            out += " FROM ";
            bool firstSource = true;
            do {
                if (!firstSource) out += ", ";
                firstSource = false;
                out += joinExpr(collectHints);
            } while (acceptSym(","));
        }
        if (acceptWord("WHERE")) out += " WHERE " + expr().sql;
        parts.fromWhere = out.substr(bodyStart);
        if (isWord("GROUP")) {
            next();
            expectWord("BY");
            bool firstGroup = true;
            do {
                if (!firstGroup) parts.groupBy += ", ";
                firstGroup = false;
                parts.groupBy += caseBlind(expr());
            } while (acceptSym(","));
            out += " GROUP BY " + parts.groupBy;
            if (starTable == "*")
                fail(jet::kGroupOnStar, "Cannot group on fields selected with '*'");
            if (!starTable.empty()) {
                fail(jet::kGroupOnTableStar,
                     "Cannot group on fields selected with '*' (" + starTable + ")");
            }
        }
        if (acceptWord("HAVING")) {
            out += " HAVING " + expr().sql;
            parts.having = true;
        }
        parts.body = out.substr(bodyStart);
        return out;
    }

    // An alias may not repeat another output name of the same field list.
    void checkOutputName(const std::vector<std::string>& names, const std::string& alias) {
        for (const auto& taken : names) {
            if (equalsNoCase(taken, alias))
                fail(jet::kDuplicateOutputAlias, "Duplicate output alias '" + alias + "'");
        }
    }

    std::string joinExpr(bool collect) {
        std::string out = tablePrimary(collect);
        for (;;) {
            std::string kind;
            if (isWord("INNER") && isWord("JOIN", 1)) {
                kind = " INNER JOIN ";
                next();
            } else if (isWord("LEFT") || isWord("RIGHT")) {
                kind = isWord("LEFT") ? " LEFT JOIN " : " RIGHT JOIN ";
                next();
                acceptWord("OUTER");
                if (!isWord("JOIN")) fail(jet::kSyntaxInFrom, "Expected JOIN");
            } else if (isWord("JOIN")) {
                fail(jet::kSyntaxInFrom,
                     "Syntax error in FROM clause: JOIN needs INNER, LEFT or RIGHT");
            } else {
                break;
            }
            expectWord("JOIN");
            std::string right = tablePrimary(collect);
            expectWord("ON");
            const Expr on = translated(*expression(), true);
            out += kind + right + " ON " + on.sql;
        }
        return out;
    }

    std::string tablePrimary(bool collect) {
        spliceLegacyDerivedTable();
        if (acceptSym("(")) {
            if (++nesting_ > kMaxNesting)
                fail(jet::kSyntaxInExpression, "The FROM clause is nested too deeply");
            if (isWord("SELECT") || isWord("TABLE")) {
                std::string sub = selectStatement(false);
                expectSym(")");
                --nesting_;
                acceptWord("AS");
                std::string alias = name("an alias for the subquery");
                if (collect) st_.sources.push_back({"", alias});
                return "(" + sub + ") AS " + quoteIdent(alias);
            }
            std::string inner = joinExpr(collect);
            expectSym(")");
            --nesting_;
            return "(" + inner + ")";
        }
        std::string table = tableName();
        std::string out = quoteIdent(table);
        std::string alias;
        if (acceptWord("AS"))
            alias = name("an alias");
        else if (isName())
            alias = next().text;
        if (!alias.empty()) out += " AS " + quoteIdent(alias);
        if (collect) st_.sources.push_back({table, alias});
        kindTables_.emplace_back(table, alias);
        return out;
    }

    // Access's old form of a derived table, "[SELECT ...]. AS x", is read as
    // "(SELECT ...) AS x": the bracketed text's own tokens take the place of
    // the bracket and its dot. Like Jet, the text cannot hold a "]".
    void spliceLegacyDerivedTable() {
        const Token& t = peek();
        if (t.kind != Tok::Bracketed || !isSym(".", 1)) return;
        std::size_t start = t.text.find_first_not_of(" \t\r\n");
        if (start == std::string::npos || !equalsNoCase(t.text.substr(start, 6), "SELECT")) return;
        const std::size_t base = t.offset + 1;
        std::vector<Token> inner = tokenize(t.text);
        inner.pop_back();  // its end
        Token open{Tok::Symbol, "(", t.offset};
        Token close{Tok::Symbol, ")", peek(1).offset};
        for (auto& token : inner) token.offset += base;
        inner.insert(inner.begin(), open);
        inner.push_back(close);
        const auto at = static_cast<std::ptrdiff_t>(pos_);
        toks_.erase(toks_.begin() + at, toks_.begin() + at + 2);
        toks_.insert(toks_.begin() + at, inner.begin(), inner.end());
        if (!literalOrdinal_.empty()) {
            // The statement's shape saw one bracketed name: what it held stays written in.
            literalOrdinal_.erase(literalOrdinal_.begin() + at, literalOrdinal_.begin() + at + 2);
            literalOrdinal_.insert(literalOrdinal_.begin() + at, inner.size(), -1);
        }
    }

    // ------------------------------------------------------------- INSERT etc.
    void insertStatement() {
        next();
        expectWord("INTO");
        st_.kind = StatementKind::Insert;
        st_.table = tableName();
        checkWritable(st_.table);
        std::string out = "INSERT INTO " + quoteIdent(st_.table);
        std::vector<std::string> fields;
        if (isSym("(") && !isWord("SELECT", 1)) {
            next();
            out += " (";
            do {
                if (!fields.empty()) out += ", ";
                const std::string field = name("a field name");
                for (const auto& named : fields) {
                    if (equalsNoCase(named, field))
                        fail(jet::kDuplicateOutputDestination,
                             "Duplicate output destination '" + field + "'");
                }
                fields.push_back(field);
                out += quoteIdent(fields.back());
            } while (acceptSym(","));
            expectSym(")");
            out += ")";
        }
        if (acceptWord("VALUES")) {
            expectSym("(");
            out += " VALUES (";
            std::size_t at = 0;
            do {
                if (at != 0) out += ", ";
                const NodePtr node = expression();
                const Expr value = translated(*node);
                const std::string sql = sql::valueSlot(*node, value, *this);
                out += storedValue(fields.empty()       ? fieldTypeQuery(at)
                                   : at < fields.size() ? fieldTypeQuery(fields[at])
                                                        : std::string("SELECT 0"),
                                   value, sql);
                ++at;
            } while (acceptSym(","));
            expectSym(")");
            out += ")";
        } else if (isWord("SELECT") || isSym("(")) {
            out += " " + selectStatement(false);
        } else {
            fail(jet::kSyntaxInInsert,
                 "Syntax error in INSERT INTO statement: expected VALUES or SELECT");
        }
        st_.sqlite = out;
    }

    // A text stored into a field of the target table: into a Date/Time
    // field it is read as a date, as Jet reads it ("2024-03-01 10:00"). The
    // field's type (`typeQuery`, below) is asked of the catalog only for a
    // text that reads as a date, so that other values cost no lookup.
    std::string storedValue(const std::string& typeQuery, const Expr& value,
                            const std::string& sql) {
        if (value.hint.kind != ResultKind::Text) return sql;
        return "vx_date_in(" + sql + ", CASE WHEN vx_is_date_text(" + sql + ") THEN (" + typeQuery +
               ") END)";
    }
    // The type of the target table's field by name, or by its place when an
    // INSERT names no fields.
    std::string fieldTypeQuery(const std::string& field) const {
        return "SELECT Type FROM MSysColumns WHERE TableName = " + quoteText(st_.table) +
               " AND ColumnName = " + quoteText(field);
    }
    std::string fieldTypeQuery(std::size_t place) const {
        return "SELECT Type FROM MSysColumns WHERE TableName = " + quoteText(st_.table) +
               " ORDER BY Position LIMIT 1 OFFSET " + std::to_string(place);
    }

    // A FROM list of joins and commas, as UPDATE and DELETE name their tables.
    std::string fromList() {
        std::string out = joinExpr(true);
        while (acceptSym(",")) out += ", " + joinExpr(true);
        return out;
    }

    // Reads the tables after UPDATE or DELETE ... FROM; true when they are
    // more than one plain table without alias, else the position goes back
    // to the table name for the one-table form.
    bool joinedTables(std::string& from) {
        const std::size_t start = pos_;
        from = fromList();
        if (st_.sources.size() > 1 || from.front() == '(' || !st_.sources.front().alias.empty())
            return true;
        pos_ = start;
        st_.sources.clear();
        return false;
    }

    // The table of a join that `qualifier` (alias or name) names, and how the
    // statement refers to it.
    std::pair<std::string, std::string> joinedTarget(const std::string& qualifier) const {
        const TableRef* found = nullptr;
        for (const auto& source : st_.sources) {
            if (qualifier.empty() ? !source.name.empty()
                                  : equalsNoCase(source.alias, qualifier) ||
                                        equalsNoCase(source.name, qualifier)) {
                found = &source;
                break;
            }
        }
        if (!found) {
            raise(hr::kSyntax, jet::kSyntaxInExpression,
                  "'" + qualifier + "' names no table of the statement's FROM clause.");
        }
        if (found->name.empty()) {
            raise(hr::kUnspecified, jet::kNotUpdatable,
                  "Operation must use an updatable query: '" + qualifier +
                      "' is a subquery, not a table.");
        }
        checkWritable(found->name);
        return {found->name, found->alias.empty() ? found->name : found->alias};
    }

    // UPDATE a INNER JOIN b ON ... SET a.x = b.y WHERE ...: each row of the
    // one table set takes its values from a row of the join it is in.
    void joinedUpdate(const std::string& from) {
        if (!acceptWord("SET"))
            fail(jet::kSyntaxInUpdate, "Syntax error in UPDATE statement: expected SET");
        std::string qualifier, columns;
        std::vector<std::pair<std::string, Expr>> assigned;  // each field and its new value
        do {
            if (!columns.empty()) columns += ", ";
            std::string column = name("a field name");
            if (acceptSym(".") || acceptSym("!")) {
                if (!qualifier.empty() && !equalsNoCase(qualifier, column)) {
                    raise(hr::kUnspecified, jet::kNotUpdatable,
                          "Operation must use an updatable query: this engine sets the fields of "
                          "one table "
                          "per UPDATE statement; '" +
                              qualifier + "' and '" + column +
                              "' are both set. Split it into one statement per table.");
                }
                qualifier = column;
                column = name("a field name");
            }
            if (!acceptSym("="))
                fail(jet::kSyntaxInUpdate, "Syntax error in UPDATE statement: expected '='");
            columns += quoteIdent(column);
            const NodePtr value = expression();
            checkUpdateValue(*value);
            assigned.emplace_back(column, translated(*value));
        } while (acceptSym(","));
        const std::string where = acceptWord("WHERE") ? expr().sql : "";
        const auto [table, ref] = joinedTarget(qualifier);
        st_.table = table;
        std::string values;
        for (const auto& [column, value] : assigned) {
            values += (values.empty() ? "" : ", ") +
                      storedValue(fieldTypeQuery(column), value, valueOf(value));
        }
        const std::string rowid = quoteIdent(ref) + ".rowid";
        st_.sqlite = "UPDATE " + quoteIdent(table) + " AS vx_target SET (" + columns +
                     ") = (SELECT " + values + " FROM " + from + " WHERE " + rowid +
                     " = vx_target.rowid" + (where.empty() ? "" : " AND " + where) +
                     " LIMIT 1) WHERE rowid IN (SELECT " + rowid + " FROM " + from +
                     (where.empty() ? "" : " WHERE " + where) + ")";
    }

    void updateStatement() {
        next();
        st_.kind = StatementKind::Update;
        if (std::string from; joinedTables(from)) return joinedUpdate(from);
        st_.table = tableName();
        checkWritable(st_.table);
        if (isName() && !isWord("SET")) next();  // an alias is accepted and unused
        if (!acceptWord("SET"))
            fail(jet::kSyntaxInUpdate, "Syntax error in UPDATE statement: expected SET");
        std::string out = "UPDATE " + quoteIdent(st_.table) + " SET ";
        bool firstSet = true;
        do {
            if (!firstSet) out += ", ";
            firstSet = false;
            std::string column = name("a field name");
            if (acceptSym(".") || acceptSym("!")) column = name("a field name");
            if (!acceptSym("="))
                fail(jet::kSyntaxInUpdate, "Syntax error in UPDATE statement: expected '='");
            const NodePtr node = expression();
            checkUpdateValue(*node);
            const Expr value = translated(*node);
            out += quoteIdent(column) + " = " +
                   storedValue(fieldTypeQuery(column), value, sql::valueSlot(*node, value, *this));
        } while (acceptSym(","));
        if (acceptWord("WHERE")) out += " WHERE " + expr().sql;
        st_.sqlite = out;
    }

    // DELETE t.a, t.b FROM t: Jet deletes whole rows whichever fields are
    // named, as with t.*. The table the fields name, or empty.
    std::string deletedFields() {
        std::string qualifier;
        bool first = true;
        do {
            std::string table;
            std::string field = name("a field name");
            if (acceptSym(".") || acceptSym("!")) {
                table = std::move(field);
                field = name("a field name");
            }
            if (!first && !equalsNoCase(table, qualifier)) {
                raise(hr::kUnspecified, jet::kSpecifyDeleteTable,
                      "Specify the table containing the records you want to delete: the fields "
                      "named belong to more than one table.");
            }
            qualifier = std::move(table);
            first = false;
        } while (acceptSym(","));
        return qualifier;
    }

    void deleteStatement() {
        next();
        st_.kind = StatementKind::Delete;
        acceptWord("DISTINCTROW");
        std::string qualifier;
        if (acceptSym("*")) {
        } else if (isName() && (isSym(".", 1) || isSym("!", 1)) && isSym("*", 2)) {
            qualifier = next().text;
            next();
            next();
        } else if (isName()) {
            qualifier = deletedFields();
        }
        if (!acceptWord("FROM"))
            fail(jet::kSyntaxInExpression, "Syntax error in DELETE statement: expected FROM");
        if (std::string from; joinedTables(from)) {
            // DELETE t.* FROM t INNER JOIN u ON ...: the rows of t the join holds.
            if (qualifier.empty() && st_.sources.size() > 1) {
                raise(hr::kUnspecified, jet::kSpecifyDeleteTable,
                      "Specify the table containing the records you want to delete: write DELETE "
                      "t.* FROM ...");
            }
            const std::string where = acceptWord("WHERE") ? " WHERE " + expr().sql : "";
            const auto [table, ref] = joinedTarget(qualifier);
            st_.table = table;
            st_.sqlite = "DELETE FROM " + quoteIdent(table) + " WHERE rowid IN (SELECT " +
                         quoteIdent(ref) + ".rowid FROM " + from + where + ")";
            return;
        }
        st_.table = tableName();
        checkWritable(st_.table);
        std::string out = "DELETE FROM " + quoteIdent(st_.table);
        if (acceptWord("WHERE")) out += " WHERE " + expr().sql;
        st_.sqlite = out;
    }

    // --------------------------------------------------------------------- DDL
    long signedInteger() {
        bool negative = acceptSym("-");
        const Token& t = peek();
        if (t.kind != Tok::Number || t.text.find_first_of(".eE") != std::string::npos) {
            fail(errorNumber_, "Expected a whole number");
        }
        long v = 0;
        const auto [end, error] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
        if (error != std::errc() || end != t.text.data() + t.text.size() || v > 2147483647L) {
            fail(errorNumber_, "The number " + t.text + " is too large");
        }
        next();
        return negative ? -v : v;
    }

    TypeInfo typeSpec() {
        const Token& t = peek();
        if (t.kind != Tok::Word) fail(jet::kSyntaxInFieldDefinition, "Expected a data type");
        std::string up = upperAscii(next().text);
        // The SQL-92 spellings: NATIONAL CHARACTER VARYING, CHAR VARYING,
        // BINARY VARYING, DOUBLE PRECISION name the types of their last word.
        if (up == "NATIONAL") {
            if (!isWord("CHARACTER") && !isWord("CHAR") && !isWord("VARCHAR") && !isWord("TEXT")) {
                fail(jet::kSyntaxInFieldDefinition,
                     "Expected CHARACTER, CHAR, VARCHAR or TEXT after NATIONAL");
            }
            up = upperAscii(next().text);
        }
        if (up == "CHARACTER" || up == "CHAR" || up == "BINARY") acceptWord("VARYING");
        if (up == "DOUBLE") acceptWord("PRECISION");
        TypeInfo type;
        auto sized = [&](long fallback) -> long {
            if (!acceptSym("(")) return fallback;
            long n = signedInteger();
            expectSym(")");
            return n;
        };
        if (up == "COUNTER" || up == "AUTOINCREMENT" || up == "IDENTITY") {
            type = {adInteger, 4, true, true, 1, 1, 0, 0};
            if (acceptSym("(")) {
                type.seed = signedInteger();
                if (acceptSym(",")) type.increment = signedInteger();
                expectSym(")");
                if (type.increment == 0)
                    fail(jet::kSyntaxInFieldDefinition, "An auto-number step of 0 is not allowed");
            }
        } else if (up == "LONG" || up == "INT" || up == "INTEGER" || up == "INTEGER4") {
            type = {adInteger, 4, true};
        } else if (up == "SHORT" || up == "SMALLINT" || up == "INTEGER2") {
            type = {adSmallInt, 2, true};
        } else if (up == "BYTE" || up == "TINYINT" || up == "INTEGER1") {
            type = {adUnsignedTinyInt, 1, true};
        } else if (up == "SINGLE" || up == "REAL" || up == "FLOAT4" || up == "IEEESINGLE") {
            type = {adSingle, 4, true};
        } else if (up == "DOUBLE" || up == "FLOAT" || up == "FLOAT8" || up == "NUMBER" ||
                   up == "IEEEDOUBLE") {
            type = {adDouble, 8, true};
        } else if (up == "CURRENCY" || up == "MONEY") {
            type = {adCurrency, 8, true};
        } else if (up == "DATETIME" || up == "DATE" || up == "TIME" || up == "TIMESTAMP") {
            type = {adDate, 8, true};
        } else if (up == "YESNO" || up == "BIT" || up == "LOGICAL" || up == "LOGICAL1" ||
                   up == "BOOLEAN") {
            type = {adBoolean, 2, true};
        } else if (up == "TEXT" && !isSym("(")) {
            type = {adLongVarWChar, 0, false};
        } else if (up == "TEXT" || up == "VARCHAR" || up == "CHAR" || up == "NVARCHAR" ||
                   up == "NCHAR" || up == "CHARACTER" || up == "ALPHANUMERIC" || up == "STRING") {
            type = {adVarWChar, sized(255), false};
            if (type.definedSize < 1 || type.definedSize > 255) {
                raise(hr::kSyntax, jet::kSyntaxInFieldDefinition,
                      "Size of a text field must be between 1 and 255 characters; " +
                          std::to_string(type.definedSize) + " was given.");
            }
        } else if (up == "MEMO" || up == "LONGTEXT" || up == "LONGCHAR" || up == "NOTE" ||
                   up == "NTEXT") {
            type = {adLongVarWChar, 0, false};
        } else if (up == "GUID" || up == "UNIQUEIDENTIFIER") {
            type = {adGUID, 16, true};
        } else if (up == "LONGBINARY" || up == "OLEOBJECT" || up == "GENERAL" || up == "IMAGE") {
            type = {adLongVarBinary, 0, false};
        } else if (up == "BINARY" || up == "VARBINARY") {
            type = {adVarBinary, sized(255), false};
            if (type.definedSize < 1 || type.definedSize > 510) {
                raise(hr::kSyntax, jet::kSyntaxInFieldDefinition,
                      "Size of a binary field must be between 1 and 510 bytes.");
            }
        } else if (up == "DECIMAL" || up == "NUMERIC" || up == "DEC") {
            type = {adNumeric, 18, true};
            type.precision = 18;
            if (acceptSym("(")) {
                type.precision = static_cast<int>(signedInteger());
                if (acceptSym(",")) type.scale = static_cast<int>(signedInteger());
                expectSym(")");
            }
            if (type.precision < 1 || type.precision > 28 || type.scale < 0 ||
                type.scale > type.precision) {
                raise(hr::kSyntax, jet::kSyntaxInFieldDefinition,
                      "DECIMAL needs a precision of 1 to 28 and a scale within it.");
            }
            type.definedSize = type.precision;
        } else {
            raise(hr::kSyntax, jet::kSyntaxInFieldDefinition,
                  "Syntax error in field definition: unknown data type '" + toks_[pos_ - 1].text +
                      "' at position " + std::to_string(toks_[pos_ - 1].offset + 1) + ".");
        }
        return type;
    }

    // With `descending`, one flag per name: whether DESC followed it.
    std::vector<std::string> nameList(std::vector<bool>* descending = nullptr) {
        expectSym("(");
        std::vector<std::string> names;
        do {
            names.push_back(name("a field name"));
            const bool desc = !acceptWord("ASC") && acceptWord("DESC");
            if (descending) descending->push_back(desc);
        } while (acceptSym(","));
        expectSym(")");
        return names;
    }

    int referentialRule() {
        if (acceptWord("CASCADE")) return adRICascade;
        if (acceptWord("SET")) {
            expectWord("NULL");
            return adRISetNull;
        }
        if (acceptWord("NO")) {
            expectWord("ACTION");
            return adRINone;
        }
        fail(jet::kSyntaxInConstraint, "Expected CASCADE, SET NULL or NO ACTION");
    }

    void referencesClause(ConstraintDef& def) {
        expectWord("REFERENCES");
        def.kind = ConstraintKind::ForeignKey;
        def.refTable = tableName();
        if (isSym("(")) def.refColumns = nameList();
        while (isWord("ON")) {
            next();
            if (acceptWord("UPDATE"))
                def.updateRule = referentialRule();
            else if (acceptWord("DELETE"))
                def.deleteRule = referentialRule();
            else
                fail(jet::kSyntaxInConstraint, "Expected UPDATE or DELETE after ON");
        }
    }

    // A constraint in a table or column definition; `column` is set for the
    // column form, whose constraint has no column list.
    ConstraintDef constraint(const std::string* column) {
        ConstraintDef def;
        if (acceptWord("CONSTRAINT")) def.name = name("a constraint name");
        if (acceptWord("PRIMARY")) {
            expectWord("KEY");
            def.kind = ConstraintKind::PrimaryKey;
            if (!column) def.columns = nameList();
        } else if (acceptWord("UNIQUE")) {
            def.kind = ConstraintKind::Unique;
            if (!column) def.columns = nameList();
        } else if (!column && acceptWord("FOREIGN")) {
            expectWord("KEY");
            if (acceptWord("NO")) expectWord("INDEX");
            def.columns = nameList();
            referencesClause(def);
        } else if (column && isWord("REFERENCES")) {
            referencesClause(def);
        } else if (acceptWord("CHECK")) {
            // Jet 4's CHECK (rule): the rule may read other tables through subqueries.
            def.kind = ConstraintKind::Check;
            expectSym("(");
            const std::size_t start = peek().offset;
            def.checkSqlite = expr().sql;
            def.checkJet = std::string(sql_.substr(start, peek().offset - start));
            while (!def.checkJet.empty() && def.checkJet.back() == ' ') def.checkJet.pop_back();
            expectSym(")");
        } else {
            fail(jet::kSyntaxInConstraint, "Syntax error in CONSTRAINT clause");
        }
        if (column) def.columns = {*column};
        return def;
    }

    ColumnDef columnDef() {
        ColumnDef col;
        col.name = name("a field name");
        col.type = typeSpec();
        bool nullSaid = false;
        for (;;) {
            if (isWord("NOT") && isWord("NULL", 1)) {
                next();
                next();
                if (nullSaid) fail(jet::kSyntaxInFieldDefinition, "Both NULL and NOT NULL given");
                col.notNull = true;
                nullSaid = true;
            } else if (acceptWord("NULL")) {
                if (nullSaid) fail(jet::kSyntaxInFieldDefinition, "Both NULL and NOT NULL given");
                col.notNull = false;
                nullSaid = true;
            } else if (acceptWord("DEFAULT")) {
                std::size_t start = peek().offset;
                Expr e = translated(*unary());
                std::size_t end = peek().offset;
                std::string jet(sql_.substr(start, end - start));
                while (!jet.empty() && (jet.back() == ' ' || jet.back() == '\t')) jet.pop_back();
                if (equalsNoCase(jet, "NULL")) {
                    col.defaultJet.reset();
                    col.defaultSqlite.reset();
                } else {
                    col.defaultJet = jet;
                    col.defaultSqlite = e.sql;
                }
            } else if (isWord("WITH")) {
                next();
                if (!acceptWord("COMPRESSION") && !acceptWord("COMP"))
                    fail(jet::kSyntaxInFieldDefinition, "Expected COMPRESSION");
            } else if (isWord("CONSTRAINT") || isWord("PRIMARY") || isWord("UNIQUE") ||
                       isWord("REFERENCES") || isWord("CHECK")) {
                ConstraintDef def = constraint(&col.name);
                pendingConstraints_.push_back(def);
            } else {
                break;
            }
        }
        return col;
    }

    void createStatement() {
        next();
        if (isWord("VIEW") || isWord("PROCEDURE") || isWord("PROC")) return createQuery();
        if (acceptWord("TABLE")) {
            errorNumber_ = jet::kSyntaxInCreateTable;
            st_.kind = StatementKind::CreateTable;
            st_.table = tableName();
            checkWritable(st_.table);
            expectSym("(");
            do {
                if (isWord("CONSTRAINT") || isWord("PRIMARY") || isWord("UNIQUE") ||
                    isWord("FOREIGN") || isWord("CHECK")) {
                    st_.constraints.push_back(constraint(nullptr));
                } else {
                    st_.columns.push_back(columnDef());
                }
            } while (acceptSym(","));
            expectSym(")");
            for (auto& c : pendingConstraints_) st_.constraints.push_back(c);
            return;
        }
        errorNumber_ = jet::kSyntaxInIndexOptions;
        st_.kind = StatementKind::CreateIndex;
        st_.uniqueIndex = acceptWord("UNIQUE");
        if (!acceptWord("INDEX"))
            fail(jet::kSyntaxInIndexOptions, "Expected TABLE or INDEX after CREATE");
        st_.indexName = name("an index name");
        expectWord("ON");
        st_.table = tableName();
        checkWritable(st_.table);
        st_.indexColumns = nameList(&st_.indexDescending);
        if (acceptWord("WITH")) {
            do {
                if (acceptWord("PRIMARY"))
                    st_.primaryIndex = true;
                else if (acceptWord("DISALLOW")) {
                    expectWord("NULL");
                    st_.disallowNull = true;
                } else if (acceptWord("IGNORE")) {
                    expectWord("NULL");
                    st_.ignoreNull = true;
                } else
                    fail(jet::kSyntaxInIndexOptions,
                         "Expected PRIMARY, DISALLOW NULL or IGNORE NULL");
            } while (true && (isWord("PRIMARY") || isWord("DISALLOW") || isWord("IGNORE")));
        }
    }

    void dropStatement() {
        next();
        errorNumber_ = jet::kSyntaxInDrop;
        if (acceptWord("VIEW") || acceptWord("PROCEDURE") || acceptWord("PROC")) {
            st_.kind = StatementKind::DropQuery;
            st_.table = name("a query name");
            return;
        }
        if (acceptWord("TABLE")) {
            st_.kind = StatementKind::DropTable;
            st_.table = tableName();
            checkWritable(st_.table);
            return;
        }
        if (acceptWord("INDEX")) {
            st_.kind = StatementKind::DropIndex;
            st_.indexName = name("an index name");
            expectWord("ON");
            st_.table = tableName();
            checkWritable(st_.table);
            return;
        }
        fail(jet::kSyntaxInDrop, "Syntax error in DROP TABLE or DROP INDEX");
    }

    std::optional<std::string> passwordWord() {
        const Token& t = peek();
        if (t.kind == Tok::Word && equalsNoCase(t.text, "NULL")) {
            next();
            return std::nullopt;
        }
        if (t.kind == Tok::Word || t.kind == Tok::Bracketed || t.kind == Tok::String ||
            t.kind == Tok::Number) {
            return next().text;
        }
        fail(jet::kSyntaxInAlterTable, "Expected a password or NULL");
    }

    void alterStatement() {
        next();
        errorNumber_ = jet::kSyntaxInAlterTable;
        if (acceptWord("DATABASE")) {
            expectWord("PASSWORD");
            st_.kind = StatementKind::AlterPassword;
            st_.newPassword = passwordWord();
            st_.oldPassword = passwordWord();
            return;
        }
        expectWord("TABLE");
        st_.table = tableName();
        checkWritable(st_.table);
        if (acceptWord("ADD")) {
            if (isWord("CONSTRAINT") || isWord("PRIMARY") || isWord("UNIQUE") ||
                isWord("FOREIGN") || isWord("CHECK")) {
                st_.kind = StatementKind::AlterAddConstraint;
                st_.constraints.push_back(constraint(nullptr));
                return;
            }
            acceptWord("COLUMN");
            st_.kind = StatementKind::AlterAddColumn;
            st_.columns.push_back(columnDef());
            for (auto& c : pendingConstraints_) st_.constraints.push_back(c);
            return;
        }
        if (acceptWord("DROP")) {
            if (acceptWord("CONSTRAINT")) {
                st_.kind = StatementKind::AlterDropConstraint;
                st_.constraintName = name("a constraint name");
                return;
            }
            acceptWord("COLUMN");
            st_.kind = StatementKind::AlterDropColumn;
            st_.columnName = name("a field name");
            return;
        }
        if (acceptWord("ALTER")) {
            acceptWord("COLUMN");
            st_.kind = StatementKind::AlterColumn;
            st_.columns.push_back(columnDef());
            st_.columnName = st_.columns.back().name;
            for (auto& c : pendingConstraints_) st_.constraints.push_back(c);
            return;
        }
        fail(jet::kSyntaxInAlterTable,
             "Syntax error in ALTER TABLE statement: expected ADD, DROP or ALTER");
    }

    // ----------------------------------------------------------- saved queries
    // PARAMETERS name type, ...; at the head of a statement.
    void parametersClause() {
        next();
        parameterDeclarations();
        if (!acceptSym(";"))
            fail(jet::kInvalidStatement, "Expected ';' after the PARAMETERS clause");
    }

    // Each a name (a dotted one, [Forms]![f]![x], is one name) and a type,
    // VALUE standing for any.
    void parameterDeclarations() {
        do {
            QueryParameter p;
            p.name = name("a parameter name");
            while ((isSym(".") || isSym("!")) && isName(1)) {
                next();
                p.name += "!" + next().text;
            }
            for (const auto& declared : st_.parameters) {
                if (equalsNoCase(declared.name, p.name))
                    fail(jet::kInvalidStatement,
                         "The parameter '" + p.name + "' is declared twice");
            }
            if (!acceptWord("VALUE")) p.adoType = typeSpec().adoType;
            st_.parameters.push_back(std::move(p));
        } while (acceptSym(","));
    }

    // A declared parameter where a field may stand: the longest dotted name
    // from here that is declared. It reads its value when the statement runs.
    NodePtr parameterRef() {
        if (st_.parameters.empty() || !isName()) return nullptr;
        const QueryParameter* found = nullptr;
        std::size_t length = 0;
        std::string dotted = peek().text;
        for (std::size_t k = 1;; k += 2) {
            for (const auto& p : st_.parameters) {
                if (equalsNoCase(p.name, dotted) && !(k == 1 && isFieldName(dotted)))
                    found = &p, length = k;
            }
            if (!(isSym(".", k) || isSym("!", k)) || !isName(k + 1)) break;
            dotted += "!" + peek(k + 1).text;
        }
        if (found == nullptr) return nullptr;
        NodePtr n = sql::makeNode(NodeKind::Parameter, peek().offset);
        for (std::size_t k = 0; k < length; ++k) next();
        if (length == 1) st_.parameterNames.push_back(found->name);
        static const std::pair<int, ResultKind> kinds[] = {
            {adInteger, ResultKind::Long},         {adSmallInt, ResultKind::Long},
            {adUnsignedTinyInt, ResultKind::Long}, {adSingle, ResultKind::Double},
            {adDouble, ResultKind::Double},        {adNumeric, ResultKind::Double},
            {adCurrency, ResultKind::Currency},    {adDate, ResultKind::Date},
            {adBoolean, ResultKind::Bool},         {adVarWChar, ResultKind::Text},
            {adLongVarWChar, ResultKind::Text}};
        ResultKind kind = ResultKind::Dynamic;
        for (const auto& [type, k] : kinds) {
            if (type == found->adoType) kind = k;
        }
        n->name = found->name;
        n->adoType = found->adoType;
        n->type = kind;
        return n;
    }

    bool isFieldName(const std::string& name) const {
        if (fieldNames_ == nullptr) return false;
        return std::any_of(fieldNames_->begin(), fieldNames_->end(),
                           [&](const std::string& field) { return equalsNoCase(field, name); });
    }

    // CREATE VIEW name AS select, CREATE PROCEDURE name [(parameters)] AS
    // statement: the statement is kept as written, after a parse of its own
    // proves it is one.
    void createQuery() {
        const bool view = isWord("VIEW");
        next();
        errorNumber_ = jet::kInvalidStatement;
        st_.kind = StatementKind::CreateQuery;
        st_.table = tableName();
        checkWritable(st_.table);
        std::string declared;
        if (!view && isSym("(")) {
            const std::size_t start = next().offset + 1;
            parameterDeclarations();
            declared = std::string(sql_.substr(start, peek().offset - start));
            expectSym(")");
            st_.parameters.clear();
        }
        expectWord("AS");
        if (peek().kind == Tok::End) fail(jet::kInvalidStatement, "Expected the query's statement");
        std::size_t end = sql_.size();
        if (toks_.size() >= 2 && toks_[toks_.size() - 2].kind == Tok::Symbol &&
            toks_[toks_.size() - 2].text == ";") {
            end = toks_[toks_.size() - 2].offset;
        }
        const std::size_t start = peek().offset;
        std::string body(sql_.substr(start, end - start));
        while (!body.empty() && std::isspace(static_cast<unsigned char>(body.back())))
            body.pop_back();
        pos_ = toks_.size() - 1;
        if (!declared.empty()) body = "PARAMETERS " + declared + "; " + body;
        const Statement inner = Parser(body).run();
        if (inner.kind == StatementKind::CreateQuery || inner.kind == StatementKind::DropQuery ||
            inner.kind == StatementKind::ExecuteQuery) {
            raise(hr::kSyntax, jet::kInvalidStatement,
                  "The saved query '" + st_.table +
                      "' cannot itself create, drop or run saved queries.");
        }
        if (view && (inner.kind != StatementKind::Select || inner.crosstab)) {
            raise(hr::kSyntax, jet::kInvalidStatement,
                  "CREATE VIEW needs a SELECT statement; save an action or crosstab query with "
                  "CREATE PROCEDURE.");
        }
        st_.queryText = std::move(body);
        st_.querySelects = inner.kind == StatementKind::Select;
    }

    // EXECUTE name [value, ...]: the values go to the query's parameters in order.
    void executeStatement() {
        next();
        errorNumber_ = jet::kInvalidStatement;
        st_.kind = StatementKind::ExecuteQuery;
        st_.table = name("a saved query's name");
        if (peek().kind == Tok::End || isSym(";")) return;
        do {
            st_.executeValues.push_back(executeValue());
        } while (acceptSym(","));
    }

    Variant executeValue() {
        const bool negative = acceptSym("-");
        const Token& t = peek();
        const std::string up = t.kind == Tok::Word ? upperAscii(t.text) : "";
        if (t.kind == Tok::Number) {
            const std::string text = (negative ? "-" : "") + next().text;
            const char* last = text.data() + text.size();
            std::int64_t whole = 0;
            if (auto [at, ec] = std::from_chars(text.data(), last, whole);
                ec == std::errc() && at == last) {
                return whole >= INT32_MIN && whole <= INT32_MAX
                           ? Variant::fromI4(static_cast<std::int32_t>(whole))
                           : Variant::fromI8(whole);
            }
            double real = 0;
            std::from_chars(text.data(), last, real);
            return Variant::fromR8(real);
        }
        if (!negative && t.kind == Tok::String) return Variant::fromText(next().text);
        if (!negative && t.kind == Tok::Date) {
            double ole = 0;
            if (!parseDateLiteral(t.text, ole))
                fail(jet::kSyntaxInExpression, "Invalid date '#" + t.text + "#'");
            next();
            return Variant::fromDate(ole);
        }
        if (!negative && (up == "NULL" || up == "TRUE" || up == "FALSE")) {
            next();
            return up == "NULL" ? Variant::null() : Variant::fromBool(up == "TRUE");
        }
        fail(jet::kInvalidStatement,
             "Expected a number, a text, a date or NULL as the value of a parameter");
    }

    static constexpr std::string_view kKindSlot = "/*vx kind ";
    std::vector<ResultHint> kindSlots_;  // columns waiting for their kind
    std::vector<std::pair<std::string, std::string>>
        kindTables_;  // every table named, with its alias
    std::string_view sql_;
    std::vector<Token> toks_;
    LiteralParameters* parameters_ = nullptr;
    const std::vector<std::string>* fieldNames_ = nullptr;
    std::vector<int> literalOrdinal_;  // per token: its place among the literals, or -1
    bool bindLiterals_ = false;
    std::size_t pos_ = 0;
    Statement st_;
    int depth_ = 0;
    int nesting_ = 0;
    static constexpr int kMaxNesting = 200;
    bool starSeen_ = false;
    bool transformValue_ = false;
    std::vector<std::string>* valueKinds_ = nullptr;
    std::vector<ColumnUse> columnUses_;  // see collectColumnUses
    bool joinCondition_ = false;  // reading a join's ON clause  // a TRANSFORM value's column kinds
    int errorNumber_ = jet::kSyntaxInExpression;
    std::vector<ConstraintDef> pendingConstraints_;
};

}  // namespace

Statement parseStatement(std::string_view text, LiteralParameters* parameters,
                         const std::vector<std::string>* fieldNames) {
    return Parser(text, parameters, fieldNames).run();
}

std::string translateExpression(std::string_view text) {
    return Parser(text).standaloneExpression();
}

std::string translateRowExpression(std::string_view text) {
    return Parser(text).rowExpression();
}

}  // namespace engine::detail
