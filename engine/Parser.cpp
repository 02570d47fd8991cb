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

struct Expr {
    std::string sql;
    ResultHint hint;
    bool logical = false;  // a condition: SQLite's 1 for true, not Jet's -1
};

// Jet's True is -1 where SQLite's comparisons give 1. A condition stays as
// SQLite writes it, so that WHERE and ON keep their indexes; where it is
// used as a value it is negated.
std::string valueOf(const Expr& e) {
    return e.logical ? "(-" + e.sql + ")" : e.sql;
}

bool isBareColumn(const Expr& e) {
    return e.hint.kind == ResultKind::ColumnOf && !e.sql.empty() && e.sql.back() == '"' &&
           e.sql.find('(') == std::string::npos;
}

// Jet compares, groups and sorts text without regard to case. A table
// column brings its own case-blind collation (and with it its index); any
// other value is given the same one, so that 'abc' = 'ABC', DISTINCT and
// GROUP BY over an expression, and a derived table's columns agree.
std::string caseBlind(const Expr& e) {
    if (isBareColumn(e)) return e.sql;
    return "(" + valueOf(e) + ") COLLATE NOCASE";
}

bool isNumberKind(ResultKind k) {
    return k == ResultKind::Long || k == ResultKind::Double || k == ResultKind::Currency ||
           k == ResultKind::Count || k == ResultKind::Date || k == ResultKind::Bool;
}

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
    explicit OperatorChain(Expr first, bool conditions = false)
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

    Expr finish() && {
        if (links_ == 0) return std::move(first_);
        std::string sql = "(";
        for (auto open = opens_.rbegin(); open != opens_.rend(); ++open) sql += *open;
        sql += first_.sql;
        sql += tail_;
        sql += ")";
        if (conditions_) return {std::move(sql), {ResultKind::Bool, {}, {}}, true};
        return {std::move(sql), std::move(hint_)};
    }

  private:
    Expr first_;
    bool conditions_;
    std::vector<const char*> opens_;  // literals of the parser
    std::string tail_;
    ResultHint hint_;
    std::size_t links_ = 0;
};

struct FunctionDef {
    const char* name;
    int minArgs;
    int maxArgs;
    const char* templ;        // $1..$3 replaced by the arguments
    const char* defaultArg2;  // used for a missing second argument, or null
    ResultKind kind;
};

