#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "tests/support/TempFolder.h"
#include "tests/viewer/ViewerFakes.h"
#include "tests/viewer/WorkbookFacts.h"
#include "viewer/TableDefinitionWorkbook.h"

namespace {

using viewer::CDataADOXTable;
using viewer::CDataColumn;
using viewertest::WorkbookFacts;

// Facts of the reader, by aspect: font is name/size/bold-italic/colour/underline,
// fill pattern/foreground/background, border left/top/right/bottom.
const struct {
    std::string whiteBold = "ＭＳ 明朝/11/b/FFFFFFFF/none";
    std::string plain = "ＭＳ 明朝/11//none/none";
    std::string headerFill = "solid/FF339966/i64";
    std::string lightFill = "solid/FFCCFFCC/i64";
    std::string thin = "thin/thin/thin/thin";
} kLook;

// The reader gives column widths as stored, with the pixel padding the
// spreadsheet adds: a width w (in characters of 7 pixels) becomes
// (round(7w) + 5) / 7.
std::string StoredWidth(double width) {
    const double stored = (std::floor(width * 7 + 0.5) + 5) / 7;
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", stored);
    return text;
}

std::string Join(std::vector<std::string> parts, const std::string& separator) {
    std::string joined;
    for (std::size_t at = 0; at < parts.size(); ++at) {
        joined += (at ? separator : "") + parts[at];
    }
    return joined;
}

CDataColumn Column(std::string name, std::string type = "INTEGER", std::string size = "4",
                   std::string required = "", std::string key = "") {
    return {std::move(name),
            std::move(type),
            std::move(size),
            std::move(required),
            std::move(key),
            "",
            ""};
}

// The longest name of the list: 16 characters of 3 bytes each.
const std::string kLongName = "テーブル名が三十一バイトを超える";
const std::string kLongSheetName = "テーブル名が三十一バ";  // its first 30 bytes

class TableDefinitionWorkbookTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto add = [](std::string name) -> CDataADOXTable& {
            auto table = std::make_unique<CDataADOXTable>(name);
            CDataADOXTable& stored = *table;
            model_.emplace(name, std::move(table));
            return stored;
        };
        CDataADOXTable& fields = add("fields_only");
        fields.columns = {Column("ID", "INTEGER", "4", "YES", "Primary Key"),
                          Column("NAME", "VARCHAR", "50"), Column("PRICE", "", "8")};
        fields.columns[1].descriptionText = "請求書に印字する名前";
        fields.description = "得意先、一行に一社";

        CDataADOXTable& indexed = add("with_indexes");
        indexed.columns = {Column("A"), Column("B")};
        indexed.indexes = {{"with_indexes", "YES", "PrimaryKey", "", "A"},
                           {"with_indexes", "", "idx_b", "", "B, A"}};

        CDataADOXTable& keyed = add("keys_only");
        keyed.columns = {Column("A"), Column("B")};
        keyed.foreignKeys = {{"A", "fk_ab", "other", "X"}, {"B", "fk_ab", "other", "Y"}};

        CDataADOXTable& both = add("both");
        both.columns = {Column("A")};
        both.indexes = {{"both", "", "idx_a", "", "A"}};
        both.foreignKeys = {{"A", "fk_a", "other", "X"}};

        CDataADOXTable& noColumns = add("no_columns");
        noColumns.indexes = {{"no_columns", "", "idx", "", "A"}};

        add(kLongName).columns = {Column("A")};

