// Quoting and comparison of names and texts, shared by the parser, the
// catalog store and the functions.
#include <string>

#include "engine/Internal.h"

namespace engine::detail {

namespace {

// `text` between two `quote` characters, each one inside doubled.
std::string quoted(std::string_view text, char quote) {
    std::string out(1, quote);
    for (char c : text) {
        if (c == quote) out += quote;
        out += c;
    }
    return out + quote;
}

}  // namespace

std::string quoteIdent(std::string_view name) {
    return quoted(name, '"');
}

std::string quoteText(std::string_view text) {
    return quoted(text, '\'');
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::size_t utf8Length(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) ++n;
    }
    return n;
}

bool isSystemName(std::string_view tableName) {
    std::string up = upperAscii(tableName.substr(0, 7));
    return up.rfind("MSYS", 0) == 0 || up.rfind("SQLITE_", 0) == 0;
}

}  // namespace engine::detail