// Jet functions an operator expects, with their SQLite form.
const FunctionDef kFunctions[] = {
    {"NOW", 0, 0, "vx_now()", nullptr, ResultKind::Date},
    {"GENGUID", 0, 0, "vx_genguid()", nullptr, ResultKind::Text},
    {"DATE", 0, 0, "vx_date()", nullptr, ResultKind::Date},
    {"TIME", 0, 0, "vx_time()", nullptr, ResultKind::Date},
    {"IIF", 3, 3, "(CASE WHEN ($1) THEN ($2) ELSE ($3) END)", nullptr, ResultKind::Dynamic},
    {"NZ", 1, 2, "coalesce($1, $2)", "''", ResultKind::Dynamic},
    {"LEN", 1, 1, "length($1)", nullptr, ResultKind::Long},
    {"LEFT", 2, 2, "vx_left($1, $2)", nullptr, ResultKind::Text},
    {"RIGHT", 2, 2, "vx_right($1, $2)", nullptr, ResultKind::Text},
    {"MID", 2, 3, "vx_mid($*)", nullptr, ResultKind::Text},
    {"UCASE", 1, 1, "upper($1)", nullptr, ResultKind::Text},
    {"LCASE", 1, 1, "lower($1)", nullptr, ResultKind::Text},
    {"TRIM", 1, 1, "trim($1, ' ')", nullptr, ResultKind::Text},
    {"LTRIM", 1, 1, "ltrim($1, ' ')", nullptr, ResultKind::Text},
    {"RTRIM", 1, 1, "rtrim($1, ' ')", nullptr, ResultKind::Text},
    {"YEAR", 1, 1, "vx_datepart('yyyy', $1)", nullptr, ResultKind::Long},
    {"MONTH", 1, 1, "vx_datepart('m', $1)", nullptr, ResultKind::Long},
    {"DAY", 1, 1, "vx_datepart('d', $1)", nullptr, ResultKind::Long},
    {"HOUR", 1, 1, "vx_datepart('h', $1)", nullptr, ResultKind::Long},
    {"MINUTE", 1, 1, "vx_datepart('n', $1)", nullptr, ResultKind::Long},
    {"SECOND", 1, 1, "vx_datepart('s', $1)", nullptr, ResultKind::Long},
    {"WEEKDAY", 1, 2, "vx_weekday($*)", nullptr, ResultKind::Long},
    {"DATEPART", 2, 4, "vx_datepart($*)", nullptr, ResultKind::Long},
    {"FORMAT", 1, 2, "vx_format($1, $2, $K)", "''", ResultKind::Text},
    {"FORMATNUMBER", 1, 5, "vx_formatnumber($1, $2, $3, $4, $5)", nullptr, ResultKind::Text},
    {"FORMATCURRENCY", 1, 5, "vx_formatcurrency($1, $2, $3, $4, $5)", nullptr, ResultKind::Text},
    {"FORMATPERCENT", 1, 5, "vx_formatpercent($1, $2, $3, $4, $5)", nullptr, ResultKind::Text},
    {"FORMATDATETIME", 1, 2, "vx_formatdatetime($1, $2)", nullptr, ResultKind::Text},
    {"DATESERIAL", 3, 3, "vx_dateserial($1, $2, $3)", nullptr, ResultKind::Date},
    {"DATEADD", 3, 3, "vx_dateadd($1, $2, $3)", nullptr, ResultKind::Date},
    {"DATEDIFF", 3, 5, "vx_datediff($*)", nullptr, ResultKind::Long},
    {"CDATE", 1, 1, "vx_cdate($1)", nullptr, ResultKind::Date},
    {"DATEVALUE", 1, 1, "vx_cdate($1)", nullptr, ResultKind::Date},
    {"CSTR", 1, 1, "vx_cstr($1, $K)", nullptr, ResultKind::Text},
    {"STR", 1, 1, "vx_str($1, $K)", nullptr, ResultKind::Text},
    {"CLNG", 1, 1, "vx_clng($1)", nullptr, ResultKind::Long},
    {"CINT", 1, 1, "vx_cint($1)", nullptr, ResultKind::Long},
    {"CDBL", 1, 1, "CAST($1 AS REAL)", nullptr, ResultKind::Double},
    {"CSNG", 1, 1, "CAST($1 AS REAL)", nullptr, ResultKind::Double},
    {"CCUR", 1, 1, "round(CAST($1 AS REAL), 4)", nullptr, ResultKind::Currency},
    {"CBOOL", 1, 1, "vx_cbool($1)", nullptr, ResultKind::Bool},
    {"ISNULL", 1, 1, "(CASE WHEN ($1) IS NULL THEN -1 ELSE 0 END)", nullptr, ResultKind::Bool},
    {"ABS", 1, 1, "abs($1)", nullptr, ResultKind::Dynamic},
    {"INT", 1, 1, "floor($1)", nullptr, ResultKind::Dynamic},
    {"FIX", 1, 1, "trunc($1)", nullptr, ResultKind::Dynamic},
    {"ROUND", 1, 2, "vx_round($1, $2)", "0", ResultKind::Double},
    {"SQR", 1, 1, "vx_sqr($1)", nullptr, ResultKind::Double},
    {"SGN", 1, 1, "sign($1)", nullptr, ResultKind::Long},
    {"VAL", 1, 1, "vx_val($1)", nullptr, ResultKind::Double},
    {"INSTR", 2, 4, "vx_instr($*)", nullptr, ResultKind::Long},
    {"REPLACE", 3, 6, "vx_replace($*)", nullptr, ResultKind::Text},
    {"ASC", 1, 1, "vx_asc($1)", nullptr, ResultKind::Long},
    {"CHR", 1, 1, "char($1)", nullptr, ResultKind::Text},
    // Text (FunctionsText.cpp)
    {"STRING", 2, 2, "vx_string($1, $2)", nullptr, ResultKind::Text},
    {"SPACE", 1, 1, "vx_space($1)", nullptr, ResultKind::Text},
    {"STRCOMP", 2, 3, "vx_strcomp($*)", nullptr, ResultKind::Long},
    {"STRCONV", 2, 3, "vx_strconv($1, $2)", nullptr, ResultKind::Text},
    {"STRREVERSE", 1, 1, "vx_strreverse($1)", nullptr, ResultKind::Text},
    {"INSTRREV", 2, 4, "vx_instrrev($*)", nullptr, ResultKind::Long},
    {"HEX", 1, 1, "vx_hex($1)", nullptr, ResultKind::Text},
    {"OCT", 1, 1, "vx_oct($1)", nullptr, ResultKind::Text},
    {"ASCW", 1, 1, "vx_ascw($1)", nullptr, ResultKind::Long},
    {"CHRW", 1, 1, "vx_chrw($1)", nullptr, ResultKind::Text},
    // Dates (FunctionsDate.cpp)
    {"TIMESERIAL", 3, 3, "vx_timeserial($1, $2, $3)", nullptr, ResultKind::Date},
    {"TIMEVALUE", 1, 1, "vx_timevalue($1)", nullptr, ResultKind::Date},
    {"WEEKDAYNAME", 1, 3, "vx_weekdayname($*)", nullptr, ResultKind::Text},
    {"MONTHNAME", 1, 2, "vx_monthname($*)", nullptr, ResultKind::Text},
    {"TIMER", 0, 0, "vx_timer()", nullptr, ResultKind::Double},
    // Mathematics (FunctionsMath.cpp)
    {"EXP", 1, 1, "vx_exp($1)", nullptr, ResultKind::Double},
    {"LOG", 1, 1, "vx_log($1)", nullptr, ResultKind::Double},
    {"SIN", 1, 1, "vx_sin($1)", nullptr, ResultKind::Double},
    {"COS", 1, 1, "vx_cos($1)", nullptr, ResultKind::Double},
    {"TAN", 1, 1, "vx_tan($1)", nullptr, ResultKind::Double},
    {"ATN", 1, 1, "vx_atn($1)", nullptr, ResultKind::Double},
    {"RND", 0, 1, "vx_rnd($*)", nullptr, ResultKind::Double},
    // Finance (FunctionsFinance.cpp)
    {"PMT", 3, 5, "vx_pmt($*)", nullptr, ResultKind::Double},
    {"FV", 3, 5, "vx_fv($*)", nullptr, ResultKind::Double},
    {"PV", 3, 5, "vx_pv($*)", nullptr, ResultKind::Double},
    {"NPER", 3, 5, "vx_nper($*)", nullptr, ResultKind::Double},
    {"RATE", 3, 6, "vx_rate($*)", nullptr, ResultKind::Double},
    {"IPMT", 4, 6, "vx_ipmt($*)", nullptr, ResultKind::Double},
    {"PPMT", 4, 6, "vx_ppmt($*)", nullptr, ResultKind::Double},
    {"DDB", 4, 5, "vx_ddb($*)", nullptr, ResultKind::Double},
    {"SLN", 3, 3, "vx_sln($1, $2, $3)", nullptr, ResultKind::Double},
    {"SYD", 4, 4, "vx_syd($1, $2, $3, $4)", nullptr, ResultKind::Double},
    // Inspecting and choosing values (FunctionsValues.cpp)
    {"SWITCH", 2, 254, "vx_switch($*)", nullptr, ResultKind::Dynamic},
    {"CHOOSE", 2, 254, "vx_choose($*)", nullptr, ResultKind::Dynamic},
    {"ISDATE", 1, 1, "vx_isdate($1, $K)", nullptr, ResultKind::Bool},
    {"ISNUMERIC", 1, 1, "vx_isnumeric($1, $K)", nullptr, ResultKind::Bool},
    {"ISEMPTY", 1, 1, "vx_isempty($1)", nullptr, ResultKind::Bool},
    {"VARTYPE", 1, 1, "vx_vartype($1, $K)", nullptr, ResultKind::Long},
    {"TYPENAME", 1, 1, "vx_typename($1, $K)", nullptr, ResultKind::Text},
    {"CBYTE", 1, 1, "vx_cbyte($1)", nullptr, ResultKind::Long},
    {"CDEC", 1, 1, "vx_cdec($1)", nullptr, ResultKind::Decimal},
    {"CVAR", 1, 1, "($1)", nullptr, ResultKind::Dynamic},
    {"COUNT", 1, 1, "count($1)", nullptr, ResultKind::Count},
    {"SUM", 1, 1, "vx_sum($1)", nullptr, ResultKind::Dynamic},
    {"AVG", 1, 1, "vx_avg($1)", nullptr, ResultKind::Double},
    {"MIN", 1, 1, "min($1)", nullptr, ResultKind::ColumnOf},
    {"MAX", 1, 1, "max($1)", nullptr, ResultKind::ColumnOf},
    {"FIRST", 1, 1, "vx_first($1)", nullptr, ResultKind::ColumnOf},
    {"LAST", 1, 1, "vx_last($1)", nullptr, ResultKind::ColumnOf},
    {"STDEV", 1, 1, "vx_stdev($1)", nullptr, ResultKind::Double},
    {"STDEVP", 1, 1, "vx_stdevp($1)", nullptr, ResultKind::Double},
    {"VAR", 1, 1, "vx_var($1)", nullptr, ResultKind::Double},
    {"VARP", 1, 1, "vx_varp($1)", nullptr, ResultKind::Double},
};

