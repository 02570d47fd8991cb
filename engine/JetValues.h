// Values as Jet's expression service converts and shows them: the texts of
// numbers, dates and Yes/No values, and the conversions between them. Not
// part of the public interface.
#pragma once

#include <sqlite3.h>

#include <span>
#include <string>
#include <string_view>

#include "engine/Internal.h"

namespace engine::detail {

// SQLite keeps a date as a number and a Yes/No as an integer, so where the
// parser knows better it passes one of these codes as a function's last
// argument.
enum class ValueKind : int { Other = 0, Date = 1, Bool = 2, Currency = 3, Decimal = 4 };

// A Double as CStr shows it: up to 15 significant digits, "1E+20" and
// "1E-05" where the digits would not fit.
std::string numberText(double value);
// A date as CStr and Format's "General Date" show it: the date alone at
// midnight, the time alone on day zero, else both.
std::string generalDateText(double oleDate);

// How a value converts to a number; texts must read as a number whole.
enum class Coercion { Number, Null, Mismatch };
Coercion toNumber(sqlite3_value* value, double& number);
bool textToNumber(std::string_view text, double& number);
// What "&H" or "&O" digits and Val's reading of a text come to.
enum class RadixDigits { Number, None, Overflow };
RadixDigits readRadixDigits(std::string_view digits, int radix, double& number, std::size_t& used);
RadixDigits valNumber(std::string_view text, double& number);

// Reports a conversion that failed as Jet names it: "Overflow", "Type
// mismatch" or "Invalid use of Null", with what was being converted.
void resultOverflow(sqlite3_context* ctx, const char* function);
void resultCoercionError(sqlite3_context* ctx, Coercion failure, const char* function);

// Rounds half to even at `decimals` places, as CInt, CLng and Round do.
double roundHalfEven(double value, int decimals);

// The function families of Conversions.cpp and Format.cpp.
std::span<const SqlFunction> conversionFunctions();
std::span<const SqlFunction> formatFunctions();
// Like.cpp and Arithmetic.cpp
std::span<const SqlFunction> likeFunctions();
std::span<const SqlFunction> arithmeticFunctions();

}  // namespace engine::detail
