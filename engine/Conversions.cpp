// Jet's conversions (CStr, Str, CInt, CLng, CBool, Round) and its `+`, which
// joins two texts and adds anything else.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/FunctionArgs.h"
#include "engine/JetValues.h"

namespace engine::detail {

std::string numberText(double value) {
    if (value == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string text = buf;
    // printf writes "1e+20" and "1e-05"; VBA writes "1E+20" and "1E-05".
    if (auto e = text.find('e'); e != std::string::npos) text[e] = 'E';
    return text;
}

std::string generalDateText(double oleDate) {
    DateParts p{};
    if (!OleDateToParts(oleDate, p)) return numberText(oleDate);
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", p.year, p.month, p.day);
    std::snprintf(time, sizeof time, "%d:%02d:%02d", p.hour, p.minute, p.second);
    const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
    const bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
    if (midnight) return date;
    if (dayZero) return time;
    return std::string(date) + " " + time;
}

Coercion toNumber(sqlite3_value* value, double& number) {
    switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            return Coercion::Null;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            number = sqlite3_value_double(value);
            return Coercion::Number;
        case SQLITE_BLOB:
            return Coercion::Mismatch;
        default:
            break;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    if (!text) return Coercion::Mismatch;
    return textToNumber(text, number) ? Coercion::Number : Coercion::Mismatch;
}

// The digits after "&H" or "&O", up to the first that is not of the radix
// (`used` counts them). Up to 16 bits the value is an Integer, so "&HFFFF"
// is -1 as in VBA; up to 32 bits a Long; beyond that it does not fit.
RadixDigits readRadixDigits(std::string_view digits, int radix, double& number, std::size_t& used) {
    unsigned long long value = 0;
    for (used = 0; used < digits.size(); ++used) {
        const char c = digits[used];
        const int digit = c >= '0' && c <= '9'                     ? c - '0'
                          : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                   : radix;
        if (digit >= radix) break;
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFULL) return RadixDigits::Overflow;
    }
    if (used == 0) return RadixDigits::None;
    number = value <= 0xFFFF ? static_cast<double>(static_cast<std::int16_t>(value))
                             : static_cast<double>(static_cast<std::int32_t>(value));
    return RadixDigits::Number;
}

namespace {

int radixOf(std::string_view text) {
    if (text.size() < 2 || text[0] != '&') return 0;
    const char letter = static_cast<char>(text[1] | 0x20);
    return letter == 'h' ? 16 : letter == 'o' ? 8 : 0;
}

}  // namespace

// A text is a number as Jet reads one: blanks around it, a sign, digits with
// thousands separators before the point ("1,234.5"), an exponent (E or D),
// or "&H"/"&O" with hexadecimal or octal digits. Not C's own forms: "0x10",
// "inf" and "nan" are texts.
bool textToNumber(std::string_view text, double& number) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (const int radix = radixOf(text); radix != 0 || (!text.empty() && text[0] == '&')) {
        std::size_t used = 0;
        return radix != 0 &&
               readRadixDigits(text.substr(2), radix, number, used) == RadixDigits::Number &&
               used == text.size() - 2;
    }
    std::string plain;
    plain.reserve(text.size());
    bool digitSeen = false, pointSeen = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            digitSeen = true;
        } else if (c == ',' && digitSeen && !pointSeen) {
            continue;
        } else if (c == '.') {
            pointSeen = true;
        } else if (c == 'd' || c == 'D') {
            c = 'e';
        } else if (!(c == '+' || c == '-' || c == 'e' || c == 'E')) {
            return false;
        }
        plain += c;
    }
    if (plain.empty()) return false;
    char* end = nullptr;
    number = std::strtod(plain.c_str(), &end);
    return end == plain.c_str() + plain.size() && std::isfinite(number);
}

