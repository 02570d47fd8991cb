// A1 references as the workbook layouts write them.
#include <gtest/gtest.h>

#include "xlsx/CellReference.h"

namespace {

TEST(CellReferenceTest, ReferencesReadAsRowsFromOneAndColumnsFromZero) {
    const struct {
        const char* reference;
        int row;  // for a column span
        int firstRow, firstColumn, lastRow, lastColumn;
    } cases[] = {
        {"A1", 1, 1, 0, 1, 0},       {"B2:E4", 1, 2, 1, 4, 4},
        {"A:AG", 10, 10, 0, 10, 32},  // a column span takes the row given
        {"AA7", 1, 7, 26, 7, 26},    {"Z100:AB120", 1, 100, 25, 120, 27},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reference);
        const xlsx::Range range = xlsx::Cells(c.reference, c.row);
        EXPECT_EQ(range.firstRow, c.firstRow);
        EXPECT_EQ(range.firstColumn, c.firstColumn);
        EXPECT_EQ(range.lastRow, c.lastRow);
        EXPECT_EQ(range.lastColumn, c.lastColumn);
    }
    static_assert(xlsx::ColumnOf("AG") == 32,
                  "the table sheets' last column is usable at compile time");
}

TEST(CellReferenceTest, SheetLocationQuotesTheNameAndDoublesItsApostrophes) {
    EXPECT_EQ(xlsx::SheetLocation("テーブル一覧"), "'テーブル一覧'!A1");
    EXPECT_EQ(xlsx::SheetLocation("O'Brien's"), "'O''Brien''s'!A1");
}

}  // namespace
