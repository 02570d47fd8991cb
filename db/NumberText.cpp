#include "db/NumberText.h"

#include <locale.h>

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace db {

std::string FormatFixed(double value, int precision, int width) {
    std::array<char, 400> buffer{};  // DBL_MAX in fixed notation needs 309 digits
    std::string text;
    if (std::isnan(value)) {
        text = std::signbit(value) ? "-nan" : "nan";
    } else {
        auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                          std::chars_format::fixed, precision);
        if (error != std::errc{}) {
            throw std::length_error("FormatFixed: the number does not fit its buffer");
        }
        text.assign(buffer.data(), end);
    }
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    }
    return text;
}

std::string FormatInteger(std::int64_t value) {
    std::array<char, 24> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    (void)error;  // 24 bytes always hold an int64
    return std::string(buffer.data(), end);
}

namespace {

std::optional<std::string>& KeptSeparator() {
    static std::optional<std::string> kept;
    return kept;
}

std::string CurrentDecimalSeparator() {
    const lconv* conventions = std::localeconv();
    if (conventions == nullptr || conventions->decimal_point == nullptr ||
        conventions->decimal_point[0] == '\0') {
        return ".";
    }
    return conventions->decimal_point;
}

}  // namespace

std::string LocaleDecimalSeparator() {
    return KeptSeparator().value_or(CurrentDecimalSeparator());
}

void KeepUserDecimalSeparator() {
    KeptSeparator() = CurrentDecimalSeparator();
}

namespace {

// strtod under the "C" locale, whatever the process locale is.
double StrtodC(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (cLocale == static_cast<locale_t>(nullptr)) {
        throw std::runtime_error("ReadLeadingNumber: the \"C\" locale cannot be created");
    }
    return strtod_l(text.c_str(), nullptr, cLocale);
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

double ReadLeadingNumber(std::string_view text, std::string_view decimalSeparator) {
    // atof stops at the first NUL; so do we.
    std::string copy(text.substr(0, text.find('\0')));
    if (!decimalSeparator.empty() && decimalSeparator != ".") {
        // Only the separator right after the leading digits is the decimal
        // point; a later one is not part of the number anyway.
        std::size_t position = 0;
        while (position < copy.size() &&
               (copy[position] == ' ' || (copy[position] >= '\t' && copy[position] <= '\r'))) {
            ++position;
        }
        if (position < copy.size() && (copy[position] == '+' || copy[position] == '-')) {
            ++position;
        }
        const std::size_t digitsStart = position;
        while (position < copy.size() && IsAsciiDigit(copy[position])) {
            ++position;
        }
        const bool digitsBefore = position > digitsStart;
        if (copy.compare(position, decimalSeparator.size(), decimalSeparator) == 0) {
            const std::size_t after = position + decimalSeparator.size();
            const bool digitAfter = after < copy.size() && IsAsciiDigit(copy[after]);
            if (digitsBefore || digitAfter) {
                copy.replace(position, decimalSeparator.size(), ".");
            }
        }
    }
    return StrtodC(copy);
}

}  // namespace db
