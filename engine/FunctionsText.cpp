// Text functions as VBA defines them: positions count characters from 1,
// and comparisons ignore case unless a binary compare is asked for.
#include <cstdint>
#include <string>

#include "engine/FunctionArgs.h"

namespace engine::detail {

namespace {

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

void resultChars(sqlite3_context* ctx, std::u32string_view chars) {
    resultText(ctx, encodeUtf8(chars));
}

// The bytes `chars` take as UTF-8.
std::uint64_t encodedSize(std::u32string_view chars) {
    std::uint64_t bytes = 0;
    for (char32_t c : chars) bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    return bytes;
}

// Position (from 0) of `find` in `text` at or after `from`, or npos.
std::size_t findForward(const std::u32string& text, const std::u32string& find, std::size_t from,
                        bool binary) {
    if (binary) return text.find(find, from);
    return foldCase(text).find(foldCase(find), from);
}

// String(number, character): the character as a text (its first one) or a
// character code.
void fnString(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    auto count = wholeArg(ctx, argv[0], "String");
    if (!count) return;
    if (*count < 0) return resultInvalidCall(ctx, "String needs a number of 0 or more");
    char32_t c;
    if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        std::u32string s = decodeUtf8(argText(argv[1]));
        if (s.empty()) return resultInvalidCall(ctx, "String needs a character, not an empty text");
        c = s[0];
    } else {
        auto code = wholeArg(ctx, argv[1], "String");
        if (!code) return;
        c = static_cast<char32_t>(((*code % 256) + 256) % 256);
    }
    const std::string one = encodeUtf8(std::u32string_view(&c, 1));
    const auto times = static_cast<std::size_t>(*count);
    if (!fitsLength(ctx, static_cast<std::uint64_t>(times) * one.size(), "String")) return;
    std::string out;
    out.reserve(times * one.size());
    for (std::size_t i = 0; i < times; ++i) out += one;
    resultText(ctx, out);
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    auto count = wholeArg(ctx, argv[0], "Space");
    if (!count) return;
    if (*count < 0) return resultInvalidCall(ctx, "Space needs a number of 0 or more");
    if (!fitsLength(ctx, static_cast<std::uint64_t>(*count), "Space")) return;
    resultText(ctx, std::string(static_cast<std::size_t>(*count), ' '));
}

// StrComp(a, b[, compare]): -1, 0 or 1; Null when either text is Null.
void fnStrComp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto binary = binaryCompareArg(ctx, argc, argv, 2, "StrComp");
    if (!binary) return;
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    std::u32string a = decodeUtf8(argText(argv[0])), b = decodeUtf8(argText(argv[1]));
    if (!*binary) a = foldCase(a), b = foldCase(b);
    const int order = a.compare(b);
    sqlite3_result_int(ctx, order < 0 ? -1 : order > 0 ? 1 : 0);
}

// The lower-case partner of an upper-case letter foldCase knows, else `c`.
char32_t lowerCase(char32_t c) {
    for (char32_t offset : {32, 1, 80}) {
        if (foldCase(c + offset) == c) return c + offset;
    }
    return c;
}

// Full-width forms of the half-width katakana U+FF61..U+FF9F, and the
// voiced (dakuten) and semi-voiced (handakuten) forms where a following
// half-width mark joins with them.
const char32_t kWideKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
};

bool takesDakuten(char32_t wide) {
    return (wide >= 0x30AB && wide <= 0x30C1 && wide % 2 == 1) ||
           (wide >= 0x30C4 && wide <= 0x30C8 && wide % 2 == 0) ||
           (wide >= 0x30CF && wide <= 0x30DB && (wide - 0x30CF) % 3 == 0) || wide == 0x30A6;
}

std::u32string toWide(const std::u32string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char32_t c = s[i];
        if (c == U' ')
            out += 0x3000;
        else if (c >= 0x21 && c <= 0x7E)
            out += c + 0xFEE0;
        else if (c >= 0xFF61 && c <= 0xFF9F) {
            char32_t wide = kWideKana[c - 0xFF61];
            const char32_t mark = i + 1 < s.size() ? s[i + 1] : 0;
            if (mark == 0xFF9E && takesDakuten(wide)) {
                wide = wide == 0x30A6 ? 0x30F4 : wide + 1;
                ++i;
            } else if (mark == 0xFF9F && wide >= 0x30CF && wide <= 0x30DB &&
                       (wide - 0x30CF) % 3 == 0) {
                wide += 2;
                ++i;
            }
            out += wide;
        } else
            out += c;
    }
    return out;
}

