// The viewer's reads on a real database file: the table list, the records of
// a table with the row limit, nulls and a load stopped part-way, the boxes of
// a failed load, and the compact rows the grid and the headless `show` keep.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/viewer/ViewerDatabase.h"
#include "viewer/CatalogReader.h"
#include "viewer/GridRows.h"
#include "viewer/TableReader.h"

namespace {

using viewertest::ViewerDatabase;

// Keeps the rows and stops once it has been asked `pausesAllowed` times.
class StoppingRows : public viewer::KeptRows {
  public:
    StoppingRows(std::size_t columns, int pausesAllowed)
        : KeptRows(columns), pausesAllowed_(pausesAllowed) {}
    void BeginRows(long count) override { counted = count; }
    void RowsRead(int n) override { rowsReported += n; }
    bool KeepGoing() override { return ++pauses <= pausesAllowed_; }

    long counted = -1;
    long rowsReported = 0;
    int pauses = 0;

  private:
    int pausesAllowed_;
};

std::vector<std::string> RowTexts(const viewer::GridRows& rows) {
    std::vector<std::string> texts;
    for (std::size_t r = 0; r < rows.CompleteRows(); ++r) {
        std::string line;
        for (std::size_t c = 0; c < rows.Columns(); ++c) line += std::string(rows.Cell(r, c)) + "|";
        texts.push_back(line);
    }
    return texts;
}

TEST(TableReader, LoadsTheNamedFieldsUpToTheLimitWithNullsAsEmptyTexts) {
    ViewerDatabase db;
    db.Run({"CREATE TABLE t_a (ID LONG, Name TEXT(10), Note TEXT(10))",
            "INSERT INTO t_a (ID, Name, Note) VALUES (1, 'x', NULL)",
            "INSERT INTO t_a (ID, Name, Note) VALUES (2, NULL, 'n')",
            "INSERT INTO t_a (ID, Name, Note) VALUES (3, 'z', 'm')"});
    struct Case {
        const char* limit;
        std::vector<std::string> rows;
    } cases[] = {
        {"500", {"|1|x|", "n|2||", "m|3|z|"}},
        {"2", {"|1|x|", "n|2||"}},
        {"", {"|1|x|", "n|2||", "m|3|z|"}},  // no limit: every row
    };
    for (const Case& c : cases) {
        // Fields in the grid's order, not the table's.
        const std::vector<std::string> headings = {"Note", "ID", "Name"};
        StoppingRows rows(headings.size(), 1000);
        ASSERT_TRUE(viewer::LoadRecords({db.Session(), db.Boxes()}, "t_a", headings, c.limit, rows))
            << c.limit;
        EXPECT_EQ(RowTexts(rows.rows), c.rows) << c.limit;
        EXPECT_EQ(rows.counted, 3) << "the count ignores the limit";
        EXPECT_EQ(rows.rowsReported, static_cast<long>(c.rows.size())) << c.limit;
        EXPECT_TRUE(db.Boxes().Shown().empty());
    }
}

TEST(TableReader, AStoppedLoadKeepsWholeRowsUpToThePause) {
    ViewerDatabase db;
    db.Run({"CREATE TABLE t_many (ID LONG, Name TEXT(20))"});
    auto connection = engine::Connection::create();
    connection->Open(
        *db::ConnectionText(db.Target().PathName, db.Target().FileName, db.Target().Extension, ""));
    connection->BeginTrans();
    const int total = viewer::kRowsPerPause * 2 + 10;
    for (int i = 0; i < total; ++i) {
        connection->Execute("INSERT INTO t_many (ID, Name) VALUES (" + std::to_string(i) +
                            ", 'row')");
    }
    connection->CommitTrans();
    connection->Close();

    StoppingRows stopped(2, 1);  // goes on at the first pause, stops at the second
    EXPECT_TRUE(
        viewer::LoadRecords({db.Session(), db.Boxes()}, "t_many", {"ID", "Name"}, "", stopped));
    EXPECT_EQ(stopped.pauses, 2);
    EXPECT_EQ(stopped.rows.CompleteRows(), static_cast<std::size_t>(viewer::kRowsPerPause * 2));
    EXPECT_EQ(stopped.rows.Cell(viewer::kRowsPerPause * 2 - 1, 0),
              std::to_string(viewer::kRowsPerPause * 2 - 1));
    EXPECT_EQ(stopped.counted, total);
}

TEST(TableReader, AFailedLoadShowsTheEngineErrorThenTheStatement) {
    ViewerDatabase db;
    db.Run({"CREATE TABLE t_a (ID LONG)"});
    viewer::KeptRows rows(1);
    // A heading that names no field: the record query is refused.
    EXPECT_FALSE(
        viewer::LoadRecords({db.Session(), db.Boxes()}, "t_a", {"NoSuchField"}, "500", rows));
    ASSERT_EQ(db.Boxes().Shown().size(), 2u);
    EXPECT_NE(db.Boxes().Shown()[0].text.find("Code : 0x"), std::string::npos)
        << db.Boxes().Shown()[0].text;
    EXPECT_EQ(db.Boxes().Shown()[1].text, "SELECT TOP 500 [NoSuchField] FROM [t_a] ;");
    for (const auto& box : db.Boxes().Shown()) {
        EXPECT_EQ(box.caption, viewer::kViewerCaption);
        EXPECT_EQ(box.icon, platform::MessageIcon::Stop);
    }
}

TEST(TableReader, TheTableListIsGroupedOrWholeAndSaysWhenItFailed) {
    ViewerDatabase db;
    db.Run({"CREATE TABLE t_log_202001 (a LONG)", "CREATE TABLE t_log_202003 (a LONG)",
            "CREATE TABLE t_b (a LONG)"});
    std::vector<std::string> grouped, all;
    EXPECT_TRUE(viewer::ReadTableList(db.Session(), viewer::TableGrouping::Grouped, grouped));
    EXPECT_TRUE(viewer::ReadTableList(db.Session(), viewer::TableGrouping::All, all));
    EXPECT_EQ(std::count(grouped.begin(), grouped.end(), "t_log_202001"), 0);
    EXPECT_EQ(std::count(grouped.begin(), grouped.end(), "t_log_202003"), 1);
    EXPECT_EQ(all.size(), 3u);

    // A session that never opened has no connection to ask.
    testsupport::FakeSessionWindow window;
    testsupport::FakeMessageBoxes boxes;
    db::DatabaseSession unopened(window, boxes, {"VantolyPatch", "2020/05/24"});
    std::vector<std::string> none;
    EXPECT_FALSE(viewer::ReadTableList(unopened, viewer::TableGrouping::All, none));
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(boxes.Shown().size(), 1u);
}

// Rows of every width up to past a block of a megabyte: each cell reads back
// as written, across the block boundaries.
TEST(GridRows, CellsReadBackAcrossBlocks) {
    viewer::GridRows rows;
    rows.Reset(3);
    const int count = 3000;  // about 1.5 MB of cells
    auto cellText = [](int row, int column) {
        return std::string(static_cast<std::size_t>((row * 7 + column * 13) % 500),
                           static_cast<char>('a' + column)) +
               std::to_string(row);
    };
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < 3; ++c) {
            rows.AppendCell(cellText(r, c));
            EXPECT_EQ(rows.CompleteRows(), static_cast<std::size_t>(c == 2 ? r + 1 : r));
        }
    }
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < 3; ++c) ASSERT_EQ(rows.Cell(r, c), cellText(r, c)) << r << "," << c;
    }
    rows.Reset(1);
    EXPECT_EQ(rows.CompleteRows(), 0u);
}

}  // namespace
