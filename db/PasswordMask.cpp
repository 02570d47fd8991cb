#include "db/PasswordMask.h"

#include <algorithm>
#include <vector>

namespace db {

namespace {

constexpr std::string_view kAlterWords[] = {"ALTER", "DATABASE", "PASSWORD"};
constexpr std::string_view kConnectionPasswordKey = "JET OLEDB:DATABASE PASSWORD";
constexpr std::string_view kConnectPasswordKey = "PWD";

bool IsWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u >= 0x80;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `upperText` stands at `pos`, in any case, with no word character
// right before it.
bool TextAt(std::string_view text, std::size_t pos, std::string_view upperText) {
    if (pos + upperText.size() > text.size() || (pos > 0 && IsWordChar(text[pos - 1])))
        return false;
    for (std::size_t i = 0; i < upperText.size(); ++i) {
        if (UpperAscii(text[pos + i]) != upperText[i]) return false;
    }
    return true;
}

// Whether `upperWord` stands at `pos` as a whole word.
bool WordAt(std::string_view text, std::size_t pos, std::string_view upperWord) {
    const std::size_t end = pos + upperWord.size();
    return TextAt(text, pos, upperWord) && (end == text.size() || !IsWordChar(text[end]));
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos;
}

std::size_t SkipSpaces(std::string_view text, std::size_t pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    return pos;
}

// Where the blanks after the three words of ALTER DATABASE PASSWORD starting
// at `pos` end; npos when the words are not there.
std::size_t AfterAlterWords(std::string_view text, std::size_t pos) {
    for (std::string_view word : kAlterWords) {
        if (!WordAt(text, pos, word)) return std::string_view::npos;
        pos = SkipBlanks(text, pos + word.size());
    }
    return pos;
}

// Where a run of characters up to the next blank or ";" ends.
std::size_t RunEnd(std::string_view text, std::size_t pos) {
    while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != ';') ++pos;
    return pos;
}

// Where the closing quote of the quoted string at `pos` is, a doubled quote
// staying inside; npos when it is not closed.
std::size_t ClosingQuote(std::string_view text, std::size_t pos) {
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] != text[pos]) continue;
        if (i + 1 < text.size() && text[i + 1] == text[pos]) {
            ++i;
            continue;
        }
        return i;
    }
    return std::string_view::npos;
}

// The end of the password argument at `pos` as the statement lexer reads it:
// a bracketed name, a quoted string or a run up to the next blank or ";".
// An unclosed one runs to the end of the text; characters stuck to the
// closing bracket or quote are taken along, as the operator may have meant
// them as part of the password.
std::size_t ArgumentEnd(std::string_view text, std::size_t pos) {
    std::size_t close = pos;
    if (text[pos] == '[') {
        close = text.find(']', pos + 1);
    } else if (text[pos] == '\'' || text[pos] == '"') {
        close = ClosingQuote(text, pos);
    }
    return close == std::string_view::npos ? text.size() : RunEnd(text, close);
}

// The end of a connection text's key=value pair whose value starts at `pos`.
// A quoted value ends, as the engine reads it, at the last quote before a
// ";" on the line (a quote inside the password stays part of it), else at
// the last quote on the line; anything else at the next ";".
std::size_t ConnectionValueEnd(std::string_view text, std::size_t pos) {
    const std::size_t lineEnd = std::min(text.find_first_of("\r\n", pos), text.size());
    const std::string_view line = text.substr(0, lineEnd);
    const char first = pos < lineEnd ? text[pos] : '\0';
    if (first == '\'' || first == '"') {
        const char closing[] = {first, ';'};
        std::size_t close = line.rfind(std::string_view(closing, 2));
        if (close == std::string_view::npos || close <= pos) close = line.rfind(first);
        return close == std::string_view::npos || close <= pos ? lineEnd : close + 1;
    }
    return std::min(line.find(';', pos), lineEnd);
}

// The length of a connection text's password key at `pos` ("PWD" only where
// a key can begin: at the start or after ";" and blanks); 0 when none is there.
std::size_t ConnectionKeyAt(std::string_view text, std::size_t pos) {
    if (TextAt(text, pos, kConnectionPasswordKey)) return kConnectionPasswordKey.size();
    if (!WordAt(text, pos, kConnectPasswordKey)) return 0;
    std::size_t before = pos;
    while (before > 0 && (text[before - 1] == ' ' || text[before - 1] == '\t')) --before;
    return before == 0 || text[before - 1] == ';' ? kConnectPasswordKey.size() : 0;
}

class Masker {
  public:
    explicit Masker(std::string_view text) : text_(text) {}

    std::string Run() {
        std::size_t pos = 0;
        while (pos < text_.size()) pos = MaskAt(pos);
        out_.append(text_.substr(copied_));
        return std::move(out_);
    }

    // Every password Run replaced, as the text wrote it.
    const std::vector<std::string_view>& Masked() const { return masked_; }

  private:
    // Masks what begins at `pos`; where to look next.
    std::size_t MaskAt(std::size_t pos) {
        if (std::size_t argument = AfterAlterWords(text_, pos);
            argument != std::string_view::npos) {
            for (int count = 0; count < 2 && argument < text_.size(); ++count) {
                if (WordAt(text_, argument, "NULL")) {
                    argument = SkipBlanks(text_, argument + 4);
                    continue;
                }
                const std::size_t end = ArgumentEnd(text_, argument);
                if (end == argument) break;
                Replace(argument, end);
                argument = SkipBlanks(text_, end);
            }
            return std::max(argument, pos + 1);
        }
        if (const std::size_t keyLength = ConnectionKeyAt(text_, pos); keyLength > 0) {
            const std::size_t equals = SkipSpaces(text_, pos + keyLength);
            if (equals < text_.size() && text_[equals] == '=') {
                const std::size_t value = SkipSpaces(text_, equals + 1);
                const std::size_t end = ConnectionValueEnd(text_, value);
                if (end > value) Replace(value, end);
                return std::max(end, equals + 1);
            }
        }
        return pos + 1;
    }

    void Replace(std::size_t begin, std::size_t end) {
        out_.append(text_.substr(copied_, begin - copied_));
        out_.append(kMaskedPassword);
        copied_ = end;
        masked_.push_back(text_.substr(begin, end - begin));
    }

    std::string_view text_;
    std::string out_;
    std::size_t copied_ = 0;
    std::vector<std::string_view> masked_;
};

// The shortest piece of a password hidden where an error quotes part of it.
constexpr std::size_t kShortestHiddenPiece = 3;

// Replaces every occurrence of `piece` in `text`.
void ReplaceAll(std::string& text, std::string_view piece) {
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + kMaskedPassword.size())) {
        text.replace(at, piece.size(), kMaskedPassword);
    }
}

}  // namespace

std::string MaskPasswords(std::string_view text) {
    return Masker(text).Run();
}

std::string MaskPasswordsOfStatement(std::string_view text, std::string_view statement) {
    std::string masked = MaskPasswords(text);
    Masker passwords(statement);
    passwords.Run();
    for (std::string_view password : passwords.Masked()) {
        // Longest pieces first, so a shorter one never leaves the rest of a
        // longer one standing.
        for (std::size_t length = password.size(); length >= kShortestHiddenPiece; --length) {
            for (std::size_t start = 0; start + length <= password.size(); ++start) {
                ReplaceAll(masked, password.substr(start, length));
            }
        }
    }
    return masked;
}

}  // namespace db