std::u32string toNarrow(const std::u32string& s) {
    std::u32string out;
    for (char32_t c : s) {
        if (c == 0x3000) {
            out += U' ';
            continue;
        }
        if (c >= 0xFF01 && c <= 0xFF5E) {
            out += c - 0xFEE0;
            continue;
        }
        // Katakana back to the half-width forms, voiced ones as two characters.
        char32_t base = c;
        char32_t mark = 0;
        if (c == 0x30F4) base = 0x30A6, mark = 0xFF9E;
        for (char32_t i = 0; i < std::size(kWideKana); ++i) {
            const char32_t w = kWideKana[i];
            if (base == w) {
                out += 0xFF61 + i;
                if (mark) out += mark;
                goto next;
            }
            if (takesDakuten(w) && c == w + 1) {
                out += 0xFF61 + i;
                out += 0xFF9E;
                goto next;
            }
            if (w >= 0x30CF && w <= 0x30DB && (w - 0x30CF) % 3 == 0 && c == w + 2) {
                out += 0xFF61 + i;
                out += 0xFF9F;
                goto next;
            }
        }
        out += c;
    next:;
    }
    return out;
}

// StrConv(text, conversion): vbUpperCase 1, vbLowerCase 2, vbProperCase 3,
// vbWide 4, vbNarrow 8, vbKatakana 16, vbHiragana 32, combined by adding.
void fnStrConv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto conversion = wholeArg(ctx, argv[1], "StrConv");
    if (!conversion) return;
    const long long k = *conversion;
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const long long caseBits = k & 3;
    if ((k & ~63LL) != 0 || (k & 12) == 12 || (k & 48) == 48) {
        return resultInvalidCall(
            ctx, "StrConv takes 1, 2, 3, 4, 8, 16 or 32, or a sum of ones that do not conflict");
    }
    std::u32string s = decodeUtf8(argText(argv[0]));
    if (k & 4) s = toWide(s);
    if (k & 8) s = toNarrow(s);
    for (char32_t& c : s) {
        if ((k & 16) && c >= 0x3041 && c <= 0x3096)
            c += 0x60;
        else if ((k & 32) && c >= 0x30A1 && c <= 0x30F6)
            c -= 0x60;
    }
    bool wordStart = true;
    for (char32_t& c : s) {
        if (caseBits == 1 || (caseBits == 3 && wordStart))
            c = foldCase(c);
        else if (caseBits != 0)
            c = lowerCase(c);
        wordStart = c == U' ' || c == U'\t' || c == 0x3000 || c == U'\n' || c == U'\r' || c == 0;
    }
    resultChars(ctx, s);
}

void fnStrReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return resultCoercionError(ctx, Coercion::Null, "StrReverse");
    std::u32string s = decodeUtf8(argText(argv[0]));
    resultChars(ctx, std::u32string(s.rbegin(), s.rend()));
}

// InStr([start, ]text, find[, compare]): the first position of `find` at or
// after `start`, 0 when absent.
void fnInStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || argc > 4) return resultInvalidCall(ctx, "InStr takes 2 to 4 arguments");
    long long start = 1;
    const int first = argc >= 3 ? 1 : 0;
    if (argc >= 3) {
        auto s = wholeArg(ctx, argv[0], "InStr");
        if (!s) return;
        if (*s < 1) return resultInvalidCall(ctx, "InStr needs a start of 1 or more");
        start = *s;
    }
    auto binary = binaryCompareArg(ctx, argc, argv, 3, "InStr");
    if (!binary) return;
    if (isNull(argv[first]) || isNull(argv[first + 1])) return sqlite3_result_null(ctx);
    const std::u32string text = decodeUtf8(argText(argv[first]));
    const std::u32string find = decodeUtf8(argText(argv[first + 1]));
    if (static_cast<std::size_t>(start) > text.size()) return sqlite3_result_int(ctx, 0);
    if (find.empty()) return sqlite3_result_int64(ctx, start);
    const std::size_t at = findForward(text, find, static_cast<std::size_t>(start - 1), *binary);
    sqlite3_result_int64(ctx, at == std::u32string::npos ? 0 : static_cast<long long>(at) + 1);
}

