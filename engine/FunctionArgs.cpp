// Argument reading and error answers shared by the function families.
#include "engine/FunctionArgs.h"

#include <cmath>

namespace engine::detail {

std::string argText(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t),
                           static_cast<std::size_t>(sqlite3_value_bytes(v)))
             : std::string();
}

bool fitsLength(sqlite3_context* ctx, std::uint64_t bytes, const char* function) {
    const int limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
    if (bytes <= static_cast<std::uint64_t>(limit)) return true;
    sqlite3_result_error(ctx, (std::string("VXLONG:") + function).c_str(), -1);
    return false;
}

void resultText(sqlite3_context* ctx, const std::string& text) {
    if (!fitsLength(ctx, text.size(), "the function")) return;
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void resultInvalidCall(sqlite3_context* ctx, const std::string& why) {
    sqlite3_result_error(ctx, ("VXARG:" + why).c_str(), -1);
}

std::optional<double> numberArg(sqlite3_context* ctx, sqlite3_value* v, const char* function) {
    double number = 0;
    const Coercion c = toNumber(v, number);
    if (c == Coercion::Number) return number;
    resultCoercionError(ctx, c, function);
    return std::nullopt;
}

std::optional<long long> wholeArg(sqlite3_context* ctx, sqlite3_value* v, const char* function,
                                  long long low, long long high) {
    auto number = numberArg(ctx, v, function);
    if (!number) return std::nullopt;
    const double rounded = roundHalfEven(*number, 0);
    if (rounded < static_cast<double>(low) || rounded > static_cast<double>(high)) {
        resultOverflow(ctx, function);
        return std::nullopt;
    }
    return static_cast<long long>(rounded);
}

std::optional<bool> binaryCompareArg(sqlite3_context* ctx, int argc, sqlite3_value** argv,
                                     int index, const char* function) {
    if (index >= argc) return false;
    auto compare = wholeArg(ctx, argv[index], function);
    if (!compare) return std::nullopt;
    if (*compare < -1 || *compare > 2) {
        resultInvalidCall(ctx,
                          std::string(function) + " takes a compare of 0 (binary) or 1 (text)");
        return std::nullopt;
    }
    return *compare == 0;
}

std::u32string decodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        std::size_t j = i + 1;
        for (; extra > 0 && j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80;
             --extra, ++j) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
        }
        out += cp;
        i = j;
    }
    return out;
}

std::string encodeUtf8(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

char32_t foldCase(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 32;
    if (c < 0x80) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;                    // Latin-1
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138) {  // Latin Extended-A
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper) return (c % 2 == 0) ? c - 1 : c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;  // Greek
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x430 && c <= 0x44F) return c - 32;  // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;  // full-width Latin
    return c;
}

std::u32string foldCase(std::u32string s) {
    for (char32_t& c : s) c = foldCase(c);
    return s;
}

bool argDate(sqlite3_value* v, double& ole) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            ole = sqlite3_value_double(v);
            return true;
        case SQLITE_TEXT:
            return parseDateLiteral(argText(v), ole);
        default:
            return false;
    }
}

}  // namespace engine::detail
