#include "console/QueryScript.h"

#include <algorithm>

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

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r' && end != std::string_view::npos) {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        if (end == std::string_view::npos) {
            return lines;
        }
        start = end + 1;
    }
}

std::string StatementLocationText(const QueryStatement& statement) {
    return "[ " + std::to_string(statement.lineNumber) + "行目 ]\n" +
           db::MaskPasswords(statement.text);
}

std::string LineTooLongText(const std::vector<int>& cutLines) {
    std::string lines;
    for (const int line : cutLines) lines += "[ " + std::to_string(line) + "行目 ]";
    return lines + " の行が" + std::to_string(kMaxLineBytes) +
           "バイトを超えています。切り詰めた文は実行できません。行を分けて入力して下さい。"
           "（何も実行していません）";
}

SplitResult SplitQueries(const std::vector<std::string>& lines) {
    SplitResult result;
    std::string joined;
    std::vector<LineStart> starts;
    bool anyLineKept = false;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const int lineNumber = static_cast<int>(index) + 1;
        const std::string line = db::CutUtf8(lines[index], kMaxLineBytes);
        if (line.empty()) {
            continue;
        }
        anyLineKept = true;
        if (line.front() == '#') {
            continue;
        }
        if (line.size() < lines[index].size()) {
            result.cutLines.push_back(lineNumber);
        }
        starts.push_back({joined.size(), lineNumber});
        joined += line;
        joined += ' ';
    }
    if (!anyLineKept) {
        result.status = SplitStatus::kNoQuery;
        return result;
    }
    if (!result.cutLines.empty()) {
        result.status = SplitStatus::kLineTooLong;
        return result;
    }

    result.status = SplitStatus::kOk;
    std::size_t begin = 0;
    while (begin < joined.size()) {
        const std::size_t semicolon = joined.find(';', begin);
        if (semicolon == std::string::npos) {
            // The joining blank after the last line is no statement of its own.
            if (joined.compare(begin, std::string::npos, " ") != 0) {
                result.unterminated = MakeStatement(joined, begin, joined.size(), starts);
                result.status = SplitStatus::kMissingSemicolon;
            }
            break;
        }
        result.statements.push_back(MakeStatement(joined, begin, semicolon + 1, starts));
        begin = semicolon + 1;
    }
    return result;
}

}  // namespace console
