// Exact decimals. A Decimal field of the engine keeps its value as the
// canonical text of its digits (a double holds 15 of the 28 digits Jet
// allows), and the field's collation orders those texts by value, so that its
// index, ORDER BY, MIN/MAX and comparisons against number literals (which
// SQLite hands to the collation as text) all go by value. Sums and averages
// add in a 128-bit integer at the values' own scale.
#include "engine/Decimal.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/FunctionArgs.h"
#include "engine/JetValues.h"

namespace engine::detail {

namespace {

// A parsed exponent past this is no Decimal nor any double.
constexpr long long kMaxExponent = 4000;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

std::optional<DecimalNumber> parseDecimal(std::string_view s) {
    std::size_t i = 0, n = s.size();
    while (i < n && isSpace(s[i])) ++i;
    while (n > i && isSpace(s[n - 1])) --n;
    DecimalNumber d;
    if (i < n && (s[i] == '+' || s[i] == '-')) d.negative = s[i++] == '-';
    std::string digits;
    long long before = 0;  // digits left of the point, leading zeros included
    bool point = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            if (!point) ++before;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits.empty()) return std::nullopt;
    long long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
        if (i == n) return std::nullopt;
        for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i) {
            if (exponent <= kMaxExponent) exponent = exponent * 10 + (s[i] - '0');
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (i != n) return std::nullopt;
    const std::size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos) return DecimalNumber{};
    const long long at = before - static_cast<long long>(lead) + exponent;
    if (at > kMaxExponent || at < -kMaxExponent) return std::nullopt;
    digits.erase(0, lead);
    digits.erase(digits.find_last_not_of('0') + 1);
    d.digits = std::move(digits);
    d.point = static_cast<int>(at);
    return d;
}

std::optional<DecimalNumber> decimalFromDouble(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return parseDecimal(std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer)));
}

namespace {

int signOf(const DecimalNumber& d) {
    if (d.digits.empty()) return 0;
    return d.negative ? -1 : 1;
}

}  // namespace

int compareDecimal(const DecimalNumber& a, const DecimalNumber& b) {
    const int sa = signOf(a), sb = signOf(b);
    if (sa != sb) return sa < sb ? -1 : 1;
    if (sa == 0) return 0;
    int magnitude = 0;
    if (a.point != b.point) {
        magnitude = a.point < b.point ? -1 : 1;
    } else {
        // Without trailing zeros a prefix is the smaller number.
        const int c = a.digits.compare(b.digits);
        magnitude = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return sa * magnitude;
}

void roundDecimal(DecimalNumber& d, int scale) {
    const long long keep = static_cast<long long>(d.point) + scale;
    if (keep >= static_cast<long long>(d.digits.size())) return;
    if (keep < 0) {
        d = DecimalNumber{};
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        std::size_t i = d.digits.size();
        while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        } else {
            ++d.digits[i - 1];
        }
    }
    d.digits.erase(d.digits.find_last_not_of('0') + 1);
    if (d.digits.empty()) d = DecimalNumber{};
}

int integerDigits(const DecimalNumber& d) {
    return d.digits.empty() ? 0 : std::max(d.point, 0);
}

std::string decimalText(const DecimalNumber& d) {
    if (d.digits.empty()) return "0";
    std::string out = d.negative ? "-" : "";
    const auto size = static_cast<int>(d.digits.size());
    if (d.point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.point), '0');
        out += d.digits;
    } else if (d.point >= size) {
        out += d.digits;
        out.append(static_cast<std::size_t>(d.point - size), '0');
    } else {
        out.append(d.digits, 0, static_cast<std::size_t>(d.point));
        out += '.';
        out.append(d.digits, static_cast<std::size_t>(d.point));
    }
    return out;
}

