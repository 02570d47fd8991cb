// Number texts that never follow the process locale.
//
// Qt sets the C library's locale from the environment, so printf-style
// formatting would write "1,25" under a German locale. Every number the tool
// writes ("%3.2f", "%0.1f", "%d") uses the full stop; only the currency text
// follows the user's locale, and it takes the separator as an argument.
// The program itself runs with LC_NUMERIC "C", so that no library it calls
// (the engine's SQL texts above all) can write a comma into a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace db {

// The value with `precision` decimals, padded on the left with blanks to
// `width` bytes, as printf's "%<width>.<precision>f" under the "C" locale.
std::string FormatFixed(double value, int precision, int width = 0);

// The value in decimal, as printf's "%lld" (no grouping, whatever the locale).
std::string FormatInteger(std::int64_t value);

// The decimal separator of the user's locale: the one kept by
// KeepUserDecimalSeparator when the program did so, else that of the C
// library's current LC_NUMERIC locale (localeconv()); "." under "C".
std::string LocaleDecimalSeparator();

// Remembers the separator of the current LC_NUMERIC locale as the user's.
// The program calls it once at start, after taking the locale from the
// environment and before setting LC_NUMERIC back to "C" for everything else,
// so that only the currency text follows the user.
void KeepUserDecimalSeparator();

// Reads the leading numeric part of a text as atof does under the "C" locale
// (leading white space, sign, digits, fraction, exponent; 0 when the text
// does not start with a number). `decimalSeparator`, when it is not ".", is
// accepted in place of the full stop, so "1,25" reads 1.25 under a comma
// locale while "1.25" still reads 1.25.
double ReadLeadingNumber(std::string_view text, std::string_view decimalSeparator = ".");

}  // namespace db