// InStrRev(text, find[, start[, compare]]): the last position of `find`
// that ends at or before `start` (-1: the end of the text).
void fnInStrRev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    long long start = -1;
    if (argc >= 3) {
        auto s = wholeArg(ctx, argv[2], "InStrRev");
        if (!s) return;
        if (*s == 0 || *s < -1)
            return resultInvalidCall(ctx, "InStrRev needs a start of 1 or more, or -1");
        start = *s;
    }
    auto binary = binaryCompareArg(ctx, argc, argv, 3, "InStrRev");
    if (!binary) return;
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    std::u32string text = decodeUtf8(argText(argv[0]));
    std::u32string find = decodeUtf8(argText(argv[1]));
    if (start == -1) start = static_cast<long long>(text.size());
    if (static_cast<std::size_t>(start) > text.size()) return sqlite3_result_int(ctx, 0);
    if (find.empty()) return sqlite3_result_int64(ctx, start);
    if (find.size() > static_cast<std::size_t>(start)) return sqlite3_result_int(ctx, 0);
    if (!*binary) text = foldCase(text), find = foldCase(find);
    const std::size_t at = text.rfind(find, static_cast<std::size_t>(start) - find.size());
    sqlite3_result_int64(ctx, at == std::u32string::npos ? 0 : static_cast<long long>(at) + 1);
}

// Replace(text, find, with[, start[, count[, compare]]]): the text from
// `start` on, with at most `count` (-1: every) occurrence replaced.
void fnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 3 || argc > 6) return resultInvalidCall(ctx, "Replace takes 3 to 6 arguments");
    long long start = 1, count = -1;
    if (argc >= 4) {
        auto s = wholeArg(ctx, argv[3], "Replace");
        if (!s) return;
        if (*s < 1) return resultInvalidCall(ctx, "Replace needs a start of 1 or more");
        start = *s;
    }
    if (argc >= 5) {
        auto c = wholeArg(ctx, argv[4], "Replace");
        if (!c) return;
        if (*c < -1)
            return resultInvalidCall(ctx, "Replace needs a count of -1 (every one) or more");
        count = *c;
    }
    auto binary = binaryCompareArg(ctx, argc, argv, 5, "Replace");
    if (!binary) return;
    for (int i = 0; i < 3; ++i) {
        if (isNull(argv[i])) return resultCoercionError(ctx, Coercion::Null, "Replace");
    }
    const std::u32string whole = decodeUtf8(argText(argv[0]));
    if (static_cast<std::size_t>(start) > whole.size()) return resultText(ctx, "");
    const std::u32string text = whole.substr(static_cast<std::size_t>(start - 1));
    const std::u32string find = decodeUtf8(argText(argv[1]));
    const std::u32string with = decodeUtf8(argText(argv[2]));
    if (find.empty() || count == 0) return resultChars(ctx, text);
    const std::u32string folded = *binary ? text : foldCase(text);
    const std::u32string foldedFind = *binary ? find : foldCase(find);
    // The size the replacements make first, then the text.
    auto eachMatch = [&](auto&& onMatch) {
        std::size_t pos = 0;
        for (long long done = 0; count < 0 || done < count; ++done) {
            const std::size_t at = folded.find(foldedFind, pos);
            if (at == std::u32string::npos) break;
            if (!onMatch(pos, at)) return;
            pos = at + find.size();
        }
    };
    const std::string withText = encodeUtf8(with);
    std::uint64_t bytes = encodedSize(text);
    const auto limit = static_cast<std::uint64_t>(
        sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1));
    eachMatch([&](std::size_t, std::size_t at) {
        bytes += withText.size();
        bytes -= encodedSize(std::u32string_view(text).substr(at, find.size()));
        // Once past the limit with a replacement that never takes bytes away
        // (a character is at most four), no later match brings it back.
        return bytes <= limit || withText.size() < 4 * find.size();
    });
    if (!fitsLength(ctx, bytes, "Replace")) return;
    std::string out;
    out.reserve(static_cast<std::size_t>(bytes));
    std::size_t end = 0;
    eachMatch([&](std::size_t pos, std::size_t at) {
        out += encodeUtf8(std::u32string_view(text).substr(pos, at - pos));
        out += withText;
        end = at + find.size();
        return true;
    });
    out += encodeUtf8(std::u32string_view(text).substr(end));
    resultText(ctx, out);
}