// Val reads what it can: blanks, tabs and line feeds anywhere are dropped,
// then the longest number at the start counts ("24 and 57" is 24, "1 2 3"
// 123); a text that starts with no number is 0.
RadixDigits valNumber(std::string_view text, double& number) {
    std::string packed;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') packed += c;
    }
    number = 0;
    if (const int radix = radixOf(packed)) {
        std::size_t used = 0;
        const RadixDigits read =
            readRadixDigits(std::string_view(packed).substr(2), radix, number, used);
        return read == RadixDigits::Overflow ? read : RadixDigits::Number;
    }
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < packed.size() && packed[i] >= '0' && packed[i] <= '9') ++i;
        return i - start;
    };
    if (i < packed.size() && (packed[i] == '+' || packed[i] == '-')) ++i;
    std::size_t mantissa = digits();
    if (i < packed.size() && packed[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return RadixDigits::Number;
    std::string prefix = packed.substr(0, i);
    if (i < packed.size() && std::strchr("eEdD", packed[i]) != nullptr) {
        const std::size_t mark = i++;
        if (i < packed.size() && (packed[i] == '+' || packed[i] == '-')) ++i;
        if (digits() > 0) prefix += "e" + packed.substr(mark + 1, i - mark - 1);
    }
    number = std::strtod(prefix.c_str(), nullptr);
    return std::isfinite(number) ? RadixDigits::Number : RadixDigits::Overflow;
}

void resultOverflow(sqlite3_context* ctx, const char* function) {
    sqlite3_result_error(ctx, (std::string("VXOVERFLOW:") + function).c_str(), -1);
}

void resultCoercionError(sqlite3_context* ctx, Coercion failure, const char* function) {
    const char* tag = failure == Coercion::Null ? "VXINVALIDNULL:" : "VXMISMATCH:";
    sqlite3_result_error(ctx, (std::string(tag) + function).c_str(), -1);
}

double roundHalfEven(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    if (!std::isfinite(scaled)) return value;
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(scaled);
    std::fesetround(saved);
    return rounded / scale;
}

namespace {

ValueKind kindArg(sqlite3_value* v) {
    return static_cast<ValueKind>(sqlite3_value_int(v));
}

// CStr(value): dates and Yes/No values as Jet shows them, numbers with 15
// significant digits.
void fnCStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL) return resultCoercionError(ctx, Coercion::Null, "CStr");
    if (type == SQLITE_TEXT) return sqlite3_result_value(ctx, v);
    if (type == SQLITE_BLOB) return resultCoercionError(ctx, Coercion::Mismatch, "CStr");
    switch (kindArg(argv[1])) {
        case ValueKind::Date:
            return resultText(ctx, generalDateText(sqlite3_value_double(v)));
        case ValueKind::Bool:
            return resultText(ctx, sqlite3_value_double(v) != 0 ? "True" : "False");
        case ValueKind::Other:
        case ValueKind::Currency:
        case ValueKind::Decimal:
            break;
    }
    resultText(ctx, numberText(sqlite3_value_double(v)));
}

// A value joined by &: as CStr shows it, Null staying Null for & to drop.
void fnText(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    fnCStr(ctx, argc, argv);
}

// Str(number): a blank where the sign of a positive number would stand.
void fnStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (kindArg(argv[1]) == ValueKind::Date)
        return resultText(ctx, generalDateText(sqlite3_value_double(argv[0])));
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, "Str");
    // Str, unlike CStr, drops the zero before the point: " .5", "-.5".
    std::string text = numberText(number);
    const std::size_t digits = number < 0 ? 1 : 0;
    if (text.compare(digits, 2, "0.") == 0) text.erase(digits, 1);
    resultText(ctx, (number >= 0 ? " " : "") + text);
}

template <long long Low, long long High>
void fnWhole(sqlite3_context* ctx, sqlite3_value** argv, const char* function) {
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, function);
    const double rounded = roundHalfEven(number, 0);
    if (rounded < static_cast<double>(Low) || rounded > static_cast<double>(High)) {
        return resultOverflow(ctx, function);
    }
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(rounded));
}

void fnCInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    fnWhole<-32768, 32767>(ctx, argv, "CInt");
}
void fnCLng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    fnWhole<-2147483648LL, 2147483647LL>(ctx, argv, "CLng");
}

