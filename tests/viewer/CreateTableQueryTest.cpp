#include <gtest/gtest.h>

#include "tests/support/FakeMessageBoxes.h"
#include "viewer/CreateTableQuery.h"

namespace {

using viewer::CDataADOXTable;
using viewer::CDataColumn;

CDataColumn Column(std::string name, std::string type, std::string size, std::string key = "") {
    return {std::move(name), std::move(type), std::move(size), "", std::move(key), "", ""};
}

TEST(CreateTableQueryText, WritesTheStatementWithCrLf) {
    struct Case {
        const char* label;
        std::vector<CDataColumn> columns;
        std::string expected;
    };
    const Case cases[] = {
        {"the example",
         {Column("ID", "INTEGER", "4", "Primary Key"), Column("NAME", "VARCHAR", "50"),
          Column("PRICE", "DOUBLE", "8")},
         "CREATE TABLE [t_sample] (\r\n[ID]\tautoincrement(1,1) PRIMARY "
         "KEY,\r\n[NAME]\tVARCHAR(050),"
         "\r\n[PRICE]\tDOUBLE(008)\r\n);"},
        {"every column of a composite primary key",
         {Column("A", "INTEGER", "4", "Primary Key"), Column("B", "VARCHAR", "10", "Primary Key")},
         "CREATE TABLE [t_sample] (\r\n[A]\tautoincrement(1,1) PRIMARY KEY,\r\n"
         "[B]\tautoincrement(1,1) PRIMARY KEY\r\n);"},
        {"empty type name, sizes 4 and 1000, no size, other key kinds",
         {Column("PRICE", "", "8"), Column("S", "VARCHAR", "1000", "Foreign Key"),
          Column("N", "INTEGER", "4", "Unique Key"), Column("MEMO", "adLongVarWChar", "")},
         "CREATE TABLE [t_sample] (\r\n[PRICE]\t(008),\r\n[S]\tVARCHAR(1000),\r\n"
         "[N]\tINTEGER(004),\r\n[MEMO]\tadLongVarWChar\r\n);"},
        {"a cleared table", {}, "CREATE TABLE [t_sample] (\r\n);"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CDataADOXTable table("t_sample");
        table.columns = c.columns;
        EXPECT_EQ(viewer::CreateTableQueryText(table), c.expected);
    }
}

class ShowCreateTableQueryTest : public ::testing::Test {
  protected:
    std::optional<std::string> Show(const std::string& selected) {
        return viewer::ShowCreateTableQuery(
            selected,
            [this] {
                ++reads_;
                tableMap_.clear();
                auto table = std::make_unique<CDataADOXTable>("t_sample");
                table->columns = {Column("ID", "INTEGER", "4", "Primary Key")};
                tableMap_.emplace("t_sample", std::move(table));
                auto dotted = std::make_unique<CDataADOXTable>("t_dot");
                dotted->columns = {Column("a.b", "INTEGER", "4")};
                tableMap_.emplace("t_dot", std::move(dotted));
            },
            tableMap_, [this](const std::string& text) { copied_.push_back(text); }, boxes_);
    }

    viewer::TableMap tableMap_;
    int reads_ = 0;
    std::vector<std::string> copied_;
    testsupport::FakeMessageBoxes boxes_;
};

TEST_F(ShowCreateTableQueryTest, CopiesAndShowsTheStatementOfTheSelectedTable) {
    const std::string statement =
        "CREATE TABLE [t_sample] (\r\n[ID]\tautoincrement(1,1) PRIMARY KEY\r\n);";
    EXPECT_EQ(Show("t_sample"), statement);
    EXPECT_EQ(reads_, 1);
    EXPECT_EQ(copied_, std::vector<std::string>{statement});
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, statement);
    EXPECT_EQ(boxes_.Shown()[0].caption, "データベース");
    EXPECT_EQ(boxes_.Shown()[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(boxes_.Shown()[0].buttons, platform::MessageButtons::Ok);
}

TEST_F(ShowCreateTableQueryTest, NoSelectionOrAnUnknownNameShowsNothing) {
    EXPECT_EQ(Show(""), std::nullopt);
    EXPECT_EQ(reads_, 0);  // not even a read without a selection
    EXPECT_EQ(Show("[my table]"), std::nullopt);
    EXPECT_EQ(reads_, 1);
    EXPECT_TRUE(copied_.empty());
    EXPECT_TRUE(boxes_.Shown().empty());
}

// A name brackets cannot hold: why, in a stop box, and nothing copied.
TEST_F(ShowCreateTableQueryTest, ANameNoStatementCanHoldIsSaidAndNothingCopied) {
    EXPECT_EQ(Show("t_dot"), std::nullopt);
    EXPECT_TRUE(copied_.empty());
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text,
              "the name \"a.b\" cannot be used in a statement: a name cannot hold \".\"");
    EXPECT_EQ(boxes_.Shown()[0].icon, platform::MessageIcon::Stop);
}

}  // namespace