        folder_ = std::make_unique<testsupport::TempFolder>();
        path_ = folder_->Folder() + "仕様書EXCEL.xlsx";
        viewer::TableDefinitionWorkbookWriter(model_, kList).Write(path_, progress_);
        facts_ = viewertest::ReadWorkbookFacts(path_);
    }
    static void TearDownTestSuite() {
        folder_.reset();
        model_.clear();
    }

    static std::string Fact(const std::string& key) {
        const auto found = facts_.find(key);
        return found == facts_.end() ? "(absent)" : found->second;
    }

    // The highest row of a sheet that holds any cell.
    static int LastRow(const std::string& sheet) {
        int last = 0;
        const std::string prefix = sheet + "!";
        for (const auto& [key, value] : facts_) {
            if (key.rfind(prefix, 0) != 0 || key.find(".border") == std::string::npos) continue;
            const std::string cell = key.substr(prefix.size(), key.find('.') - prefix.size());
            const std::size_t digits = cell.find_first_of("0123456789");
            last = std::max(last, std::stoi(cell.substr(digits)));
        }
        return last;
    }

    static inline const std::vector<std::string> kList = {
        "with_indexes", "[my table]", "fields_only", kLongName, "keys_only", "both", "no_columns",
    };
    static inline viewer::TableMap model_;
    static inline std::unique_ptr<testsupport::TempFolder> folder_;
    static inline std::string path_;
    static inline viewertest::RecordingProgress progress_;
    static inline WorkbookFacts facts_;
};

TEST_F(TableDefinitionWorkbookTest, IndexSheetFirstThenOneSheetPerModelTableInListOrder) {
    EXPECT_EQ(Fact("sheets"), "テーブル一覧|with_indexes|fields_only|" + kLongSheetName +
                                  "|keys_only|both|no_columns");
    EXPECT_FALSE(std::filesystem::exists(folder_->Folder() + "[my table]"));
    // Nothing but the workbook is left in its folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_->Path()),
                            std::filesystem::directory_iterator()),
              1);
}

// Every element of the template, on every table sheet.
TEST_F(TableDefinitionWorkbookTest, EveryTableSheetCarriesTheTemplate) {
    struct Expected {
        const char* key;
        std::string value;
    };
    const std::string headerOutlineTop = "ＭＳ 明朝/11/b/FFFFFFFF/none";
    const Expected expected[] = {
        {"zoom", "115"},
        {"cols.A-IV", StoredWidth(3.63)},
        {"row.1", "24.75"},
        {"row.2", "18"},
        {"row.3", "18"},
        {"row.4", "18"},
        {"row.5", "6.75"},
        {"row.6", "13.5"},
        {"row.7", "13.5"},
        {"row.8", "13.5"},
        {"row.9", "6.75"},
        // Title bar: grey 8 % pattern over light green, thick frame.
        {"A1.value", "s:テーブル仕様書"},
        {"A1.font", "ＭＳ 明朝/16/bi/none/none"},
        {"A1.fill", "gray0625/00000000/FFCCFFCC"},
        {"A1.border", "thick/thick/thick/thick"},
        {"A1.align", "general/shrink"},
        {"AG1.border", "none/thick/thick/thick"},
        // Name panel, rows 2 to 4, thick outline around thin grid lines.
        {"A2.value", "s:№"},
        {"A2.font", headerOutlineTop},
        {"A2.fill", kLook.headerFill},
        {"A2.border", "thick/thick/thin/thin"},
        {"A2.align", "center/shrink"},
        {"C2.value", "s:テーブル名 / 接続文字列"},
        {"Y2.value", "s:作成日時"},
        {"AB2.value", "s:修正日時"},
        {"AE2.value", "s:担当者"},
        {"AE2.border", "thin/thick/thick/thin"},
        {"AG2.border", "none/thick/thick/thin"},
        {"A3.border", "thick/thin/thin/thick"},
        {"A3.font", kLook.plain},
        {"A3.align", "center/shrink"},
        {"C3.value", "s:MySQL"},
        {"C3.border", kLook.thin},
        {"N3.value", "s:リンク元"},
        {"AE3.border", "thin/thin/thick/thick"},
        {"C4.value", "s:接続文字列"},
        {"C4.border", "thin/thin/thin/thick"},
        {"F4.border", "thin/thin/thin/thick"},
        {"AG4.border", "none/none/thick/thick"},
        {"F3.font", "ＭＳ 明朝/11/b/FF000000/none"},
        {"F3.link", "'テーブル一覧'!A1|テーブル一覧|"},
        // Description panel.
        {"A6.value", "s:テーブル説明："},
        {"A6.fill", kLook.lightFill},
        {"A6.border", "thick/thick/thin/thick"},
        {"F6.fill", "none/00000000/00000000"},
        {"F6.border", "thin/thick/thick/thick"},
        // Field header.
        {"A10.value", "s:№"},
        {"A10.font", kLook.whiteBold},
        {"A10.fill", kLook.headerFill},
        {"A10.border", kLook.thin},
        {"A10.align", "center/shrink"},
        {"A10.link", "'テーブル一覧'!A1|テーブル一覧|"},
        {"B10.value", "s:フィールド名"},
        {"F10.value", "s:定型入力"},
        {"I10.value", "s:データ型"},
        {"L10.value", "s:サイズ"},
        {"N10.value", "s:既 定 値"},
        {"Q10.value", "s:必須"},
        {"S10.value", "s:書    式"},
        {"W10.value", "s:入力規則"},
        {"AA10.value", "s:説    明"},
        {"AA10.font", kLook.whiteBold},
        {"AG10.border", "none/thin/thin/thin"},  // the right end of a merged range
    };
    const std::vector<std::string> templateMerges = {
        "A1:AG1",  "A2:B2",   "C2:X2",   "Y2:AA2",  "AB2:AD2", "AE2:AG2",   "A3:B4",
        "C3:E3",   "F3:M3",   "N3:P3",   "Q3:X3",   "Y3:AA4",  "AB3:AD4",   "AE3:AG4",
        "C4:E4",   "F4:X4",   "A6:E8",   "F6:AG8",  "B10:E10", "F10:H10",   "I10:K10",
        "L10:M10", "N10:P10", "Q10:R10", "S10:V10", "W10:Z10", "AA10:AG10",
    };
    for (const std::string sheet : {"with_indexes", "fields_only", kLongSheetName.c_str(),
                                    "keys_only", "both", "no_columns"}) {
        SCOPED_TRACE(sheet);
        for (const Expected& e : expected) {
            EXPECT_EQ(Fact(sheet + "!" + e.key), e.value) << e.key;
        }
        const std::string merges = " " + Fact(sheet + "!merges") + " ";
        for (const std::string& merge : templateMerges) {
            EXPECT_NE(merges.find(" " + merge + " "), std::string::npos) << merge;
        }
    }
    EXPECT_EQ(Fact("fields_only!F3.value"), "s:fields_only");
    EXPECT_EQ(Fact(kLongSheetName + "!F3.value"), "s:" + kLongName);
}