const FunctionDef* findFunction(const std::string& upper) {
    for (const auto& f : kFunctions) {
        if (upper == f.name) return &f;
    }
    return nullptr;
}

// $K stands for the kind of the first argument (kindOf).
std::string applyTemplate(const char* templ, const std::vector<std::string>& args,
                          const std::string& kind = "0") {
    std::string out;
    for (const char* c = templ; *c; ++c) {
        if (*c == '$' && c[1] == 'K') {
            out += kind;
            ++c;
        } else if (*c == '$' && c[1] == '*') {  // every argument given, for optional ones
            for (std::size_t i = 0; i < args.size(); ++i) out += (i ? ", " : "") + args[i];
            ++c;
        } else if (*c == '$' && c[1] >= '1' && c[1] <= '9') {
            std::size_t i = static_cast<std::size_t>(c[1] - '1');
            out += i < args.size() ? args[i] : "NULL";
            ++c;
        } else {
            out += *c;
        }
    }
    return out;
}

std::string formatDouble(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

class Parser {
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
        Expr e = unary();
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
        st_.columnUses = columnUses(toks_);
        if (!st_.columnUses.empty() || !st_.constantWords.empty())
            st_.namedTables = namedTables(toks_);
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
    // Every nesting (parentheses, subqueries, NOT chains) passes through
    // here; a limit keeps a hostile statement from exhausting the stack.
    Expr expr() {
        if (++nesting_ > kMaxNesting)
            fail(jet::kSyntaxInExpression, "The expression is nested too deeply");
        Expr e = impExpr();
        --nesting_;
        return e;
    }

    // Imp and Eqv bind more loosely than Or and Xor. Both give -1, 0 or Null
    // as Jet does: "Null Imp True" is True, "False Imp Null" is True.
    Expr impExpr() {
        OperatorChain chain(eqvExpr());
        while (acceptWord("IMP")) {
            chain.add("(-((NOT ((", ") <> 0)) OR ((", eqvExpr().sql, ") <> 0)))",
                      {ResultKind::Bool, {}, {}});
        }
        return std::move(chain).finish();
    }
    Expr eqvExpr() {
        OperatorChain chain(orExpr());
        while (acceptWord("EQV")) {
            chain.add("(-(((", ") <> 0) = ((", orExpr().sql, ") <> 0)))",
                      {ResultKind::Bool, {}, {}});
        }
        return std::move(chain).finish();
    }

    Expr orExpr() {
        OperatorChain chain(xorExpr(), true);
        while (acceptWord("OR")) {
            chain.add("", " OR ", xorExpr().sql, "", {});
        }
        return std::move(chain).finish();
    }
    Expr xorExpr() {
        OperatorChain chain(andExpr(), true);
        while (acceptWord("XOR")) {
            chain.add("((", ") <> 0) <> ((", andExpr().sql, ") <> 0)", {});
        }
        return std::move(chain).finish();
    }
    Expr andExpr() {
        OperatorChain chain(notExpr(), true);
        while (acceptWord("AND")) {
            chain.add("", " AND ", notExpr().sql, "", {});
        }
        return std::move(chain).finish();
    }
    Expr notExpr() {
        if (acceptWord("NOT")) {
            if (++nesting_ > kMaxNesting)
                fail(jet::kSyntaxInExpression, "The expression is nested too deeply");
            Expr inner = notExpr();
            --nesting_;
            return {"(NOT " + inner.sql + ")", {ResultKind::Bool, {}, {}}, true};
        }
        return comparison();
    }
    Expr comparison() {
        Expr left = concat();
        static const char* ops[] = {"=", "<>", "<", ">", "<=", ">="};
        for (const char* op : ops) {
            if (acceptSym(op)) {
                if ((isWord("ANY") || isWord("SOME") || isWord("ALL")) && isSym("(", 1) &&
                    isWord("SELECT", 2)) {
                    return quantifiedComparison(caseBlind(left), op);
                }
                const std::size_t rightStart = pos_;
                Expr right = concat();
                // Text on both sides compares without regard to case; a
                // column on either side brings its own collation.
                const std::string l = isBareColumn(right) ? valueOf(left) : caseBlind(left);
                return {"(" + l + " " + op + " " + valueSlot(rightStart, valueOf(right)) + ")",
                        {ResultKind::Bool, {}, {}},
                        true};
            }
        }
        if (acceptWord("IS")) {
            bool negate = acceptWord("NOT");
            expectWord("NULL");
            return {"(" + left.sql + (negate ? " IS NOT NULL)" : " IS NULL)"),
                    {ResultKind::Bool, {}, {}},
                    true};
        }
        bool negate = false;
        if (isWord("NOT") && (isWord("LIKE", 1) || isWord("BETWEEN", 1) || isWord("IN", 1))) {
            next();
            negate = true;
        }
        const std::string notText = negate ? " NOT" : "";
        if (acceptWord("LIKE")) {
            const std::size_t patternStart = pos_;
            Expr pattern = concat();
            // Jet's wildcards and character lists, not SQLite's LIKE.
            return {std::string(negate ? "(NOT " : "(") + "vx_like(" + valueOf(left) + ", " +
                        valueSlot(patternStart, valueOf(pattern)) + "))",
                    {ResultKind::Bool, {}, {}},
                    true};
        }
        if (acceptWord("BETWEEN")) {
            const std::size_t lowStart = pos_;
            const std::string low = valueSlot(lowStart, valueOf(concat()));
            expectWord("AND");
            const std::size_t highStart = pos_;
            const std::string high = valueSlot(highStart, valueOf(concat()));
            return {"(" + caseBlind(left) + notText + " BETWEEN " + low + " AND " + high + ")",
                    {ResultKind::Bool, {}, {}},
                    true};
        }
        if (acceptWord("IN")) {
            expectSym("(");
            std::string list;
            if (isWord("SELECT")) {
                list = selectStatement(false);
            } else {
                do {
                    if (!list.empty()) list += ", ";
                    const std::size_t itemStart = pos_;
                    list += valueSlot(itemStart, valueOf(expr()));
                } while (acceptSym(","));
            }
            expectSym(")");
            return {"(" + caseBlind(left) + notText + " IN (" + list + "))",
                    {ResultKind::Bool, {}, {}},
                    true};
        }
        if (negate) fail(jet::kSyntaxInExpression, "Expected LIKE, BETWEEN or IN after NOT");
        return left;
    }
    // "x > ANY (SELECT ...)", "x <= ALL (SELECT ...)". The subquery becomes a
    // common table whose one column has a name of ours, so its own column
    // name, whatever it is, never matters.
    Expr quantifiedComparison(const std::string& left, const char* op) {
        const bool all = isWord("ALL");
        next();
        expectSym("(");
        std::string sub = selectStatement(false);
        expectSym(")");
        std::string test = "(" + left + " " + op + " vx_v)";
        // ALL fails on the first row the comparison does not hold for, a row
        // whose comparison is Null included: such a row is not known to pass.
        std::string body = "WITH vx_q(vx_v) AS (" + sub + ") SELECT 1 FROM vx_q WHERE " +
                           (all ? test + " IS NOT 1" : test);
        return {all ? "(NOT EXISTS (" + body + "))" : "(EXISTS (" + body + "))", {}};
    }

    Expr concat() {
        Expr head = additive();
        if (!isSym("&")) return head;
        head.sql = joinedText(head);
        head.logical = false;
        OperatorChain chain(std::move(head));
        while (acceptSym("&")) {
            // Null counts as an empty text; the left side is coalesced once, as
            // the first operand.
            const bool first = chain.empty();
            chain.add(first ? "coalesce(" : "", first ? ", '') || coalesce(" : " || coalesce(",
                      joinedText(additive()), ", '')", {ResultKind::Text, {}, {}});
        }
        return std::move(chain).finish();
    }
    // A date or a Yes/No joins as its text ("2020/05/24", "True"), not as
    // the number SQLite keeps.
    std::string joinedText(const Expr& e) {
        const std::string kind = kindOf(e);
        if (kind == "0") return e.sql;
        return "vx_text(" + valueOf(e) + ", " + kind + ")";
    }

    // The kind code (ValueKind) Conversions.cpp and Format.cpp read from a
    // last argument. A table column's kind is its catalog type, asked of the
    // catalog when the statement runs: the tables are known only once the
    // FROM clause is read, so a slot stands in until then (and reads 0, "any
    // other", should it stay).
    std::string kindOf(const Expr& e) {
        if (e.hint.kind == ResultKind::Date) return "1";
        if (e.hint.kind == ResultKind::Bool || e.logical) return "2";
        if (e.hint.kind == ResultKind::Currency) return "3";
        if (e.hint.kind == ResultKind::Decimal) return "4";
        const bool columnSum = e.hint.kind == ResultKind::ColumnOf && e.hint.dateOnly;
        if (!(isBareColumn(e) || columnSum) || sql_.find(kKindSlot) != std::string_view::npos)
            return "0";
        kindSlots_.push_back(e.hint);
        return std::string(kKindSlot) + std::to_string(kindSlots_.size() - 1) + "*/0";
    }

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
    void fillKindSlots() {
        if (kindSlots_.empty()) return;
        if (!st_.table.empty()) kindTables_.emplace_back(st_.table, "");
        fillKindSlots(st_.sqlite);
        if (st_.crosstab) {
            for (std::string* part :
                 {&st_.crosstab->head, &st_.crosstab->value, &st_.crosstab->pivot,
                  &st_.crosstab->body, &st_.crosstab->fromWhere, &st_.crosstab->order}) {
                fillKindSlots(*part);
            }
        }
    }
    // Jet's + joins two texts (Null on either side gives Null, unlike &) and
    // adds anything else. A date plus or minus a number, or minus a time, is
    // still a date; a date minus a date is a number of days.
    Expr additive() {
        Expr first = modulo();
        if (isSym("-")) asNumber(first, "-");
        ResultHint left = first.hint;
        bool leftNumber = isNumberKind(left.kind) || first.logical;
        OperatorChain chain(std::move(first));
        while (isSym("+") || isSym("-")) {
            const bool plus = next().text == "+";
            Expr right = modulo();
            const ResultHint hint = sumHint(left, right, plus);
            const bool rightNumber = isNumberKind(right.hint.kind) || right.logical;
            if (!plus || (leftNumber && rightNumber)) {
                chain.add("", plus ? " + " : " - ", numberOf(right, plus ? "+" : "-"), "", hint);
                leftNumber = true;
            } else if (left.kind == ResultKind::Text && right.hint.kind == ResultKind::Text) {
                chain.add("", " || ", valueOf(right), "", hint);
            } else {
                chain.add("vx_plus(", ", ", valueOf(right), ")", hint);
                leftNumber = false;
            }
            left = hint;
        }
        return std::move(chain).finish();
    }
    static bool isTimeOfDay(const Expr& e) {
        if (e.sql == "vx_time()") return true;
        if (e.hint.kind != ResultKind::Date) return false;
        char* end = nullptr;
        const double v = std::strtod(e.sql.c_str(), &end);
        return end && *end == '\0' && v >= 0 && v < 1;
    }
    static ResultHint sumHint(const ResultHint& left, const Expr& right, bool plus) {
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
    Expr modulo() {
        OperatorChain chain(intDivision());
        while (acceptWord("MOD")) {
            chain.add("vx_mod(", ", ", valueOf(intDivision()), ")", {ResultKind::Long, {}, {}});
        }
        return std::move(chain).finish();
    }
    Expr intDivision() {
        OperatorChain chain(multiplicative());
        while (acceptSym("\\")) {
            chain.add("vx_intdivide(", ", ", valueOf(multiplicative()), ")",
                      {ResultKind::Long, {}, {}});
        }
        return std::move(chain).finish();
    }
    // An operand of an arithmetic operator: a text must read as a number as
    // Jet reads one (vx_num fails with 13 otherwise, where SQLite reads 0).
    static std::string numberOf(const Expr& e, const char* op) {
        if (isNumberKind(e.hint.kind) || e.logical) return valueOf(e);
        return "vx_num(" + valueOf(e) + ", '" + op + "')";
    }
    static void asNumber(Expr& e, const char* op) {
        e.sql = numberOf(e, op);
        e.logical = false;
    }
    Expr multiplicative() {
        Expr first = unary();
        if (isSym("*")) asNumber(first, "*");
        OperatorChain chain(std::move(first));
        while (isSym("*") || isSym("/")) {
            const bool divide = next().text == "/";
            if (divide) {
                // Division by zero is an error, not SQLite's Null.
                chain.add("vx_divide(", ", ", valueOf(unary()), ")", {ResultKind::Double, {}, {}});
            } else {
                chain.add("", " * ", numberOf(unary(), "*"), "", {});
            }
        }
        return std::move(chain).finish();
    }
    Expr unary() {
        if (acceptSym("-")) {
            if (++nesting_ > kMaxNesting)
                fail(jet::kSyntaxInExpression, "The expression is nested too deeply");
            Expr inner = unary();
            --nesting_;
            return {"(-" + numberOf(inner, "-") + ")",
                    inner.hint.kind == ResultKind::ColumnOf ? ResultHint{} : inner.hint};
        }
        if (acceptSym("+")) {
            if (++nesting_ > kMaxNesting)
                fail(jet::kSyntaxInExpression, "The expression is nested too deeply");
            Expr inner = unary();
            --nesting_;
            return inner;
        }
        return power();
    }
    Expr power() {
        Expr base = primary();
        if (isSym("^")) asNumber(base, "^");
        OperatorChain chain(std::move(base));
        while (acceptSym("^")) {
            chain.add("pow(", ", ", exponent(), ")", {ResultKind::Double, {}, {}});
        }
        return std::move(chain).finish();
    }
    // The right side of ^ may carry its own sign: 2 ^ -1 is 0.5.
    std::string exponent() {
        if (acceptSym("-")) return "(-" + exponent() + ")";
        if (acceptSym("+")) return exponent();
        return numberOf(primary(), "^");
    }

    Expr primary() {
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
                return {literal(t.text, fits),
                        {integral ? ResultKind::Long : ResultKind::Double, {}, {}}};
            }
            case Tok::String:
                return {literal(quoteText(t.text), true), {ResultKind::Text, {}, {}}};
            case Tok::Date: {
                double ole = 0;
                if (!parseDateLiteral(t.text, ole))
                    fail(jet::kSyntaxInExpression, "Invalid date '#" + t.text + "#'");
                // A time of day stays written in: a date minus a time is a
                // date, a date minus a date a number, and the result's type
                // is fixed when the statement is translated.
                return {literal(formatDouble(ole), !(ole >= 0 && ole < 1)),
                        {ResultKind::Date, {}, {}}};
            }
            case Tok::Symbol:
                if (t.text == "(") {
                    next();
                    if (isWord("SELECT")) {
                        std::string sub = selectStatement(false);
                        expectSym(")");
                        // Jet refuses a value subquery that returns more than one row.
                        return {"vx_one_row((SELECT count(*) FROM (" + sub + ")), (" + sub + "))",
                                {}};
                    }
                    Expr inner = expr();
                    expectSym(")");
                    inner.sql = "(" + inner.sql + ")";
                    return inner;
                }
                fail(jet::kSyntaxInExpression, "Expected a value or a field name");
            case Tok::End:
                fail(jet::kSyntaxInExpression, "The expression ends too early");
            case Tok::Word:
            case Tok::Bracketed:
                break;
        }
        if (t.kind == Tok::Word) {
            std::string up = upperAscii(t.text);
            if (up == "NULL") {
                next();
                return {"NULL", {}};
            }
            if (up == "TRUE") {
                next();
                return {"-1", {ResultKind::Bool, {}, {}}};
            }
            if (up == "FALSE") {
                next();
                return {"0", {ResultKind::Bool, {}, {}}};
            }
            if (auto constant = namedConstant(up)) {
                next();
                return {*constant, {ResultKind::Bool, {}, {}}};
            }
            if (up == "@@IDENTITY") {
                next();
                return {"last_insert_rowid()", {ResultKind::Long, {}, {}}};
            }
            if (up == "EXISTS") {
                next();
                expectSym("(");
                std::string sub = selectStatement(false);
                expectSym(")");
                return {"(EXISTS (" + sub + "))", {ResultKind::Bool, {}, {}}, true};
            }
            if (isSym("(", 1)) return functionCall();
        }
        return columnRef();
    }

    // Jet's Yes, No, On and Off (True and False are reserved words): a bare
    // word names the constant unless a table of the statement has a field of
    // that name, which the caller finds out and passes in as `fieldNames_`.
    std::optional<std::string> namedConstant(const std::string& upper) {
        const bool yes = upper == "YES" || upper == "ON";
        if (!yes && upper != "NO" && upper != "OFF") return std::nullopt;
        if (isSym("(", 1) || isSym(".", 1) || isSym("!", 1)) return std::nullopt;
        if (isFieldName(upper)) return std::nullopt;
        st_.constantWords.push_back(peek().text);
        return yes ? "-1" : "0";
    }

    Expr functionCall() {
        const Token& nameTok = next();
        std::string up = upperAscii(nameTok.text);
        const FunctionDef* f = findFunction(up);
        if (!f) {
            raise(hr::kSyntax, jet::kUndefinedFunction,
                  "Undefined function '" + nameTok.text + "' in expression at position " +
                      std::to_string(nameTok.offset + 1) + ".");
        }
        expectSym("(");
        std::vector<Expr> args;
        bool distinct = false;
        if (!isSym(")")) {
            if (up == "COUNT" && isSym("*")) {
                next();
                args.push_back({"*", {}});
            } else {
                if (f->kind == ResultKind::Count || up == "SUM" || up == "AVG") {
                    distinct = acceptWord("DISTINCT");
                }
                do {
                    args.push_back(expr());
                } while (acceptSym(","));
            }
        }
        expectSym(")");
        int count = static_cast<int>(args.size());
        if (count < f->minArgs || count > f->maxArgs) {
            raise(hr::kSyntax, jet::kSyntaxInExpression,
                  "Wrong number of arguments used with function '" + nameTok.text +
                      "' at position " + std::to_string(nameTok.offset + 1) + ".");
        }
        std::vector<std::string> texts;
        for (auto& a : args) texts.push_back(valueOf(a));
        if (count == 1 && f->defaultArg2) texts.push_back(f->defaultArg2);
        if (distinct) texts[0] = "DISTINCT " + texts[0];
        ResultHint hint{f->kind, {}, {}};
        if (f->kind == ResultKind::ColumnOf) {
            hint = args[0].hint.kind == ResultKind::ColumnOf ? args[0].hint : ResultHint{};
            if (args[0].hint.kind != ResultKind::ColumnOf &&
                args[0].hint.kind != ResultKind::Dynamic) {
                hint = args[0].hint;
            }
        }
        // The Sum or Avg of a Currency or Decimal field is of the field's type.
        if ((up == "SUM" || up == "AVG") && args[0].hint.kind == ResultKind::ColumnOf) {
            hint = args[0].hint;
            hint.exactOnly = true;
        }
        std::string sql = applyTemplate(f->templ, texts, args.empty() ? "0" : kindOf(args[0]));
        // In a TRANSFORM's value each aggregate is marked where the crosstab
        // puts the filter of its column.
        if (transformValue_ && isAggregate(up)) sql = kCrosstabOpen + sql + kCrosstabMark;
        return {std::move(sql), hint};
    }

    Expr columnRef() {
        if (std::optional<Expr> parameter = parameterRef()) return std::move(*parameter);
        std::string first = name("a field name");
        if ((isSym(".") || isSym("!")) && (isName(1) || isSym("*", 1))) {
            next();
            if (isSym("*")) fail(jet::kSyntaxInExpression, "'*' is allowed only in the field list");
            std::string second = name("a field name");
            return {quoteIdent(first) + "." + quoteIdent(second),
                    {ResultKind::ColumnOf, first, second}};
        }
        return {quoteIdent(first), {ResultKind::ColumnOf, {}, first}};
    }

    static bool isAggregate(const std::string& upperName) {
        static const std::set<std::string> names = {
            "COUNT", "SUM", "AVG", "MIN", "MAX", "FIRST", "LAST", "STDEV", "STDEVP", "VAR", "VARP"};
        return names.count(upperName) != 0;
    }

    // TRANSFORM value SELECT ... GROUP BY ... PIVOT expr [IN (v1, ...)]. The
    // headings come from the data, so the statement is completed when it runs.
    void transformStatement() {
        next();
        st_.kind = StatementKind::Select;
        CrosstabPlan plan;
        transformValue_ = true;
        Expr value = expr();
        transformValue_ = false;
        if (value.sql.find(kCrosstabMark) == std::string::npos) {
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
        plan.pivot = concat().sql;  // below comparisons: an IN after it is the column list
        if (acceptWord("IN")) {
            plan.fixedHeadings = true;
            expectSym("(");
            do {
                const Token t = peek();
                Expr v = unary();
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
        plan.value = value.sql;
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
        if (!first.topCount.empty()) out += " LIMIT " + topLimit(first, order, compound, rows);
        --depth_;
        return out;
    }

    // The literal at the current token, passed over: its SQLite text, noted
    // for valueSlot when it may stand there as a parameter.
    std::string literal(std::string sqlite, bool bindable) {
        lastLiteral_ = {bindable ? pos_ : kNoToken, sqlite};
        next();
        return sqlite;
    }

    // The text of an expression begun at token `start` in a place where a
    // value is only used, never read: an INSERT's VALUES, UPDATE's SET, the
    // right side of a comparison, BETWEEN's bounds, IN's list, LIKE's pattern.
    // An expression that is one literal (a number maybe negated) and came
    // through unchanged becomes a parameter standing for it, for the
    // statement cache (see LiteralParameters). Anywhere else the literal's
    // value may have shaped the translation, and stays written into it.
    std::string valueSlot(std::size_t start, std::string text) {
        if (!bindLiterals_ || lastLiteral_.token == kNoToken) return text;
        const std::size_t token = lastLiteral_.token;
        const bool lone = token == start && pos_ == start + 1 && text == lastLiteral_.sql;
        const bool negated = token == start + 1 && pos_ == start + 2 &&
                             toks_[start].kind == Tok::Symbol && toks_[start].text == "-" &&
                             toks_[token].kind == Tok::Number &&
                             text == "(-" + lastLiteral_.sql + ")";
        // A literal of a spliced legacy derived table has no place in the shape.
        if ((!lone && !negated) || literalOrdinal_[token] < 0) return text;
        const auto ordinal = static_cast<std::size_t>(literalOrdinal_[token]);
        parameters_->baked[ordinal] = lastLiteral_.sql;
        const std::string parameter = "?" + std::to_string(ordinal + 1);
        return negated ? "(-" + parameter + ")" : parameter;
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
            out += kind + right + " ON " + expr().sql;
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
                const std::size_t valueStart = pos_;
                const Expr value = expr();
                const std::string sql = valueSlot(valueStart, valueOf(value));
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
            assigned.emplace_back(column, expr());
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
            const std::size_t valueStart = pos_;
            const Expr value = expr();
            out +=
                quoteIdent(column) + " = " +
                storedValue(fieldTypeQuery(column), value, valueSlot(valueStart, valueOf(value)));
        } while (acceptSym(","));
        if (acceptWord("WHERE")) out += " WHERE " + expr().sql;
        st_.sqlite = out;
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
                Expr e = unary();
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
    std::optional<Expr> parameterRef() {
        if (st_.parameters.empty() || !isName()) return std::nullopt;
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
        if (found == nullptr) return std::nullopt;
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
        return Expr{
            "vx_param(" + quoteText(found->name) + ", " + std::to_string(found->adoType) + ")",
            {kind, {}, {}}};
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
    static constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);
    struct {
        std::size_t token = kNoToken;  // a literal that may be a parameter, or kNoToken
        std::string sql;
    } lastLiteral_;
    std::size_t pos_ = 0;
    Statement st_;
    int depth_ = 0;
    int nesting_ = 0;
    static constexpr int kMaxNesting = 200;
    bool starSeen_ = false;
    bool transformValue_ = false;
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
