// Jet's arithmetic operators where SQLite's differ: a text operand must read
// as a number (else error 13, not SQLite's 0), and dividing by zero is error
// 11, not Null. `\` and Mod round their operands half to even first.
#include <cmath>
#include <cstdint>
#include <string>

#include "engine/FunctionArgs.h"
#include "engine/Internal.h"
#include "engine/JetValues.h"

namespace engine::detail {

namespace {

void resultDivisionByZero(sqlite3_context* ctx, const char* op) {
    sqlite3_result_error(ctx, (std::string("VXDIVZERO:") + op).c_str(), -1);
}

// vx_num(x, op): x as the number an operator works with; Null stays Null.
void fnNum(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL || type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        return sqlite3_result_value(ctx, argv[0]);
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) {
        return resultCoercionError(ctx, c,
                                   reinterpret_cast<const char*>(sqlite3_value_text(argv[1])));
    }
    // A whole number stays one, as "-'3'" is -3 in Jet, not -3.0.
    if (std::trunc(number) == number && std::fabs(number) < 9.0e15)
        return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(number));
    sqlite3_result_double(ctx, number);
}

// Both operands as numbers, or false with the call already failed; Null on
// either side answers Null.
bool operands(sqlite3_context* ctx, sqlite3_value** argv, const char* op, double& x, double& y,
              bool& null) {
    null = isNull(argv[0]) || isNull(argv[1]);
    if (null) {
        sqlite3_result_null(ctx);
        return false;
    }
    Coercion c = toNumber(argv[0], x);
    if (c == Coercion::Number) c = toNumber(argv[1], y);
    if (c != Coercion::Number) {
        resultCoercionError(ctx, c, op);
        return false;
    }
    return true;
}

void fnDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double x = 0, y = 0;
    bool null = false;
    if (!operands(ctx, argv, "/", x, y, null)) return;
    // 0 / 0 has no value at all: VBA calls it an overflow.
    if (y == 0) return x == 0 ? resultOverflow(ctx, "/") : resultDivisionByZero(ctx, "/");
    sqlite3_result_double(ctx, x / y);
}

// The operands of \ and Mod as the whole numbers they round to.
bool wholeOperands(sqlite3_context* ctx, sqlite3_value** argv, const char* op, std::int64_t& x,
                   std::int64_t& y) {
    double a = 0, b = 0;
    bool null = false;
    if (!operands(ctx, argv, op, a, b, null)) return false;
    a = roundHalfEven(a, 0);
    b = roundHalfEven(b, 0);
    constexpr double kLimit = 9.2e18;
    if (std::fabs(a) > kLimit || std::fabs(b) > kLimit) {
        resultOverflow(ctx, op);
        return false;
    }
    x = static_cast<std::int64_t>(a);
    y = static_cast<std::int64_t>(b);
    if (y == 0) {
        resultDivisionByZero(ctx, op);
        return false;
    }
    return true;
}

void fnIntDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::int64_t x = 0, y = 0;
    if (wholeOperands(ctx, argv, "\\", x, y)) sqlite3_result_int64(ctx, y == -1 ? -x : x / y);
}

void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::int64_t x = 0, y = 0;
    if (wholeOperands(ctx, argv, "Mod", x, y)) sqlite3_result_int64(ctx, y == -1 ? 0 : x % y);
}

void fnSqr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    auto number = numberArg(ctx, argv[0], "Sqr");
    if (!number) return;
    if (*number < 0) return resultInvalidCall(ctx, "Sqr needs a number of 0 or more");
    sqlite3_result_double(ctx, std::sqrt(*number));
}

// Asc(text): the code of the first character; a zero-length text has none.
void fnAsc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return resultCoercionError(ctx, Coercion::Null, "Asc");
    const std::u32string text = decodeUtf8(argText(argv[0]));
    if (text.empty()) return resultInvalidCall(ctx, "Asc needs a text of at least one character");
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(text[0]));
}

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

const SqlFunction kArithmeticFunctions[] = {
    {"vx_num", 2, kPure, fnNum},
    {"vx_divide", 2, kPure, fnDivide},
    {"vx_intdivide", 2, kPure, fnIntDivide},
    {"vx_mod", 2, kPure, fnMod},
    {"vx_sqr", 1, kPure, fnSqr},
    {"vx_asc", 1, kPure, fnAsc},
};

}  // namespace

std::span<const SqlFunction> arithmeticFunctions() {
    return kArithmeticFunctions;
}

}  // namespace engine::detail
