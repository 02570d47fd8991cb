#include "xlsx/Xml.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace xlsx::detail {
namespace {

// The length of the well-formed UTF-8 sequence at `at`, 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t offset) {
        return static_cast<unsigned char>(text[at + offset]);
    };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t offset = 1; offset < length; ++offset) {
        if ((byte(offset) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(offset) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "_xHHHH_" in a text is the spreadsheet's escape for a character; a text
// that holds those seven characters itself has its "_" escaped.
bool LooksLikeCharacterEscape(std::string_view text, std::size_t at) {
    return at + 7 <= text.size() && text[at + 1] == 'x' && IsHexDigit(text[at + 2]) &&
           IsHexDigit(text[at + 3]) && IsHexDigit(text[at + 4]) && IsHexDigit(text[at + 5]) &&
           text[at + 6] == '_';
}

void AppendHex4(std::string& out, unsigned value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

void AppendColumnName(std::string& out, int column) {
    char letters[4];
    int count = 0;
    for (int rest = column + 1; rest > 0; rest = (rest - 1) / 26) {
        letters[count++] = static_cast<char>('A' + (rest - 1) % 26);
    }
    while (count > 0) out += letters[--count];
}

}  // namespace

void AppendText(std::string& out, std::string_view text, Context context) {
    std::size_t run = 0;  // start of the bytes not yet copied
    auto flush = [&](std::size_t end) { out.append(text.data() + run, end - run); };
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, at);
            if (length != 0) {
                at += length;
                continue;
            }
            flush(at);
            out += "\xEF\xBF\xBD";
            // A cut-short sequence is one character gone, not several.
            const std::size_t expected = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
            for (std::size_t follow = 1; follow < expected && at + 1 < text.size() &&
                                         (static_cast<unsigned char>(text[at + 1]) & 0xC0) == 0x80;
                 ++follow) {
                ++at;
            }
        } else if (c >= 0x20 && c != '&' && c != '<' && c != '>' && c != '"' && c != '_') {
            ++at;
            continue;
        } else {
            flush(at);
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += context == Context::Attribute ? "&quot;" : "\"";
                    break;
                case '_':
                    out += LooksLikeCharacterEscape(text, at) ? "_x005F_" : "_";
                    break;
                case '\t':
                case '\n':
                    if (context == Context::Attribute) {
                        out += c == '\t' ? "&#9;" : "&#10;";
                    } else {
                        out += static_cast<char>(c);
                    }
                    break;
                default:  // other control characters, carriage return among them
                    out += "_x";
                    AppendHex4(out, c);
                    out += '_';
                    break;
            }
        }
        ++at;
        run = at;
    }
    flush(text.size());
}

void AppendNumber(std::string& out, double value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendInteger(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendCellName(std::string& out, int row, int column) {
    AppendColumnName(out, column);
    AppendInteger(out, row + 1);
}

void AppendRange(std::string& out, int firstRow, int firstColumn, int lastRow, int lastColumn) {
    AppendCellName(out, firstRow, firstColumn);
    if (firstRow != lastRow || firstColumn != lastColumn) {
        out += ':';
        AppendCellName(out, lastRow, lastColumn);
    }
}

std::string_view Utf8Head(std::string_view text, std::size_t characters) {
    std::size_t end = 0;
    for (std::size_t seen = 0; end < text.size(); ++end) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && seen++ == characters) break;
    }
    return text.substr(0, end);
}

std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace xlsx::detail