namespace {

// Numbers first, by value; any other text after them, by its bytes, so the
// order stays total whatever a field was given.
int collate(void*, int n1, const void* p1, int n2, const void* p2) {
    const std::string_view a(static_cast<const char*>(p1), static_cast<std::size_t>(n1));
    const std::string_view b(static_cast<const char*>(p2), static_cast<std::size_t>(n2));
    const auto da = parseDecimal(a), db = parseDecimal(b);
    if (da && db) return compareDecimal(*da, *db);
    if (da || db) return da ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::optional<DecimalNumber> valueDecimal(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return parseDecimal(std::to_string(sqlite3_value_int64(v)));
        case SQLITE_FLOAT:
            return decimalFromDouble(sqlite3_value_double(v));
        case SQLITE_TEXT:
            return parseDecimal(argText(v));
        default:
            return std::nullopt;
    }
}

double decimalDouble(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// vx_decimal(value, scale): the value a Decimal field of that scale keeps. A
// text becomes the canonical text; a number (a field of a file written before
// decimals were exact) stays a number. Anything else is left for the field's
// check to refuse.
void fnDecimal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    auto d = type == SQLITE_INTEGER ? std::nullopt : valueDecimal(argv[0]);
    if (!d) return sqlite3_result_value(ctx, argv[0]);
    roundDecimal(*d, sqlite3_value_int(argv[1]));
    const std::string text = decimalText(*d);
    if (type == SQLITE_FLOAT) return sqlite3_result_double(ctx, decimalDouble(text));
    resultText(ctx, text);
}

// vx_decimal_overflows(value, precision, scale, field): 1 when the value,
// rounded to the scale, has more digits left of the point than the field
// allows; a text that is no number fails as a value of the wrong type.
void fnDecimalOverflows(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_int(ctx, 0);
    auto d = valueDecimal(argv[0]);
    if (!d) {
        return sqlite3_result_error(ctx, ("VXDECTYPE:" + argText(argv[3])).c_str(), -1);
    }
    const int precision = sqlite3_value_int(argv[1]), scale = sqlite3_value_int(argv[2]);
    roundDecimal(*d, scale);
    sqlite3_result_int(ctx, integerDigits(*d) > precision - scale ? 1 : 0);
}

// Rounds away the places a Decimal has no room for; false when its whole
// part alone is too long.
bool fitDecimal(DecimalNumber& d) {
    if (integerDigits(d) > kMaxDecimalDigits) return false;
    if (static_cast<int>(d.digits.size()) > kMaxDecimalDigits) {
        roundDecimal(d, kMaxDecimalDigits - d.point);
    }
    return integerDigits(d) <= kMaxDecimalDigits;
}

void resultDecimal(sqlite3_context* ctx, DecimalNumber d, const char* function) {
    if (!fitDecimal(d)) return resultOverflow(ctx, function);
    resultText(ctx, decimalText(d));
}

// CDec(number): the exact Decimal of a number or of a text that reads as one.
void fnCDec(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto d =
        sqlite3_value_type(argv[0]) == SQLITE_TEXT ? parseDecimal(argText(argv[0])) : std::nullopt;
    if (!d) {
        auto number = numberArg(ctx, argv[0], "CDec");
        if (!number) return;
        d = decimalFromDouble(*number);
        if (!d) return resultOverflow(ctx, "CDec");
    }
    resultDecimal(ctx, *d, "CDec");
}

// ---------------------------------------------------------------------------
// Sum and Avg

// 28 digits need more than 64 bits; GCC and Clang both have 128.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UnsignedWide;

bool scaleUp(Wide& v, int places) {
    for (int i = 0; i < places; ++i) {
        if (__builtin_mul_overflow(v, 10, &v)) return false;
    }
    return true;
}

// The running total of Sum and Avg. SQLite hands it out zeroed, which is the
// empty total. While `inexact` is false, `units` x 10^-scale is the exact
// sum; the Neumaier-compensated double runs beside it for values no
// fixed-point total holds. SQLite's memory is aligned to 8 bytes, less than a
// 128-bit integer needs, so the total is kept as bytes.
struct Total {
    unsigned char unitsBytes[sizeof(Wide)];
    int scale;
    bool inexact;
    bool sawText;
    bool sawReal;
    sqlite3_int64 count;
    double sum;
    double compensation;