// Where each block starts: two empty rows before a block header, four when
// the index block is missing before the foreign keys; nothing below the last.
TEST_F(TableDefinitionWorkbookTest, BlocksStartWhereTheLayoutPutsThem) {
    struct Case {
        std::string sheet;
        std::vector<int> headerRows;  // field header, then index and foreign-key headers
        int lastRow;
    };
    const Case cases[] = {
        {"fields_only", {10}, 13},   {"with_indexes", {10, 15}, 17},
        {"keys_only", {10, 17}, 19},  // rows 13 to 16 stay empty
        {"both", {10, 14, 18}, 19},  {"no_columns", {10, 13}, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sheet);
        int headers = 0;
        for (int row = 1; row <= c.lastRow; ++row) {
            if (row > 10 && Fact(c.sheet + "!A" + std::to_string(row) + ".value") == "s:№") {
                EXPECT_TRUE(std::count(c.headerRows.begin(), c.headerRows.end(), row)) << row;
                ++headers;
            }
        }
        EXPECT_EQ(headers + 1, static_cast<int>(c.headerRows.size()));
        EXPECT_EQ(LastRow(c.sheet), c.lastRow);
    }
    EXPECT_EQ(Fact("keys_only!B17.value"), "s:フィールド名");
    EXPECT_EQ(Fact("keys_only!G17.value"), "s:外部キー");
    EXPECT_EQ(Fact("both!B14.value"), "s:インデックス名");
}

