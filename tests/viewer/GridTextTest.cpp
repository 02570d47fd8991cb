#include <gtest/gtest.h>

#include "viewer/GridText.h"

namespace {

using Names = std::vector<std::string>;
using viewer::TableGrouping;

struct GroupingCase {
    const char* label;
    Names tables;
    Names grouped;  // the list with the box checked
    Names all;      // and unchecked
};

TEST(TableListLines, GroupsDatedTablesUnderTheirNewestMember) {
    const GroupingCase cases[] = {
        {"newest of a family, in ListUserTables' order",
         {"t_log_200101", "m_user", "t_log_200315", "t_log_190101"},
         {"m_user", "t_log_200315"},
         {"t_log_200101", "m_user", "t_log_200315", "t_log_190101"}},
        {"an undated sibling hides behind a dated family",
         {"t_log_2001AB", "t_log_200101"},
         {"t_log_200101"},
         {"t_log_2001AB", "t_log_200101"}},
        {"an undated name alone is listed",
         {"t_log_2001AB", "t_other_200101"},
         {"t_log_2001AB", "t_other_200101"},
         {"t_log_2001AB", "t_other_200101"}},
        {"seven bytes is the shortest dated name; the prefix may be empty",
         {"_200101", "_190101", "x_20010"},
         {"_200101", "x_20010"},
         {"_200101", "_190101", "x_20010"}},
        {"MSys names are never listed",
         {"MSysObjects", "MSys_200101", "MSG_LOG"},
         {"MSG_LOG"},
         {"MSG_LOG"}},
        {"bytes, not characters: a Japanese prefix",
         {"月次_200101", "月次_200102"},
         {"月次_200102"},
         {"月次_200101", "月次_200102"}},
    };
    for (const GroupingCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(viewer::TableListLines(c.tables, TableGrouping::Grouped), c.grouped);
        EXPECT_EQ(viewer::TableListLines(c.tables, TableGrouping::All), c.all);
    }
}

TEST(GridQueries, CountAndRecordStatements) {
    EXPECT_EQ(viewer::CountQueryText("t_sample"), "SELECT COUNT(*) AS DataCount FROM [t_sample] ;");
    EXPECT_EQ(viewer::CountQueryText("Order Details"),
              "SELECT COUNT(*) AS DataCount FROM [Order Details] ;");

    struct Case {
        std::string limit;
        Names headings;
        std::string expected;
    };
    const Case cases[] = {
        {"500", {"ID", "NAME"}, "SELECT TOP 500 [ID],[NAME] FROM [t_sample] ;"},
        {"", {"ID", "NAME"}, "SELECT [ID],[NAME] FROM [t_sample] ;"},
        {"0", {"ID"}, "SELECT [ID] FROM [t_sample] ;"},
        {"0500", {"ID"}, "SELECT TOP 500 [ID] FROM [t_sample] ;"},
        {"abc", {"ID"}, "SELECT [ID] FROM [t_sample] ;"},
        {"99999999999999999999999", {"ID"}, "SELECT [ID] FROM [t_sample] ;"},
        // Only the number reaches the statement.
        {"5 ; DROP TABLE x", {"ID"}, "SELECT TOP 5 [ID] FROM [t_sample] ;"},
        {"500", {}, "SELECT TOP 500 FROM [t_sample] ;"},  // refused by the engine
        {"500", {"Full Name", "Select"}, "SELECT TOP 500 [Full Name],[Select] FROM [t_sample] ;"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(viewer::RecordQueryText("t_sample", c.headings, c.limit), c.expected) << c.limit;
    }
    EXPECT_EQ(viewer::RowLimitFromText("500"), 500);
    EXPECT_EQ(viewer::RowLimitFromText(""), std::nullopt);
    EXPECT_EQ(viewer::RowLimitFromText("0"), std::nullopt);
    EXPECT_EQ(viewer::IntegerValueOf("1234"), 1234);
    EXPECT_EQ(viewer::IntegerValueOf(" 12x"), 12);
    EXPECT_EQ(viewer::IntegerValueOf("x"), 0);
}

TEST(GridCopyText, EveryLineEndsWithATabBeforeItsLineFeed) {
    EXPECT_EQ(viewer::GridCopyText({"ID", "名前"}, {{"1", "東京"}, {"2", ""}}),
              "ID\t名前\t\n1\t東京\t\n2\t\t\n");
    EXPECT_EQ(viewer::GridCopyText({"ID"}, {}), "ID\t\n");
    EXPECT_EQ(viewer::GridCopyText({}, {}), "\n");
    // Headings come through the grid's 256-byte buffer: 85 three-byte
    // characters fit in 255 bytes, the 86th does not.
    std::string longHeading;
    for (int i = 0; i < 86; ++i) longHeading += "あ";
    EXPECT_EQ(viewer::GridCopyText({longHeading}, {}), longHeading.substr(0, 255) + "\t\n");
}

}  // namespace