// Mid(text, start[, length]): without a length, the rest of the text.
void fnMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || argc > 3) return resultInvalidCall(ctx, "Mid takes 2 or 3 arguments");
    // A Null text gives Null before its start is read, so that
    // Mid(field, InStr(field, ...)) runs over rows where the field is Null.
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    auto start = wholeArg(ctx, argv[1], "Mid");
    if (!start) return;
    if (*start < 1) return resultInvalidCall(ctx, "Mid needs a start of 1 or more");
    long long length = -1;
    if (argc == 3) {
        auto l = wholeArg(ctx, argv[2], "Mid");
        if (!l) return;
        if (*l < 0) return resultInvalidCall(ctx, "Mid needs a length of 0 or more");
        length = *l;
    }
    const std::u32string text = decodeUtf8(argText(argv[0]));
    if (static_cast<std::size_t>(*start) > text.size()) return resultText(ctx, "");
    resultChars(ctx,
                text.substr(static_cast<std::size_t>(*start - 1),
                            length < 0 ? std::u32string::npos : static_cast<std::size_t>(length)));
}

// AscW(text): the UTF-16 code of the first character as VBA's Integer,
// negative from &H8000 on.
void fnAscW(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return resultCoercionError(ctx, Coercion::Null, "AscW");
    const std::u32string text = decodeUtf8(argText(argv[0]));
    if (text.empty()) return resultInvalidCall(ctx, "AscW needs a text of at least one character");
    char32_t unit = text[0];
    if (unit >= 0x10000) unit = 0xD800 + ((unit - 0x10000) >> 10);
    sqlite3_result_int(ctx,
                       unit >= 0x8000 ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit));
}

// ChrW(code): -32768 to 65535, a negative code counting from &H10000.
void fnChrW(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto code = wholeArg(ctx, argv[0], "ChrW");
    if (!code) return;
    if (*code < -32768 || *code > 65535)
        return resultInvalidCall(ctx, "ChrW takes a code from -32768 to 65535");
    const auto c = static_cast<char32_t>(*code < 0 ? *code + 0x10000 : *code);
    if (c >= 0xD800 && c <= 0xDFFF) {
        return resultInvalidCall(
            ctx, "ChrW cannot give half of a surrogate pair as a character of its own");
    }
    resultChars(ctx, std::u32string(1, c));
}

// Hex and Oct: whole numbers, negative ones as the two's complement of
// VBA's Integer when they fit one, else of its Long.
void radixText(sqlite3_context* ctx, sqlite3_value* v, const char* function, int bitsPerDigit) {
    if (isNull(v)) return sqlite3_result_null(ctx);
    auto number = wholeArg(ctx, v, function);
    if (!number) return;
    unsigned long long bits = static_cast<unsigned long long>(*number);
    if (*number < 0) bits &= *number >= -32768 ? 0xFFFFULL : 0xFFFFFFFFULL;
    const char* digits = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), digits[bits & ((1U << bitsPerDigit) - 1)]);
        bits >>= bitsPerDigit;
    } while (bits != 0);
    resultText(ctx, out);
}

void fnHex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    radixText(ctx, argv[0], "Hex", 4);
}
void fnOct(sqlite3_context* ctx, int, sqlite3_value** argv) {
    radixText(ctx, argv[0], "Oct", 3);
}

const SqlFunction kTextFunctions[] = {
    {"vx_string", 2, kPure, fnString},
    {"vx_space", 1, kPure, fnSpace},
    {"vx_strcomp", -1, kPure, fnStrComp},
    {"vx_strconv", -1, kPure, fnStrConv},
    {"vx_strreverse", 1, kPure, fnStrReverse},
    {"vx_instr", -1, kPure, fnInStr},
    {"vx_instrrev", -1, kPure, fnInStrRev},
    {"vx_replace", -1, kPure, fnReplace},
    {"vx_mid", -1, kPure, fnMid},
    {"vx_ascw", 1, kPure, fnAscW},
    {"vx_chrw", 1, kPure, fnChrW},
    {"vx_hex", 1, kPure, fnHex},
    {"vx_oct", 1, kPure, fnOct},
};

}  // namespace

std::span<const SqlFunction> textFunctions() {
    return kTextFunctions;
}

}  // namespace engine::detail
