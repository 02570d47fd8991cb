#include "console/QueryScript.h"

#include <algorithm>
#include <cctype>

#include "db/PasswordMask.h"
#include "db/Utf8Text.h"

namespace console {

namespace {

// Where each kept line starts in the joined text, so a statement can name the
// line it comes from.
struct LineStart {
    std::size_t offset;
    int lineNumber;
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int LineNumberAt(const std::vector<LineStart>& starts, std::size_t offset) {
    auto after = std::upper_bound(
        starts.begin(), starts.end(), offset,
        [](std::size_t value, const LineStart& start) { return value < start.offset; });
    return after == starts.begin() ? 1 : std::prev(after)->lineNumber;
}

QueryStatement MakeStatement(const std::string& joined, std::size_t begin, std::size_t end,
                             const std::vector<LineStart>& starts) {
    std::size_t firstWord = begin;
    while (firstWord < end && IsBlank(joined[firstWord])) {
        ++firstWord;
    }
    if (firstWord == end) {
        // Only blanks: the line they end on is where the operator left them.
        firstWord = end - 1;
    }
    return {joined.substr(begin, end - begin), LineNumberAt(starts, firstWord)};
}

// Calls `take` with each line of `text`, as SplitLines answers them, without
// a list of them.
template <typename Take>
void ForEachLine(std::string_view text, Take take) {
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r' && end != std::string_view::npos) {
            line.remove_suffix(1);
        }
        take(line);
        if (end == std::string_view::npos) {
            return;
        }
        start = end + 1;
    }
}

// Whether `piece` holds Jet's reserved word PARAMETERS outside quotes and
// brackets: the head of a statement that goes on after the ";" ending it.
bool DeclaresParameters(std::string_view piece) {
    char closing = 0;
    std::size_t wordStart = std::string_view::npos;
    for (std::size_t i = 0; i <= piece.size(); ++i) {
        const char c = i < piece.size() ? piece[i] : ' ';
        if (closing != 0) {
            if (c == closing) closing = 0;
            continue;
        }
        const bool wordChar = std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        if (wordChar && wordStart == std::string_view::npos) wordStart = i;
        if (wordChar) continue;
        if (wordStart != std::string_view::npos) {
            const std::string_view word = piece.substr(wordStart, i - wordStart);
            wordStart = std::string_view::npos;
            if (word.size() == 10 &&
                std::equal(word.begin(), word.end(), "PARAMETERS", [](char a, char b) {
                    return std::toupper(static_cast<unsigned char>(a)) == b;
                }))
                return true;
        }
        if (c == '\'' || c == '"') closing = c;
        if (c == '[') closing = ']';
    }
    return false;
}

// The statements of lines handed over one at a time: a script's empty lines
// cost nothing, however many there are.
class StatementSplitter {
  public:
    void Add(std::string_view rawLine) {
        const int lineNumber = ++lineCount_;
        // Editors on Windows save UTF-8 with a byte order mark first.
        if (lineNumber == 1 && rawLine.starts_with(kByteOrderMark))
            rawLine.remove_prefix(kByteOrderMark.size());
        const std::string line = db::CutUtf8(rawLine, kMaxLineBytes);
        if (line.empty()) {
            return;
        }
        anyLineKept_ = true;
        if (line.front() == '#') {
            return;
        }
        if (line.size() < rawLine.size()) {
            result_.cutLines.push_back(lineNumber);
        }
        if (rawLine.find('\0') != std::string_view::npos || !db::IsWellFormedUtf8(rawLine)) {
            result_.notTextLines.push_back(lineNumber);
        }
        starts_.push_back({joined_.size(), lineNumber});
        joined_ += line;
        joined_ += ' ';
    }

    SplitResult Finish() {
        if (!anyLineKept_) {
            result_.status = SplitStatus::kNoQuery;
            return std::move(result_);
        }
        if (!result_.cutLines.empty()) {
            result_.status = SplitStatus::kLineTooLong;
            return std::move(result_);
        }
        if (!result_.notTextLines.empty()) {
            result_.status = SplitStatus::kNotText;
            return std::move(result_);
        }
        result_.status = SplitStatus::kOk;
        std::size_t begin = 0;
        while (begin < joined_.size()) {
            const std::size_t semicolon = joined_.find(';', begin);
            if (semicolon == std::string::npos) {
                // The joining blank after the last line is no statement of its own.
                if (joined_.compare(begin, std::string::npos, " ") != 0) {
                    result_.unterminated = MakeStatement(joined_, begin, joined_.size(), starts_);
                    result_.status = SplitStatus::kMissingSemicolon;
                }
                break;
            }
            std::size_t end = semicolon + 1;
            // Jet's PARAMETERS clause ends with its own ";" before the
            // statement it heads: the two are one statement.
            if (DeclaresParameters(std::string_view(joined_).substr(begin, semicolon - begin))) {
                if (const std::size_t next = joined_.find(';', end); next != std::string::npos)
                    end = next + 1;
            }
            result_.statements.push_back(MakeStatement(joined_, begin, end, starts_));
            begin = end;
        }
        return std::move(result_);
    }

  private:
    SplitResult result_;
    std::string joined_;
    std::vector<LineStart> starts_;
    int lineCount_ = 0;
    bool anyLineKept_ = false;
};

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    ForEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string StatementLocationText(const QueryStatement& statement) {
    return "[ " + std::to_string(statement.lineNumber) + "行目 ]\n" +
           db::MaskPasswords(statement.text);
}

namespace {

std::string LineNumbersText(const std::vector<int>& lineNumbers) {
    std::string lines;
    for (const int line : lineNumbers) lines += "[ " + std::to_string(line) + "行目 ]";
    return lines;
}

}  // namespace

std::string LineTooLongText(const std::vector<int>& cutLines) {
    return LineNumbersText(cutLines) + " の行が" + std::to_string(kMaxLineBytes) +
           "バイトを超えています。切り詰めた文は実行できません。行を分けて入力して下さい。"
           "（何も実行していません）";
}

std::string NotTextLinesText(const std::vector<int>& lines) {
    return LineNumbersText(lines) +
           " の行にUTF-8の文字でないバイト（またはNUL）があります。Shift_JISなどで保存した"
           "ファイルはUTF-8に変換して下さい（例： iconv -f CP932 -t "
           "UTF-8）。（何も実行していません）";
}

SplitResult SplitQueries(const std::vector<std::string>& lines) {
    StatementSplitter splitter;
    for (const std::string& line : lines) splitter.Add(line);
    return splitter.Finish();
}

SplitResult SplitQueryText(std::string_view text) {
    StatementSplitter splitter;
    ForEachLine(text, [&splitter](std::string_view line) { splitter.Add(line); });
    return splitter.Finish();
}

}  // namespace console
