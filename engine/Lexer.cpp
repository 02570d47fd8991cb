#include "engine/Lexer.h"

#include "engine/Internal.h"

namespace engine::detail {

namespace {

bool isWordStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool isWordChar(unsigned char c) {
    return isWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void syntaxAt(std::string_view sql, std::size_t offset, const std::string& what) {
    std::string near(sql.substr(offset, 20));
    raise(hr::kSyntax, jet::kSyntaxInExpression,
          "Syntax error: " + what + " at position " + std::to_string(offset + 1) + " near '" +
              near + "'.");
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads "{guid {8-4-4-4-12}}" at `pos` into "{8-4-4-4-12}" with upper-case
// digits, moving `pos` past it; nullopt when the text there is not one.
std::optional<std::string> readGuidLiteral(std::string_view sql, std::size_t& pos) {
    std::size_t i = pos + 1;
    auto blanks = [&] {
        while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\t')) ++i;
    };
    blanks();
    if (sql.size() - i < 4 || !equalsNoCase(sql.substr(i, 4), "guid")) return std::nullopt;
    i += 4;
    blanks();
    if (i >= sql.size() || sql[i] != '{') return std::nullopt;
    std::string guid = "{";
    static constexpr int kGroups[] = {8, 4, 4, 4, 12};
    ++i;
    for (int g = 0; g < 5; ++g) {
        if (g > 0) {
            if (i >= sql.size() || sql[i] != '-') return std::nullopt;
            guid += '-';
            ++i;
        }
        for (int k = 0; k < kGroups[g]; ++k, ++i) {
            if (i >= sql.size() || !isHexDigit(sql[i])) return std::nullopt;
            const char h = sql[i];
            guid += (h >= 'a' && h <= 'f') ? static_cast<char>(h - 32) : h;
        }
    }
    if (i >= sql.size() || sql[i] != '}') return std::nullopt;
    ++i;
    blanks();
    if (i >= sql.size() || sql[i] != '}') return std::nullopt;
    pos = i + 1;
    return guid + "}";
}

}  // namespace

std::optional<std::string> readQuoted(std::string_view text, std::size_t& pos) {
    const char quote = text[pos];
    std::string value;
    for (std::size_t j = pos + 1; j < text.size();) {
        const std::size_t close = text.find(quote, j);
        if (close == std::string_view::npos) break;
        value.append(text.substr(j, close - j));
        if (close + 1 < text.size() && text[close + 1] == quote) {
            value += quote;
            j = close + 2;
            continue;
        }
        pos = close + 1;
        return value;
    }
    return std::nullopt;
}

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    tokens.reserve(sql.size() / 4 + 2);  // a token every few bytes: no moves while they come
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        Token t;
        t.offset = i;
        if (isWordStart(c)) {
            std::size_t j = i;
            while (j < n && isWordChar(static_cast<unsigned char>(sql[j]))) ++j;
            t.kind = Tok::Word;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else if (c == '@' && i + 2 < n && sql[i + 1] == '@' &&
                   isWordStart(static_cast<unsigned char>(sql[i + 2]))) {
            // @@IDENTITY and its kind: a word the parser knows by its two signs.
            std::size_t j = i + 2;
            while (j < n && isWordChar(static_cast<unsigned char>(sql[j]))) ++j;
            t.kind = Tok::Word;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else if (c == '{') {
            // {guid {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}}: the GUID as the text a GUID field
            // holds.
            std::optional<std::string> guid = readGuidLiteral(sql, i);
            if (!guid) syntaxAt(sql, i, "malformed {guid {...}} literal");
            t.kind = Tok::String;
            t.text = std::move(*guid);
        } else if (c == '[') {
            auto close = sql.find(']', i + 1);
            if (close == std::string_view::npos) syntaxAt(sql, i, "missing ]");
            t.kind = Tok::Bracketed;
            t.text = std::string(sql.substr(i + 1, close - i - 1));
            if (t.text.empty()) syntaxAt(sql, i, "empty name in brackets");
            i = close + 1;
        } else if (c == '\'' || c == '"') {
            std::size_t j = i;
            std::optional<std::string> text = readQuoted(sql, j);
            if (!text) syntaxAt(sql, i, "missing closing quote");
            t.kind = Tok::String;
            t.text = std::move(*text);
            i = j;
        } else if (c == '#') {
            auto close = sql.find('#', i + 1);
            if (close == std::string_view::npos) syntaxAt(sql, i, "missing closing # of a date");
            t.kind = Tok::Date;
            t.text = std::string(sql.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (isDigit(static_cast<char>(c)) ||
                   (c == '.' && i + 1 < n && isDigit(sql[i + 1]))) {
            std::size_t j = i;
            while (j < n && isDigit(sql[j])) ++j;
            if (j < n && sql[j] == '.') {
                ++j;
                while (j < n && isDigit(sql[j])) ++j;
            }
            if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
                if (k < n && isDigit(sql[k])) {
                    j = k;
                    while (j < n && isDigit(sql[j])) ++j;
                }
            }
            if (j < n && isWordStart(static_cast<unsigned char>(sql[j]))) {
                syntaxAt(sql, i, "a number runs into a name");
            }
            t.kind = Tok::Number;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else {
            static const char* two[] = {"<>", "<=", ">="};
            t.kind = Tok::Symbol;
            bool matched = false;
            for (const char* op : two) {
                if (sql.substr(i, 2) == op) {
                    t.text = op;
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                if (std::string_view("(),.;*+-/\\&^=<>!").find(static_cast<char>(c)) ==
                    std::string_view::npos) {
                    syntaxAt(sql, i, "unexpected character");
                }
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        tokens.push_back(std::move(t));
    }
    Token end;
    end.offset = n;
    tokens.push_back(end);
    return tokens;
}

}  // namespace engine::detail