    Wide units() const {
        Wide v;
        std::memcpy(&v, unitsBytes, sizeof v);
        return v;
    }
    void addExact(Wide value, int valueScale) {
        if (inexact) return;
        Wide units = this->units();
        if (valueScale > scale) {
            if (!scaleUp(units, valueScale - scale)) {
                inexact = true;
                return;
            }
            scale = valueScale;
        } else if (!scaleUp(value, scale - valueScale)) {
            inexact = true;
            return;
        }
        if (__builtin_add_overflow(units, value, &units)) inexact = true;
        std::memcpy(unitsBytes, &units, sizeof units);
    }
    void addDouble(double x) {
        const double t = sum + x;
        compensation += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
        sum = t;
    }
    void addDecimal(DecimalNumber d) {
        if (static_cast<int>(d.digits.size()) - d.point > kMaxDecimalDigits) {
            roundDecimal(d, kMaxDecimalDigits);
        }
        const int places = std::max(0, static_cast<int>(d.digits.size()) - d.point);
        const int zeros = std::max(0, d.point - static_cast<int>(d.digits.size()));
        if (static_cast<int>(d.digits.size()) + zeros > 38) {
            inexact = true;
            return;
        }
        Wide value = 0;
        for (char c : d.digits) value = value * 10 + (c - '0');
        for (int i = 0; i < zeros; ++i) value *= 10;
        addExact(d.negative ? -value : value, places);
    }
    void add(sqlite3_value* v) {
        const int type = sqlite3_value_type(v);
        if (type == SQLITE_NULL) return;
        ++count;
        addDouble(sqlite3_value_double(v));
        if (type == SQLITE_INTEGER) {
            addExact(sqlite3_value_int64(v), 0);
        } else if (type == SQLITE_FLOAT) {
            // A Currency field keeps its ten-thousandths in a double; such a
            // value adds exactly as ten-thousandths, any other as a double.
            sawReal = true;
            const double x = sqlite3_value_double(v);
            const double scaled = std::nearbyint(x * 10000.0);
            if (std::fabs(scaled) < 9007199254740992.0 && scaled / 10000.0 == x) {
                addExact(static_cast<std::int64_t>(scaled), 4);
            } else {
                inexact = true;
            }
        } else if (auto d = type == SQLITE_TEXT ? parseDecimal(argText(v)) : std::nullopt) {
            sawText = true;
            addDecimal(std::move(*d));
        } else {
            inexact = true;
        }
    }
    DecimalNumber exact(Wide value, int places) const {
        const bool negative = value < 0;
        auto magnitude =
            negative ? -static_cast<UnsignedWide>(value) : static_cast<UnsignedWide>(value);
        std::string digits;
        do {
            digits.insert(digits.begin(),
                          static_cast<char>('0' + static_cast<int>(magnitude % 10)));
            magnitude /= 10;
        } while (magnitude != 0);
        auto d = parseDecimal(digits + "e-" + std::to_string(places));
        d->negative = negative && !d->digits.empty();
        return *d;
    }
};

Total* totalOf(sqlite3_context* ctx, bool create) {
    return static_cast<Total*>(sqlite3_aggregate_context(ctx, create ? sizeof(Total) : 0));
}

void totalStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (Total* t = totalOf(ctx, true)) {
        t->add(argv[0]);
    } else {
        sqlite3_result_error_nomem(ctx);
    }
}

// Sum: exact for whole numbers, Currency and Decimal; a Decimal total comes
// back as a Decimal text.
void sumFinal(sqlite3_context* ctx) {
    const Total* t = totalOf(ctx, false);
    if (!t || t->count == 0) return sqlite3_result_null(ctx);
    if (t->inexact) return sqlite3_result_double(ctx, t->sum + t->compensation);
    const DecimalNumber d = t->exact(t->units(), t->scale);
    if (t->sawText) return resultDecimal(ctx, d, "Sum");
    if (!t->sawReal && t->units() >= INT64_MIN && t->units() <= INT64_MAX) {
        return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(t->units()));
    }
    sqlite3_result_double(ctx, decimalDouble(decimalText(d)));
}

void avgFinal(sqlite3_context* ctx) {
    const Total* t = totalOf(ctx, false);
    if (!t || t->count == 0) return sqlite3_result_null(ctx);
    const auto count = static_cast<double>(t->count);
    if (t->inexact) return sqlite3_result_double(ctx, (t->sum + t->compensation) / count);
    if (!t->sawText) {
        return sqlite3_result_double(
            ctx, decimalDouble(decimalText(t->exact(t->units(), t->scale))) / count);
    }
    // As many places as fit, then divided and rounded half away from zero.
    Wide units = t->units();
    int scale = t->scale;
    const Wide kRoom = static_cast<Wide>(1000000000000000000LL) * 100000000000000000LL;  // 1e35
    while (scale < kMaxDecimalDigits && units < kRoom && units > -kRoom) {
        units *= 10;
        ++scale;
    }
    Wide quotient = units / t->count;
    const Wide remainder = units % t->count;
    if (2 * (remainder < 0 ? -remainder : remainder) >= t->count) quotient += units < 0 ? -1 : 1;
    resultDecimal(ctx, t->exact(quotient, scale), "Avg");
}

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

const SqlFunction kDecimalFunctions[] = {
    {"vx_decimal", 2, kPure, fnDecimal},
    {"vx_decimal_overflows", 4, kPure, fnDecimalOverflows},
    {"vx_cdec", 1, kPure, fnCDec},
    {"vx_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, totalStep, sumFinal},
    {"vx_avg", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, totalStep, avgFinal},
};

}  // namespace

void registerDecimalCollation(sqlite3* db) {
    for (const char* name : {kDecimalCollation, kLegacyDecimalCollation})
        sqlite3_create_collation(db, name, SQLITE_UTF8, nullptr, collate);
}

std::span<const SqlFunction> decimalFunctions() {
    return kDecimalFunctions;
}

}  // namespace engine::detail
