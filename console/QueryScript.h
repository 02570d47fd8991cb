// Turning an operator's query text into the statements that run.
//
// The rules are the query console's: each line is taken as a multi-line edit
// control hands it out (at most 512 bytes, without its line break), empty
// lines are skipped, lines whose first byte is "#" are comments dropped whole,
// the remaining lines are joined with one blank after each, and the joined
// text is cut after every ";" -- also one inside a quoted literal, exactly as
// the operator's tool always has. The same rules serve the console window and
// the command line, so a script behaves the same in both.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace console {

// The longest line an edit control hands out; longer lines are cut to this
// many bytes on a character boundary.
inline constexpr std::size_t kMaxLineBytes = 512;

// What the operator is told when there is nothing to run, and when the text
// after the last ";" is not blank.
inline constexpr std::string_view kNoQueryText = "クエリを入力して下さい。";
inline constexpr std::string_view kMissingSemicolonText = "クエリの最後に「；」がありません";

// The lines of a text without their line breaks ("\n" or "\r\n"). A text
// that ends with a line break has an empty last line; the empty text has one
// empty line.
std::vector<std::string> SplitLines(std::string_view text);

struct QueryStatement {
    std::string text;  // as it runs: up to and including its ";", blanks kept
    int lineNumber;    // line (from 1) where its first non-blank character stands

    bool operator==(const QueryStatement&) const = default;
};

enum class SplitStatus {
    kOk,                // `statements` holds every statement, in order
    kNoQuery,           // no non-empty line: nothing to run
    kMissingSemicolon,  // the text after the last ";" is in `unterminated`
    kLineTooLong,       // a statement line longer than kMaxLineBytes, listed in `cutLines`
    kNotText,           // a statement line that is not UTF-8 text, listed in `notTextLines`
};

struct SplitResult {
    SplitStatus status = SplitStatus::kNoQuery;
    std::vector<QueryStatement> statements;
    std::optional<QueryStatement> unterminated;  // with kMissingSemicolon only
    std::vector<int> cutLines;      // statement lines (from 1) longer than kMaxLineBytes
    std::vector<int> notTextLines;  // statement lines (from 1) with a NUL or bytes not UTF-8
};

// What the operator is told for kLineTooLong: the lines, and that nothing ran.
std::string LineTooLongText(const std::vector<int>& cutLines);

// What the operator is told for kNotText: the lines, that nothing ran, and
// how a script saved in another character set is made UTF-8.
std::string NotTextLinesText(const std::vector<int>& lines);

// "[ 12行目 ]\n" followed by the statement, passwords masked: where a failing
// statement stands.
std::string StatementLocationText(const QueryStatement& statement);

// Splits the lines of an edit (or a script file) into statements.
// Never fails: a text without statements, with a remainder that lacks its
// ";" or with a statement line past kMaxLineBytes is answered by the status,
// and nothing runs then: a statement cut short (an UPDATE whose WHERE lay
// past the cut) would change rows the operator never meant. So it is for a
// statement line holding a NUL byte or bytes that are not UTF-8 (a script
// saved as Shift_JIS): its texts would be stored as bytes no reader shows
// and compared as no operator meant. A comment line may be any length and
// hold anything; a byte order mark before the first line is no part of it.
//
//   SplitQueries({"DELETE FROM t_a", "WHERE ID = 1;"})
//     -> kOk, {"DELETE FROM t_a WHERE ID = 1;", line 1}
SplitResult SplitQueries(const std::vector<std::string>& lines);

// SplitQueries(SplitLines(text)) without the list of lines, so a script of
// millions of empty lines costs no more than its text.
SplitResult SplitQueryText(std::string_view text);

}  // namespace console
