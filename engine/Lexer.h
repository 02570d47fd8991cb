// Tokens of Jet SQL.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::detail {

enum class Tok {
    Word,       // identifier or keyword, as written
    Bracketed,  // [name], text without the brackets
    String,     // 'text' or "text", text with escapes resolved
    Number,     // as written
    Date,       // #...#, text between the signs
    Symbol,     // punctuation and operators: ( ) , . ; * + - / \ & ^ = <> < > <= >=
    End,
};

struct Token {
    Tok kind = Tok::End;
    std::string text;
    std::size_t offset = 0;  // byte offset in the statement
};

// The text quoted at `pos` (by the quote found there), the quote written
// twice inside standing for one, and `pos` moved past the closing quote;
// nullopt when it is never closed. SQL literals and connection texts quote
// alike.
std::optional<std::string> readQuoted(std::string_view text, std::size_t& pos);

// Splits a statement into tokens; raises a syntax error for an unterminated
// literal or a character that belongs to no token.
std::vector<Token> tokenize(std::string_view sql);

}  // namespace engine::detail