TEST_F(TableDefinitionWorkbookTest, BlockRowsHoldTheModelsTexts) {
    struct Expected {
        std::string key;
        std::string value;
    };
    const Expected expected[] = {
        // Field rows: numbers are texts; column A in the header look.
        {"fields_only!A11.value", "s:1"},
        {"fields_only!A11.font", kLook.whiteBold},
        {"fields_only!A11.fill", kLook.headerFill},
        {"fields_only!A11.align", "center/shrink"},
        {"fields_only!B11.value", "s:ID"},
        {"fields_only!B11.font", kLook.plain},
        {"fields_only!B11.fill", kLook.lightFill},
        {"fields_only!B11.border", kLook.thin},
        {"fields_only!B11.align", "left/shrink"},
        {"fields_only!F11.value", "(absent)"},
        {"fields_only!I11.value", "s:INTEGER"},
        {"fields_only!L11.value", "s:4"},
        {"fields_only!N11.value", "(absent)"},
        {"fields_only!Q11.value", "s:YES"},
        {"fields_only!W11.value", "s:Primary Key"},
        {"fields_only!AA11.fill", kLook.lightFill},
        // Descriptions: the field's in its block, the table's in its panel.
        {"fields_only!AA11.value", "(absent)"},
        {"fields_only!AA12.value", "s:請求書に印字する名前"},
        {"fields_only!F6.value", "s:得意先、一行に一社"},
        {"with_indexes!F6.value", "(absent)"},
        {"fields_only!A13.value", "s:3"},
        {"fields_only!I13.value", "(absent)"},
        {"fields_only!L13.value", "s:8"},
        // Index block.
        {"with_indexes!B15.value", "s:インデックス名"},
        {"with_indexes!L15.value", "s:フィールド名"},
        {"with_indexes!AB15.value", "s:カラム シーケンス"},
        {"with_indexes!AE15.value", "s:固有"},
        {"with_indexes!AE15.fill", kLook.headerFill},
        {"with_indexes!A16.value", "s:1"},
        {"with_indexes!B16.value", "s:PrimaryKey"},
        {"with_indexes!L16.value", "s:A"},
        {"with_indexes!AE16.value", "s:YES"},
        {"with_indexes!A17.value", "s:2"},
        {"with_indexes!L17.value", "s:B, A"},
        {"with_indexes!AE17.value", "(absent)"},
        {"with_indexes!AE17.fill", kLook.lightFill},
        // Foreign-key block.
        {"keys_only!N17.value", "s:参照テーブル"},
        {"keys_only!T17.value", "s:参照フィールド名"},
        {"keys_only!Z17.value", "s:説    明"},
        {"keys_only!A18.value", "s:1"},
        {"keys_only!B18.value", "s:A"},
        {"keys_only!G18.value", "s:fk_ab"},
        {"keys_only!N18.value", "s:other"},
        {"keys_only!T18.value", "s:X"},
        {"keys_only!A19.value", "s:2"},
        {"keys_only!T19.value", "s:Y"},
        {"both!A19.value", "s:1"},
        {"both!G19.value", "s:fk_a"},
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(Fact(e.key), e.value) << e.key;
    }
    EXPECT_EQ(Fact("both!merges"),
              Join(
                  [] {
                      std::vector<std::string> merges = {
                          // template
                          "A1:AG1", "A2:B2", "C2:X2", "Y2:AA2", "AB2:AD2", "AE2:AG2", "A3:B4",
                          "C3:E3", "F3:M3", "N3:P3", "Q3:X3", "Y3:AA4", "AB3:AD4", "AE3:AG4",
                          "C4:E4", "F4:X4", "A6:E8", "F6:AG8", "B10:E10", "F10:H10", "I10:K10",
                          "L10:M10", "N10:P10", "Q10:R10", "S10:V10", "W10:Z10", "AA10:AG10",
                          // field row 11
                          "B11:E11", "F11:H11", "I11:K11", "L11:M11", "N11:P11", "Q11:R11",
                          "S11:V11", "W11:Z11", "AA11:AG11",
                          // index header 14 and row 15
                          "B14:K14", "L14:AA14", "AB14:AD14", "AE14:AG14", "B15:K15", "L15:AA15",
                          "AB15:AD15", "AE15:AG15",
                          // foreign-key header 18 and row 19
                          "B18:F18", "G18:M18", "N18:S18", "T18:Y18", "Z18:AG18", "B19:F19",
                          "G19:M19", "N19:S19", "T19:Y19", "Z19:AG19"};
                      std::sort(merges.begin(), merges.end());
                      return merges;
                  }(),
                  " "));
}

