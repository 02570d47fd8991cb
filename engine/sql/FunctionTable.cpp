#include "engine/sql/FunctionTable.h"

#include <set>

namespace engine::detail::sql {

namespace {

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
    {"FORMAT", 1, 4, "vx_format($1, $2, $K, $3, $4)", "''", ResultKind::Text},
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
    {"CDBL", 1, 1, "vx_cdbl($1)", nullptr, ResultKind::Double},
    {"CSNG", 1, 1, "vx_csng($1)", nullptr, ResultKind::Double},
    {"CCUR", 1, 1, "vx_ccur($1)", nullptr, ResultKind::Currency},
    {"CBOOL", 1, 1, "vx_cbool($1)", nullptr, ResultKind::Bool},
    {"ISNULL", 1, 1, "(CASE WHEN ($1) IS NULL THEN -1 ELSE 0 END)", nullptr, ResultKind::Bool},
    {"ABS", 1, 1, "abs($1)", nullptr, ResultKind::Dynamic},
    {"INT", 1, 1, "floor($1)", nullptr, ResultKind::Dynamic},
    {"FIX", 1, 1, "trunc($1)", nullptr, ResultKind::Dynamic},
    {"ROUND", 1, 2, "vx_round($1, $2)", "0", ResultKind::Double},
    {"SQR", 1, 1, "vx_sqr($1)", nullptr, ResultKind::Double},
    {"SGN", 1, 1, "sign($1)", nullptr, ResultKind::Long},
    {"VAL", 1, 1, "vx_val($1)", nullptr, ResultKind::Double},
    {"PARTITION", 4, 4, "vx_partition($1, $2, $3, $4)", nullptr, ResultKind::Text},
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

}  // namespace

const FunctionDef* findFunction(const std::string& upper) {
    for (const auto& f : kFunctions) {
        if (upper == f.name) return &f;
    }
    return nullptr;
}

std::string applyTemplate(const char* templ, const std::vector<std::string>& args,
                          const std::string& kind) {
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

bool isAggregate(const std::string& upperName) {
    static const std::set<std::string> names = {"COUNT", "SUM",   "AVG",    "MIN", "MAX", "FIRST",
                                                "LAST",  "STDEV", "STDEVP", "VAR", "VARP"};
    return names.count(upperName) != 0;
}

}  // namespace engine::detail::sql