// CDbl, CSng and CCur read a text as the other conversions do ("&HFF",
// "1D3", "1,234.5"), refuse one that is no number (13) and Null (94), and
// overflow (6) past their type: a Single's range, a Currency's
// +-922337203685477.5807 with four decimals rounded half to even.
void fnCDbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, "CDbl");
    sqlite3_result_double(ctx, number);
}

void fnCSng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, "CSng");
    const float single = static_cast<float>(number);
    if (!std::isfinite(single)) return resultOverflow(ctx, "CSng");
    sqlite3_result_double(ctx, static_cast<double>(single));
}

void fnCCur(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, "CCur");
    constexpr double kCurrencyLimit = 922337203685477.5807;
    const double rounded = roundHalfEven(number, 4);
    if (std::fabs(rounded) > kCurrencyLimit) return resultOverflow(ctx, "CCur");
    sqlite3_result_double(ctx, rounded);
}

// Round(number [, decimals]): half to even; Null stays Null.
void fnRound(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, "Round");
    const int decimals = sqlite3_value_int(argv[1]);
    if (decimals < 0 || decimals > 22) {
        return sqlite3_result_error(ctx, "VXARG:Round needs 0 to 22 decimal places", -1);
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    sqlite3_result_double(ctx, roundHalfEven(number, decimals));
}

// CBool(value): "True" and "False" in any case, or any number.
void fnCBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        std::string text = upperAscii(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
        const auto first = text.find_first_not_of(" \t");
        const auto last = text.find_last_not_of(" \t");
        text = first == std::string::npos ? "" : text.substr(first, last - first + 1);
        if (text == "TRUE") return sqlite3_result_int(ctx, -1);
        if (text == "FALSE") return sqlite3_result_int(ctx, 0);
    }
    double number = 0;
    const Coercion c = toNumber(argv[0], number);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, "CBool");
    sqlite3_result_int(ctx, number != 0 ? -1 : 0);
}

// a + b: two texts are joined, anything else is added; Null on either side
// gives Null.
void fnPlus(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int a = sqlite3_value_type(argv[0]), b = sqlite3_value_type(argv[1]);
    if (a == SQLITE_NULL || b == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (a == SQLITE_TEXT && b == SQLITE_TEXT) {
        const auto bytes = static_cast<std::uint64_t>(sqlite3_value_bytes(argv[0])) +
                           static_cast<std::uint64_t>(sqlite3_value_bytes(argv[1]));
        if (!fitsLength(ctx, bytes, "+")) return;
        std::string joined(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                           static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
        joined.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])),
                      static_cast<std::size_t>(sqlite3_value_bytes(argv[1])));
        return resultText(ctx, joined);
    }
    if (a == SQLITE_INTEGER && b == SQLITE_INTEGER) {
        sqlite3_int64 sum = 0;
        if (!__builtin_add_overflow(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]),
                                    &sum)) {
            return sqlite3_result_int64(ctx, sum);
        }
    }
    double x = 0, y = 0;
    const Coercion cx = toNumber(argv[0], x);
    if (cx != Coercion::Number) return resultCoercionError(ctx, cx, "+");
    const Coercion cy = toNumber(argv[1], y);
    if (cy != Coercion::Number) return resultCoercionError(ctx, cy, "+");
    sqlite3_result_double(ctx, x + y);
}

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

const SqlFunction kConversionFunctions[] = {
    {"vx_cstr", 2, kPure, fnCStr}, {"vx_str", 2, kPure, fnStr},     {"vx_cint", 1, kPure, fnCInt},
    {"vx_clng", 1, kPure, fnCLng}, {"vx_round", 2, kPure, fnRound}, {"vx_cbool", 1, kPure, fnCBool},
    {"vx_plus", 2, kPure, fnPlus}, {"vx_text", 2, kPure, fnText},   {"vx_cdbl", 1, kPure, fnCDbl},
    {"vx_csng", 1, kPure, fnCSng}, {"vx_ccur", 1, kPure, fnCCur},
};

}  // namespace

std::span<const SqlFunction> conversionFunctions() {
    return kConversionFunctions;
}

}  // namespace engine::detail