TEST_F(TableDefinitionWorkbookTest, IndexSheetListsEveryEntryWithALink) {
    const std::string index = "テーブル一覧!";
    EXPECT_EQ(Fact("default font"), "ＭＳ Ｐゴシック/11");  // a Japanese reader's own default
    EXPECT_EQ(Fact(index + "merges"), "A1:B1");
    EXPECT_EQ(Fact(index + "zoom"), "100");
    EXPECT_EQ(Fact(index + "cols.A-A"), StoredWidth(5));
    EXPECT_EQ(Fact(index + "cols.B-D"), StoredWidth(35));
    EXPECT_EQ(Fact(index + "cols.E-F"), StoredWidth(40));
    EXPECT_EQ(Fact(index + "row.1"), "30");
    EXPECT_EQ(Fact(index + "row.2"), "10");
    EXPECT_EQ(Fact(index + "A1.value"), "s:Database Name");
    EXPECT_EQ(Fact(index + "A1.font"), "ＭＳ Ｐゴシック/11/b/FFFFFFFF/none");
    EXPECT_EQ(Fact(index + "A1.fill"), "solid/FF3366FF/i64");
    EXPECT_EQ(Fact(index + "A1.align"), "center/");
    EXPECT_EQ(Fact(index + "A1.border"), kLook.thin);
    for (const char* cell : {"C1", "D1", "E1"}) {
        EXPECT_EQ(Fact(index + cell + ".value"), "(absent)") << cell;
        EXPECT_EQ(Fact(index + cell + ".fill"), "solid/FFFFCC00/i64") << cell;
        EXPECT_EQ(Fact(index + cell + ".font"), "ＭＳ Ｐゴシック/11/b/none/none") << cell;
        EXPECT_EQ(Fact(index + cell + ".border"), kLook.thin) << cell;
    }
    EXPECT_EQ(Fact(index + "F1.fill"), "(absent)");
    const std::pair<const char*, const char*> headings[] = {
        {"A3", "№"},      {"B3", "テーブル名"}, {"C3", "フィールド数"},
        {"D3", "リンク"}, {"E3", "説　　　明"}, {"F3", "レコード数"},
    };
    for (const auto& [cell, text] : headings) {
        EXPECT_EQ(Fact(index + cell + ".value"), std::string("s:") + text);
        EXPECT_EQ(Fact(index + cell + ".fill"), kLook.headerFill);
        EXPECT_EQ(Fact(index + cell + ".font"), "ＭＳ Ｐゴシック/11/b/FFFFFFFF/none");
    }

    for (std::size_t at = 0; at < kList.size(); ++at) {
        const std::string entry = kList[at];
        const std::string row = std::to_string(4 + at);
        SCOPED_TRACE(entry);
        EXPECT_EQ(Fact(index + "row." + row), "16.5");
        EXPECT_EQ(Fact(index + "A" + row + ".value"), "n:" + std::to_string(at + 1));
        EXPECT_EQ(Fact(index + "A" + row + ".fill"), kLook.headerFill);
        EXPECT_EQ(Fact(index + "A" + row + ".font"), "ＭＳ Ｐゴシック/11/b/FFFFFFFF/none");
        EXPECT_EQ(Fact(index + "B" + row + ".value"), "s:" + entry);
        EXPECT_EQ(Fact(index + "B" + row + ".font"), "ＭＳ Ｐゴシック/11/b/FF000000/none");
        EXPECT_EQ(Fact(index + "B" + row + ".fill"), kLook.lightFill);
        // Entries without a sheet ("[my table]") still get their link.
        EXPECT_EQ(Fact(index + "B" + row + ".link"),
                  "'" + viewer::SheetNameOf(entry) + "'!A1|" + entry + "|");
        EXPECT_EQ(Fact(index + "F" + row + ".border"), kLook.thin);
        EXPECT_EQ(Fact(index + "F" + row + ".value"), "(absent)");
    }
    EXPECT_EQ(Fact(index + "B7.link"), "'" + kLongSheetName + "'!A1|" + kLongName + "|");
    EXPECT_EQ(Fact(index + "A11.value"), "(absent)");
}

