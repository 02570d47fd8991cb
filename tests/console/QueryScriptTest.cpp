#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/QueryScript.h"

namespace console {
void PrintTo(const QueryStatement& statement, std::ostream* out) {
    *out << "{\"" << statement.text << "\", line " << statement.lineNumber << "}";
}
}  // namespace console

namespace {

using console::QueryStatement;
using console::SplitQueries;
using console::SplitStatus;

struct SplitCase {
    const char* name;
    std::vector<std::string> lines;
    SplitStatus status;
    std::vector<QueryStatement> statements;
    std::optional<QueryStatement> unterminated;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

class SplitQueriesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitQueriesTest, SplitsAsTheConsoleDoes) {
    const SplitCase& c = GetParam();
    const console::SplitResult result = SplitQueries(c.lines);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.statements, c.statements);
    EXPECT_EQ(result.unterminated, c.unterminated);
    EXPECT_TRUE(result.cutLines.empty());
    EXPECT_TRUE(result.notTextLines.empty());
}

// Columns: name, lines of the edit, status, statements (text, line from 1),
// the remainder that lacks its ";".
INSTANTIATE_TEST_SUITE_P(
    Cases, SplitQueriesTest,
    testing::Values(SplitCase{"two_lines_joined_by_a_blank",
                              {"DELETE FROM t_a", "WHERE ID = 1;"},
                              SplitStatus::kOk,
                              {{"DELETE FROM t_a WHERE ID = 1;", 1}},
                              std::nullopt},
                    SplitCase{"two_statements_on_one_line_second_keeps_its_blank",
                              {"UPDATE t_a SET X = 1; UPDATE t_a SET Y = 2;"},
                              SplitStatus::kOk,
                              {{"UPDATE t_a SET X = 1;", 1}, {" UPDATE t_a SET Y = 2;", 1}},
                              std::nullopt},
                    SplitCase{"no_semicolon_runs_nothing",
                              {"SELECT 1"},
                              SplitStatus::kMissingSemicolon,
                              {},
                              QueryStatement{"SELECT 1 ", 1}},
                    SplitCase{"text_after_the_last_semicolon",
                              {"DELETE FROM t_a;", "", "DELETE FROM t_b"},
                              SplitStatus::kMissingSemicolon,
                              {{"DELETE FROM t_a;", 1}},
                              QueryStatement{" DELETE FROM t_b ", 3}},
                    SplitCase{"trailing_blank_line_is_a_remainder_without_semicolon",
                              {"DELETE FROM t_a;", "   "},
                              SplitStatus::kMissingSemicolon,
                              {{"DELETE FROM t_a;", 1}},
                              QueryStatement{"     ", 2}},
                    SplitCase{"comment_line_with_semicolon_is_dropped_whole",
                              {"# DELETE FROM t_a; keep this out", "SELECT a FROM t_a;"},
                              SplitStatus::kOk,
                              {{"SELECT a FROM t_a;", 2}},
                              std::nullopt},
                    SplitCase{"blank_before_hash_is_no_comment",
                              {" # x;"},
                              SplitStatus::kOk,
                              {{" # x;", 1}},
                              std::nullopt},
                    SplitCase{"semicolon_inside_a_literal_splits_there",
                              {"INSERT INTO t_a (S) VALUES ('x;y');"},
                              SplitStatus::kOk,
                              {{"INSERT INTO t_a (S) VALUES ('x;", 1}, {"y');", 1}},
                              std::nullopt},
                    SplitCase{"line_numbers_count_empty_and_comment_lines",
                              {"", "# header", "SELECT 1;", "", "SELECT", "\t2;", "INSERT INTO t;"},
                              SplitStatus::kOk,
                              {{"SELECT 1;", 3}, {" SELECT \t2;", 5}, {" INSERT INTO t;", 7}},
                              std::nullopt},
                    SplitCase{"statement_starting_after_a_line_end_belongs_to_the_next_line",
                              {"SELECT 1;", "SELECT 2;"},
                              SplitStatus::kOk,
                              {{"SELECT 1;", 1}, {" SELECT 2;", 2}},
                              std::nullopt},
                    SplitCase{"only_comments_is_an_empty_run",
                              {"# nothing to do;"},
                              SplitStatus::kOk,
                              {},
                              std::nullopt},
                    SplitCase{"no_lines", {}, SplitStatus::kNoQuery, {}, std::nullopt},
                    SplitCase{
                        "only_empty_lines", {"", "", ""}, SplitStatus::kNoQuery, {}, std::nullopt}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(SplitQueriesCut, LongStatementLineRefusesTheWholeText) {
    // An UPDATE whose WHERE lies past byte 512 would change every row if the
    // cut statement ran: nothing runs, and the line is named.
    const std::string longLine =
        "UPDATE t_kumi SET KumiName = 'x' " + std::string(500, ' ') + "WHERE KumiID = 1;";
    const console::SplitResult result = SplitQueries({"SELECT 0;", longLine, "SELECT 1;"});

    EXPECT_EQ(result.status, SplitStatus::kLineTooLong);
    EXPECT_TRUE(result.statements.empty());
    EXPECT_EQ(result.cutLines, std::vector<int>{2});
    EXPECT_NE(console::LineTooLongText(result.cutLines).find("[ 2行目 ]"), std::string::npos);

    // A comment line may be any length: what is cut of it never runs.
    const console::SplitResult comment = SplitQueries({"# " + std::string(600, 'c'), "SELECT 0;"});
    EXPECT_EQ(comment.status, SplitStatus::kOk);
    EXPECT_TRUE(comment.cutLines.empty());
}

TEST(SplitQueriesNotText, BytesThatAreNotUtf8OrANulRefuseTheWholeText) {
    const console::SplitResult result =
        SplitQueries({"SELECT 0;", "SELECT '\x82\xa0';", "# \xff comment",
                      "SELECT '" + std::string(1, '\0') + "';", "SELECT '\xE3\x81\x82';"});
    EXPECT_EQ(result.status, SplitStatus::kNotText);
    EXPECT_TRUE(result.statements.empty());
    EXPECT_EQ(result.notTextLines, (std::vector<int>{2, 4}));
    EXPECT_NE(console::NotTextLinesText(result.notTextLines).find("[ 2行目 ][ 4行目 ]"),
              std::string::npos);

    // A byte order mark before the first line is dropped; elsewhere it is text.
    const console::SplitResult bom =
        SplitQueries({"\xEF\xBB\xBFSELECT 1;", "\xEF\xBB\xBFSELECT 2;"});
    EXPECT_EQ(bom.status, SplitStatus::kOk);
    EXPECT_EQ(bom.statements,
              (std::vector<QueryStatement>{{"SELECT 1;", 1}, {" \xEF\xBB\xBFSELECT 2;", 2}}));
}

TEST(SplitQueriesCut, LineOfExactly512BytesIsKeptWhole) {
    const std::string line = "SELECT " + std::string(504, 'a') + ";";
    ASSERT_EQ(line.size(), 512u);
    const console::SplitResult result = SplitQueries({line});
    ASSERT_EQ(result.statements.size(), 1u);
    EXPECT_EQ(result.statements[0].text, line);
    EXPECT_TRUE(result.cutLines.empty());
}

TEST(SplitLines, BreaksAtLineFeedsAndDropsCarriageReturns) {
    EXPECT_EQ(console::SplitLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(console::SplitLines("a\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(console::SplitLines(""), (std::vector<std::string>{""}));
    // A carriage return that ends no line stays part of the text.
    EXPECT_EQ(console::SplitLines("a\rb"), (std::vector<std::string>{"a\rb"}));
}

// The text is split as its lines are, statement for statement and line for
// line, without the list of lines.
TEST(SplitQueryText, AgreesWithSplittingItsLines) {
    for (const std::string& text : std::vector<std::string>{
             "", "\n\n", "# c\n", "SELECT 1;\r\n\r\nSELECT\n 2;", "a;\nb", "a\rb;\n",
             "SELECT '" + std::string(600, 'x') + "';\n\nSELECT 3;"}) {
        const console::SplitResult lines = console::SplitQueries(console::SplitLines(text));
        const console::SplitResult whole = console::SplitQueryText(text);
        EXPECT_EQ(whole.status, lines.status) << text;
        EXPECT_EQ(whole.statements, lines.statements) << text;
        EXPECT_EQ(whole.unterminated, lines.unterminated) << text;
        EXPECT_EQ(whole.cutLines, lines.cutLines) << text;
    }
}

}  // namespace
