// Exact decimal numbers: a Decimal field holds its digits as text in a
// canonical form, compares and sorts by value through its own collation, and
// sums and averages without passing through a double. Not part of the public
// interface.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/Internal.h"

namespace engine::detail {

// The collation a Decimal field is declared with: the name of the one the
// sqlite3 command's decimal extension brings, which orders the canonical
// texts a Decimal field holds as this engine does, so the command reads and
// checks the file too.
inline constexpr const char* kDecimalCollation = "decimal";
// The name files written before declared Decimal fields with.
inline constexpr const char* kLegacyDecimalCollation = "VXDECIMAL";
// The most digits a Decimal holds.
inline constexpr int kMaxDecimalDigits = 28;

// A number as its significant digits and the place of its point:
// value = 0.<digits> x 10^point. No leading or trailing zeros; zero has no
// digits and is never negative.
struct DecimalNumber {
    bool negative = false;
    std::string digits;
    int point = 0;
};

// Reads "[space][sign]digits[.digits][e[sign]digits][space]", the texts SQLite
// writes for its numbers and the ones a user types; nullopt for anything else.
std::optional<DecimalNumber> parseDecimal(std::string_view text);
// The shortest digits that read back as `value`; nullopt for infinities and NaN.
std::optional<DecimalNumber> decimalFromDouble(double value);
// -1, 0 or 1.
int compareDecimal(const DecimalNumber& a, const DecimalNumber& b);
// Rounds half away from zero to `scale` places.
void roundDecimal(DecimalNumber& d, int scale);
// Digits left of the point.
int integerDigits(const DecimalNumber& d);
// The canonical text: no exponent, no trailing zeros after the point, "0" for zero.
std::string decimalText(const DecimalNumber& d);

// Under both names, so files written before keep opening.
void registerDecimalCollation(sqlite3* db);
// vx_decimal, vx_decimal_overflows, vx_sum, vx_avg, vx_cdec.
std::span<const SqlFunction> decimalFunctions();

}  // namespace engine::detail