TEST_F(TableDefinitionWorkbookTest, ProgressCountsEntriesAndDataRows) {
    std::vector<std::string> expected = {"tables 7"};
    for (const std::string& entry : kList) {
        expected.push_back("table");
        const auto found = model_.find(entry);
        if (found == model_.end()) continue;
        const CDataADOXTable& table = *found->second;
        const std::size_t rows =
            table.columns.size() + table.indexes.size() + table.foreignKeys.size();
        expected.push_back("rows " + std::to_string(rows));
        expected.insert(expected.end(), rows, "row");
    }
    EXPECT_EQ(progress_.Calls, expected);
}

TEST(SheetNames, CutAtThirtyOneBytesWithoutSplittingACharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"short", "short"},
        {std::string(31, 'a'), std::string(31, 'a')},
        {std::string(32, 'a'), std::string(31, 'a')},
        {"a" + kLongName, "a" + kLongSheetName},  // 31 bytes exactly
        {"ab" + kLongName,
         "ab" + kLongSheetName.substr(0, 27)},  // the 10th character would end at 32
    };
    for (const auto& [name, sheet] : cases) {
        EXPECT_EQ(viewer::SheetNameOf(name), sheet) << name;
    }
}

// Names that cannot become sheets stop the writer before it touches the
// destination, naming the tables concerned.
TEST(TableDefinitionWorkbookRefusal, CollidingOrInvalidSheetNamesLeaveTheDestinationAlone) {
    struct Case {
        std::vector<std::string> tables;
        std::string message;
    };
    const std::string first = "t_abcdefghijklmnopqrstuvwxyz_0001";
    const std::string second = "t_abcdefghijklmnopqrstuvwxyz_0002";
    const Case cases[] = {
        {{first, second},
         "テーブル：[ " + first + " ] と [ " + second +
             " ] のシート名が同じ「t_abcdefghijklmnopqrstuvwxyz_00」になるため、"
             "仕様書を出力できません。"},
        {{"Alpha", "ALPHA"},
         "テーブル：[ Alpha ] と [ ALPHA ] のシート名が同じ「ALPHA」になるため、"
         "仕様書を出力できません。"},
        {{"テーブル一覧"},
         "テーブル：[ テーブル一覧 ] と [ テーブル一覧 ] のシート名が同じ「テーブル一覧」"
         "になるため、仕様書を出力できません。"},
        {{"bad:name"},
         "テーブル：[ bad:name ] の名前はシート名にできません。\n"
         "シート名に使えない文字（[ ] : * ? / \\）を含んでいます。"},
        {{"'quoted'"},
         "テーブル：[ 'quoted' ] の名前はシート名にできません。\n"
         "シート名の最初と最後にアポストロフィは使えません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        testsupport::TempFolder folder;
        const std::string path = folder.Folder() + "仕様書EXCEL.xlsx";
        {
            FILE* earlier = std::fopen(path.c_str(), "w");
            std::fputs("earlier", earlier);
            std::fclose(earlier);
        }
        viewer::TableMap model;
        for (const std::string& name : c.tables) {
            model.emplace(name, std::make_unique<CDataADOXTable>(name));
        }
        viewertest::RecordingProgress progress;
        try {
            viewer::TableDefinitionWorkbookWriter(model, c.tables).Write(path, progress);
            ADD_FAILURE() << "no error";
        } catch (const viewer::WorkbookError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
        EXPECT_TRUE(progress.Calls.empty());
        EXPECT_EQ(std::filesystem::file_size(path), 7u);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

// A workbook that cannot be put in place (here a folder occupies its name)
// fails with a message and leaves no temporary file behind.
TEST(TableDefinitionWorkbookRefusal, FailedRenameLeavesNoTemporaryFile) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "仕様書EXCEL.xlsx";
    std::filesystem::create_directory(path);
    std::filesystem::create_directory(path + "/occupied");
    viewer::TableMap model;
    model.emplace("t", std::make_unique<CDataADOXTable>("t"));
    viewertest::RecordingProgress progress;
    try {
        viewer::TableDefinitionWorkbookWriter(model, {"t"}).Write(path, progress);
        ADD_FAILURE() << "no error";
    } catch (const viewer::WorkbookError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("仕様書を保存できませんでした：" + path, 0), 0u)
            << error.what();
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
