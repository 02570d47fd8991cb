// Functions that inspect or choose among values: Switch, Choose, IsDate,
// IsNumeric, IsEmpty, VarType, TypeName, and the CByte and CDec
// conversions. The parser passes the kind it knows of a value (date, Yes/No)
// as the last argument where SQLite's storage alone cannot tell.
#include <cctype>
#include <string>

#include "engine/FunctionArgs.h"

namespace engine::detail {

namespace {

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

ValueKind kindOf(sqlite3_value* v) {
    return static_cast<ValueKind>(sqlite3_value_int(v));
}

// Switch(expr1, value1[, expr2, value2, ...]): the value of the first
// expression that is true; Null when none is.
void fnSwitch(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || argc % 2 != 0)
        return resultInvalidCall(ctx, "Switch takes pairs of a condition and a value");
    for (int i = 0; i < argc; i += 2) {
        if (isNull(argv[i])) continue;
        auto condition = numberArg(ctx, argv[i], "Switch");
        if (!condition) return;
        if (*condition != 0) return sqlite3_result_value(ctx, argv[i + 1]);
    }
    sqlite3_result_null(ctx);
}

// Choose(index, choice1[, choice2, ...]): the index rounded to a whole
// number; Null when no choice has it.
void fnChoose(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2) return resultInvalidCall(ctx, "Choose takes an index and at least one choice");
    auto index = wholeArg(ctx, argv[0], "Choose");
    if (!index) return;
    if (*index < 1 || *index >= argc) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, argv[*index]);
}

// A text VBA reads as a number: blanks around, a sign, digits with
// thousands separators, a decimal point and an exponent, or &H / &O.
bool readsAsNumber(const std::string& text) {
    std::size_t i = 0, end = text.size();
    while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
    while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    if (i == end) return false;
    if (text[i] == '&' && i + 2 <= end) {
        const char radix = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
        const char* digits = radix == 'H'   ? "0123456789abcdefABCDEF"
                             : radix == 'O' ? "01234567"
                                            : nullptr;
        if (!digits || i + 2 == end) return false;
        return text.find_first_not_of(digits, i + 2) >= end;
    }
    if (text[i] == '+' || text[i] == '-') ++i;
    bool digits = false, point = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)))
            digits = true;
        else if (c == ',' && digits && !point)
            continue;
        else if (c == '.' && !point)
            point = true;
        else
            break;
    }
    if (!digits) return false;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t first = i;
        while (i < end && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        if (i == first) return false;
    }
    return i == end;
}

void fnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    bool numeric = false;
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            numeric = kindOf(argv[1]) != ValueKind::Date;
            break;
        case SQLITE_TEXT:
            numeric = readsAsNumber(argText(argv[0]));
            break;
        default:
            break;
    }
    sqlite3_result_int(ctx, numeric ? -1 : 0);
}

void fnIsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    bool date = false;
    double ole = 0;
    DateParts parts{};
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            date = kindOf(argv[1]) == ValueKind::Date;
            break;
        case SQLITE_TEXT:
            date = parseDateLiteral(argText(argv[0]), ole) && OleDateToParts(ole, parts);
            break;
        default:
            break;
    }
    sqlite3_result_int(ctx, date ? -1 : 0);
}

// A value of a query is never Empty: even a Null field is Null.
void fnIsEmpty(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int(ctx, 0);
}

struct TypeCode {
    int varType;
    const char* name;
};

TypeCode typeOf(sqlite3_value* value, sqlite3_value* kind) {
    if (sqlite3_value_type(value) != SQLITE_NULL) {
        if (kindOf(kind) == ValueKind::Currency) return {6, "Currency"};
        if (kindOf(kind) == ValueKind::Decimal) return {14, "Decimal"};
    }
    switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            return {1, "Null"};
        case SQLITE_TEXT:
            return {8, "String"};
        case SQLITE_BLOB:
            return {8209, "Byte()"};
        default:
            break;
    }
    if (kindOf(kind) == ValueKind::Date) return {7, "Date"};
    if (kindOf(kind) == ValueKind::Bool) return {11, "Boolean"};
    if (sqlite3_value_type(value) == SQLITE_INTEGER) return {3, "Long"};
    return {5, "Double"};
}

void fnVarType(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int(ctx, typeOf(argv[0], argv[1]).varType);
}

void fnTypeName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultText(ctx, typeOf(argv[0], argv[1]).name);
}

// CByte(number): 0 to 255, rounded half to even.
void fnCByte(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto number = wholeArg(ctx, argv[0], "CByte", 0, 255);
    if (number) sqlite3_result_int64(ctx, *number);
}

const SqlFunction kValueFunctions[] = {
    {"vx_switch", -1, kPure, fnSwitch},      {"vx_choose", -1, kPure, fnChoose},
    {"vx_isnumeric", 2, kPure, fnIsNumeric}, {"vx_isdate", 2, kPure, fnIsDate},
    {"vx_isempty", 1, kPure, fnIsEmpty},     {"vx_vartype", 2, kPure, fnVarType},
    {"vx_typename", 2, kPure, fnTypeName},   {"vx_cbyte", 1, kPure, fnCByte},
};

}  // namespace

std::span<const SqlFunction> valueFunctions() {
    return kValueFunctions;
}

}  // namespace engine::detail
