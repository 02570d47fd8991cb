#include "viewer/SpecWorkbook.h"

#include <cerrno>
#include <compare>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <span>

#include "platform/AtomicFile.h"
#include "viewer/GridText.h"
#include "xlsx/Workbook.h"

namespace viewer {
namespace {

// ---------------------------------------------------------------------------
// Cell styles
// ---------------------------------------------------------------------------

using Color = std::uint32_t;  // 0xRRGGBB
constexpr Color kAutomatic = 0xFFFFFFFF;
constexpr Color kLightGreen = 0xCCFFCC;
constexpr Color kHeaderGreen = 0x339966;
constexpr Color kWhite = 0xFFFFFF;
constexpr Color kBlue = 0x3366FF;
constexpr Color kOrange = 0xFFCC00;
constexpr Color kBlack = 0x000000;

constexpr const char* kTableSheetFont = "ＭＳ 明朝";

using xlsx::Align;
using xlsx::Edge;
using xlsx::StyleId;

struct CellStyle {
    bool tableSheetFont = false;  // the table sheets' font, with shrink-to-fit
    double fontSize = 11;
    bool bold = false;
    bool italic = false;
    Color fontColor = kAutomatic;
    Color fillColor = kAutomatic;  // no fill when automatic
    bool grayPattern = false;      // the fill as an 8 % grey pattern over fillColor
    Align align = Align::General;
    Edge left = Edge::None;
    Edge top = Edge::None;
    Edge right = Edge::None;
    Edge bottom = Edge::None;

    auto operator<=>(const CellStyle&) const = default;

    void SetAllEdges(Edge edge) { left = top = right = bottom = edge; }
};

// One workbook style per distinct cell style.
class FormatCache {
  public:
    explicit FormatCache(xlsx::Workbook& workbook) : workbook_(workbook) {}

    StyleId Get(const CellStyle& style) {
        const auto found = styles_.find(style);
        if (found != styles_.end()) {
            return found->second;
        }
        xlsx::Style look;
        if (style.tableSheetFont) {
            look.fontName = kTableSheetFont;
            look.shrinkToFit = true;
        }
        look.fontSize = style.fontSize;
        look.bold = style.bold;
        look.italic = style.italic;
        if (style.fontColor != kAutomatic) look.fontColor = style.fontColor;
        if (style.fillColor != kAutomatic) {
            look.fill = style.grayPattern ? xlsx::Fill::Gray0625 : xlsx::Fill::Solid;
            look.fillColor = style.fillColor;
        }
        look.align = style.align;
        look.left = style.left;
        look.top = style.top;
        look.right = style.right;
        look.bottom = style.bottom;
        const StyleId id = workbook_.AddStyle(look);
        styles_.emplace(style, id);
        return id;
    }

  private:
    xlsx::Workbook& workbook_;
    std::map<CellStyle, StyleId> styles_;
};

// ---------------------------------------------------------------------------
// A rectangle of cells, laid out in memory and then written at a row
// ---------------------------------------------------------------------------

// Cells of a grid, rows counted from 1 and columns from 0 (A).
struct Range {
    int firstRow;
    int firstColumn;
    int lastRow;
    int lastColumn;
};

// "A" -> 0, "AG" -> 32.
constexpr int ColumnOf(std::string_view letters) {
    int column = 0;
    for (const char letter : letters) {
        column = column * 26 + (letter - 'A' + 1);
    }
    return column - 1;
}

// "B2:E4", "A1" or a column span of one row, "B:E" (row given separately).
constexpr Range Cells(std::string_view reference, int row = 1) {
    auto split = [](std::string_view cell, int defaultRow) {
        std::size_t digits = 0;
        while (digits < cell.size() && cell[digits] >= 'A' && cell[digits] <= 'Z') {
            ++digits;
        }
        int rowNumber = digits == cell.size() ? defaultRow : 0;
        for (std::size_t at = digits; at < cell.size(); ++at) {
            rowNumber = rowNumber * 10 + (cell[at] - '0');
        }
        return std::pair<int, int>(rowNumber, ColumnOf(cell.substr(0, digits)));
    };
    const std::size_t colon = reference.find(':');
    const auto first = split(reference.substr(0, colon), row);
    const auto last =
        colon == std::string_view::npos ? first : split(reference.substr(colon + 1), row);
    return {first.first, first.second, last.first, last.second};
}

struct Cell {
    CellStyle style;
    bool styled = false;
    std::string text;
    int textSlot = -1;  // >= 0: the text comes with each row written (WritePlan::Write)
    std::optional<double> number;
    std::string link;  // a location in the workbook ("'Sheet'!A1") for a hyperlink
    std::string linkTip;
};

// One write of a laid-out grid: a merged range or a single cell.
struct CellWrite {
    Range range;  // in grid rows
    bool merged = false;
    std::string text;
    int textSlot = -1;
    std::optional<double> number;
    std::string link;
    std::string linkTip;
    StyleId style = 0;  // 0: the cell keeps the column's look
};

class WritePlan {
  public:
    explicit WritePlan(std::vector<CellWrite> writes) : writes_(std::move(writes)) {}

    // Writes with grid row 1 at the sheet's row `sheetRow` (from 1); a cell
    // with a text slot takes texts[slot].
    void Write(xlsx::Sheet& sheet, int sheetRow, std::span<const std::string> texts = {}) const {
        const int offset = sheetRow - 2;  // grid row r -> sheet row r + offset, from 0
        for (const CellWrite& write : writes_) {
            const std::string& text =
                write.textSlot >= 0 ? texts[static_cast<std::size_t>(write.textSlot)] : write.text;
            const int row = write.range.firstRow + offset;
            const int column = write.range.firstColumn;
            if (write.merged) {
                const int lastRow = write.range.lastRow + offset;
                sheet.Merge(row, column, lastRow, write.range.lastColumn);
                // Every cell of the range carries its look, so that its
                // borders are drawn whole.
                for (int covered = row; covered <= lastRow; ++covered) {
                    for (int across = column; across <= write.range.lastColumn; ++across) {
                        if (covered != row || across != column) {
                            WriteBlank(sheet, covered, across, write.style);
                        }
                    }
                }
            }
            WriteCell(sheet, row, column, write, text);
        }
    }

  private:
    // A blank cell without a look of its own is no cell at all.
    static void WriteBlank(xlsx::Sheet& sheet, int row, int column, StyleId style) {
        if (style != 0) sheet.WriteBlank(row, column, style);
    }

    static void WriteCell(xlsx::Sheet& sheet, int row, int column, const CellWrite& write,
                          const std::string& text) {
        if (!write.link.empty()) {
            sheet.WriteString(row, column, text, write.style);
            sheet.LinkToLocation(row, column, write.link, text, write.linkTip);
        } else if (write.number) {
            sheet.WriteNumber(row, column, *write.number, write.style);
        } else if (!text.empty()) {
            sheet.WriteString(row, column, text, write.style);
        } else {
            WriteBlank(sheet, row, column, write.style);
        }
    }

    std::vector<CellWrite> writes_;
};

class Grid {
  public:
    Grid(int rowCount, int columnCount)
        : rowCount_(rowCount),
          columnCount_(columnCount),
          cells_(static_cast<std::size_t>(rowCount * columnCount)) {}

    Cell& At(int row, int column) {
        return cells_[static_cast<std::size_t>((row - 1) * columnCount_ + column)];
    }
    const Cell& At(int row, int column) const {
        return cells_[static_cast<std::size_t>((row - 1) * columnCount_ + column)];
    }

    template <typename Change>
    void Style(const Range& range, Change change) {
        for (int row = range.firstRow; row <= range.lastRow; ++row) {
            for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
                Cell& cell = At(row, column);
                change(cell.style);
                cell.styled = true;
            }
        }
    }

    void Borders(const Range& range, Edge edge) {
        Style(range, [edge](CellStyle& style) { style.SetAllEdges(edge); });
    }

    // Only the outer edges of the range, as a border drawn around it.
    void Outline(const Range& range, Edge edge) {
        Style({range.firstRow, range.firstColumn, range.firstRow, range.lastColumn},
              [edge](CellStyle& style) { style.top = edge; });
        Style({range.lastRow, range.firstColumn, range.lastRow, range.lastColumn},
              [edge](CellStyle& style) { style.bottom = edge; });
        Style({range.firstRow, range.firstColumn, range.lastRow, range.firstColumn},
              [edge](CellStyle& style) { style.left = edge; });
        Style({range.firstRow, range.lastColumn, range.lastRow, range.lastColumn},
              [edge](CellStyle& style) { style.right = edge; });
    }

    void Merge(const Range& range, std::string text = {}) {
        merges_.push_back(range);
        At(range.firstRow, range.firstColumn).text = std::move(text);
    }

    void Text(int row, int column, std::string text) { At(row, column).text = std::move(text); }

    // The writes that put the grid on a sheet, with every format resolved,
    // so that a layout used on many rows or sheets is worked out once.
    WritePlan Compile(FormatCache& formats) const {
        std::vector<CellWrite> writes;
        std::vector<bool> covered(cells_.size(), false);
        for (const Range& merge : merges_) {
            const Cell& first = At(merge.firstRow, merge.firstColumn);
            // Every cell of a merged range carries the range's outer edges,
            // so each reader draws the same frame whichever cell it consults.
            CellStyle style = first.style;
            style.right = At(merge.firstRow, merge.lastColumn).style.right;
            style.bottom = At(merge.lastRow, merge.firstColumn).style.bottom;
            writes.push_back(
                WriteOf(first, merge, /*merged=*/true, first.styled ? formats.Get(style) : 0));
            for (int row = merge.firstRow; row <= merge.lastRow; ++row) {
                for (int column = merge.firstColumn; column <= merge.lastColumn; ++column) {
                    covered[Position(row, column)] = true;
                }
            }
        }
        for (int row = 1; row <= rowCount_; ++row) {
            for (int column = 0; column < columnCount_; ++column) {
                const Cell& cell = At(row, column);
                if (!covered[Position(row, column)] &&
                    (cell.styled || !cell.text.empty() || cell.textSlot >= 0 || cell.number ||
                     !cell.link.empty())) {
                    writes.push_back(WriteOf(cell, {row, column, row, column}, /*merged=*/false,
                                             cell.styled ? formats.Get(cell.style) : 0));
                }
            }
        }
        return WritePlan(std::move(writes));
    }

  private:
    std::size_t Position(int row, int column) const {
        return static_cast<std::size_t>((row - 1) * columnCount_ + column);
    }

    static CellWrite WriteOf(const Cell& cell, const Range& range, bool merged, StyleId style) {
        return {range,       merged,    cell.text,    cell.textSlot,
                cell.number, cell.link, cell.linkTip, style};
    }

    int rowCount_;
    int columnCount_;
    std::vector<Cell> cells_;
    std::vector<Range> merges_;
};

// ---------------------------------------------------------------------------
// Table sheets
// ---------------------------------------------------------------------------

constexpr int kTableSheetColumns = ColumnOf("AG") + 1;

CellStyle TableSheetBase() {
    CellStyle style;
    style.tableSheetFont = true;
    return style;
}

void ApplyHeaderStyle(CellStyle& style) {
    style.fontColor = kWhite;
    style.bold = true;
    style.fillColor = kHeaderGreen;
    style.align = Align::Center;
    style.SetAllEdges(Edge::Thin);
}

void ApplyRowStyle(CellStyle& style) {
    style.fillColor = kLightGreen;
    style.SetAllEdges(Edge::Thin);
    style.align = Align::Left;
}

// A row's first cell in the row style: the header look on the green.
void ApplyRowNumberStyle(CellStyle& style) {
    style.fontColor = kWhite;
    style.bold = true;
    style.fillColor = kHeaderGreen;
    style.align = Align::Center;
}

// One column of a block: its cells (a column span such as "B:E") and heading.
struct BlockColumn {
    std::string_view span;
    std::string_view heading;
};

constexpr BlockColumn kFieldColumns[] = {
    {"A", "№"},          {"B:E", "フィールド名"}, {"F:H", "定型入力"}, {"I:K", "データ型"},
    {"L:M", "サイズ"},   {"N:P", "既 定 値"},     {"Q:R", "必須"},     {"S:V", "書    式"},
    {"W:Z", "入力規則"}, {"AA:AG", "説    明"},
};

constexpr BlockColumn kIndexColumns[] = {
    {"A", "№"},
    {"B:K", "インデックス名"},
    {"L:AA", "フィールド名"},
    {"AB:AD", "カラム シーケンス"},
    {"AE:AG", "固有"},
};

constexpr BlockColumn kForeignKeyColumns[] = {
    {"A", "№"},
    {"B:F", "フィールド名"},
    {"G:M", "外部キー"},
    {"N:S", "参照テーブル"},
    {"T:Y", "参照フィールド名"},
    {"Z:AG", "説    明"},
};

const std::string kIndexSheetLink = "'" + std::string(kIndexSheetName) + "'!A1";

enum class BlockRow { Header, Data };

// The cells of one block row in `grid` at `row`: merged spans and the header
// or the row style; headers carry their headings, data rows one text slot
// per block column.
void LayOutBlockRow(Grid& grid, int row, std::span<const BlockColumn> columns, BlockRow kind) {
    const bool header = kind == BlockRow::Header;
    grid.Style(Cells("A:AG", row), header ? ApplyHeaderStyle : ApplyRowStyle);
    if (!header) {
        grid.Style(Cells("A", row), ApplyRowNumberStyle);
    }
    for (std::size_t at = 0; at < columns.size(); ++at) {
        const Range span = Cells(columns[at].span, row);
        if (span.firstColumn != span.lastColumn) {
            grid.Merge(span);
        }
        Cell& cell = grid.At(row, span.firstColumn);
        if (header) {
            cell.text = std::string(columns[at].heading);
        } else {
            cell.textSlot = static_cast<int>(at);
        }
    }
}

// The rows every table sheet starts with: title, name panel, description
// panel and the field block's header.
Grid BuildTemplate() {
    Grid grid(10, kTableSheetColumns);
    // The spacer rows 5 and 9 keep the columns' own format.
    for (const char* rows : {"A1:AG4", "A6:AG8", "A10:AG10"}) {
        grid.Style(Cells(rows), [](CellStyle& style) { style = TableSheetBase(); });
    }

    grid.Merge(Cells("A1:AG1"), "テーブル仕様書");
    grid.Style(Cells("A1:AG1"), [](CellStyle& style) {
        style.fontSize = 16;
        style.bold = true;
        style.italic = true;
        style.fillColor = kLightGreen;
        style.grayPattern = true;
    });
    grid.Outline(Cells("A1:AG1"), Edge::Thick);

    grid.Merge(Cells("A2:B2"), "№");
    grid.Merge(Cells("C2:X2"), "テーブル名 / 接続文字列");
    grid.Merge(Cells("Y2:AA2"), "作成日時");
    grid.Merge(Cells("AB2:AD2"), "修正日時");
    grid.Merge(Cells("AE2:AG2"), "担当者");
    grid.Style(Cells("A2:AG2"), [](CellStyle& style) {
        style.fontColor = kWhite;
        style.bold = true;
        style.fillColor = kHeaderGreen;
    });
    grid.Merge(Cells("A3:B4"));
    grid.Merge(Cells("C3:E3"), "MySQL");
    grid.Merge(Cells("F3:M3"));  // the table's name, written per sheet
    grid.Style(Cells("F3:M3"), [](CellStyle& style) { style.bold = true; });
    grid.Merge(Cells("N3:P3"), "リンク元");
    grid.Merge(Cells("Q3:X3"));
    grid.Merge(Cells("Y3:AA4"));
    grid.Merge(Cells("AB3:AD4"));
    grid.Merge(Cells("AE3:AG4"));
    grid.Merge(Cells("C4:E4"), "接続文字列");
    grid.Merge(Cells("F4:X4"));
    grid.Style(Cells("A2:AG4"), [](CellStyle& style) {
        style.fontSize = 11;
        style.align = Align::Center;
        style.SetAllEdges(Edge::Thin);
    });
    grid.Outline(Cells("A2:AG4"), Edge::Thick);

    grid.Merge(Cells("A6:E8"), "テーブル説明：");
    grid.Style(Cells("A6:E8"), [](CellStyle& style) { style.fillColor = kLightGreen; });
    grid.Merge(Cells("F6:AG8"));
    grid.Borders(Cells("A6:AG8"), Edge::Thin);
    grid.Outline(Cells("A6:AG8"), Edge::Thick);

    LayOutBlockRow(grid, 10, kFieldColumns, BlockRow::Header);
    Cell& backLink = grid.At(10, 0);
    backLink.link = kIndexSheetLink;
    backLink.linkTip = std::string(kIndexSheetName);
    return grid;
}

struct RowHeight {
    int row;  // from 1
    double height;
};

constexpr RowHeight kTemplateRowHeights[] = {
    {1, 24.75}, {2, 18}, {3, 18}, {4, 18}, {5, 6.75}, {6, 13.5}, {7, 13.5}, {8, 13.5}, {9, 6.75},
};

constexpr double kTableColumnWidth = 3.63;
constexpr int kTableSheetWidthColumns = 256;
constexpr std::uint16_t kTableSheetZoom = 115;

// The header and the data row of a block, laid out once per workbook.
struct BlockPlans {
    WritePlan header;
    WritePlan row;
};

BlockPlans PlanBlock(std::span<const BlockColumn> columns, FormatCache& formats) {
    auto plan = [&](BlockRow kind) {
        Grid grid(1, kTableSheetColumns);
        grid.Style(Cells("A:AG"), [](CellStyle& style) { style = TableSheetBase(); });
        LayOutBlockRow(grid, 1, columns, kind);
        return grid.Compile(formats);
    };
    return {plan(BlockRow::Header), plan(BlockRow::Data)};
}

// Everything of a table sheet that does not depend on the table.
struct TableSheetPlans {
    WritePlan templateRows;
    StyleId nameStyle;  // F3, the link back to the index sheet
    BlockPlans fields;
    BlockPlans indexes;
    BlockPlans foreignKeys;
};

TableSheetPlans PlanTableSheets(FormatCache& formats) {
    const Grid templateRows = BuildTemplate();
    CellStyle nameStyle = templateRows.At(3, ColumnOf("F")).style;
    nameStyle.fontColor = kBlack;
    nameStyle.bold = true;
    return {templateRows.Compile(formats), formats.Get(nameStyle),
            PlanBlock(kFieldColumns, formats), PlanBlock(kIndexColumns, formats),
            PlanBlock(kForeignKeyColumns, formats)};
}

// One row per record from `firstRow` on; `textsOf(number, record)` gives the
// texts of the block's columns.
template <typename Record, typename TextsOf>
void WriteBlockRows(xlsx::Sheet& sheet, int firstRow, const WritePlan& rowPlan,
                    const std::vector<Record>& records, TextsOf textsOf,
                    WorkbookProgress& progress) {
    for (std::size_t at = 0; at < records.size(); ++at) {
        progress.NextRow();
        // Numbers on table sheets are texts, as the leading apostrophe makes them.
        const std::vector<std::string> texts = textsOf(std::to_string(at + 1), records[at]);
        rowPlan.Write(sheet, firstRow + static_cast<int>(at), texts);
    }
}

void WriteTableSheet(xlsx::Sheet& sheet, const CDataADOXTable& table, const TableSheetPlans& plans,
                     FormatCache& formats, WorkbookProgress& progress) {
    sheet.SetColumns(0, kTableSheetWidthColumns - 1, kTableColumnWidth,
                     formats.Get(TableSheetBase()));
    sheet.SetZoom(kTableSheetZoom);
    for (const RowHeight& height : kTemplateRowHeights) {
        sheet.SetRowHeight(height.row - 1, height.height);
    }
    plans.templateRows.Write(sheet, 1);
    const int nameRow = 2;  // F3
    sheet.WriteString(nameRow, ColumnOf("F"), table.name, plans.nameStyle);
    sheet.LinkToLocation(nameRow, ColumnOf("F"), kIndexSheetLink, table.name,
                         std::string(kIndexSheetName));

    progress.BeginRows(
        static_cast<int>(table.columns.size() + table.indexes.size() + table.foreignKeys.size()));
    constexpr int kFirstFieldRow = 11;  // below the template's field header
    WriteBlockRows(
        sheet, kFirstFieldRow, plans.fields.row, table.columns,
        [](std::string number, const CDataColumn& column) {
            return std::vector<std::string>{
                std::move(number),  column.name,         "", column.typeName, column.sizeText,
                column.defaultText, column.requiredText, "", column.keyKind,  ""};
        },
        progress);
    const int lastFieldRow = kFirstFieldRow - 1 + static_cast<int>(table.columns.size());

    // Two empty rows before each block; the rows of a missing index block
    // are skipped all the same.
    const int indexHeaderRow = lastFieldRow + 3;
    if (!table.indexes.empty()) {
        plans.indexes.header.Write(sheet, indexHeaderRow);
        WriteBlockRows(
            sheet, indexHeaderRow + 1, plans.indexes.row, table.indexes,
            [](std::string number, const CDataIndex& index) {
                return std::vector<std::string>{std::move(number), index.name, index.columnList,
                                                index.sequenceText, index.uniqueText};
            },
            progress);
    }
    const int lastIndexRow = indexHeaderRow + static_cast<int>(table.indexes.size());
    if (!table.foreignKeys.empty()) {
        const int foreignKeyHeaderRow = table.indexes.empty() ? lastFieldRow + 5 : lastIndexRow + 3;
        plans.foreignKeys.header.Write(sheet, foreignKeyHeaderRow);
        WriteBlockRows(
            sheet, foreignKeyHeaderRow + 1, plans.foreignKeys.row, table.foreignKeys,
            [](std::string number, const CDataForeignKey& key) {
                return std::vector<std::string>{std::move(number), key.columnName,    key.keyName,
                                                key.relatedTable,  key.relatedColumn, ""};
            },
            progress);
    }
}

// ---------------------------------------------------------------------------
// Index sheet
// ---------------------------------------------------------------------------

std::string InternalLinkTo(const std::string& sheetName) {
    std::string quoted;
    for (const char c : sheetName) {
        quoted += c;
        if (c == '\'') quoted += '\'';  // an apostrophe inside a quoted sheet name is doubled
    }
    return "'" + quoted + "'!A1";
}

void WriteIndexSheet(xlsx::Sheet& sheet, const std::vector<std::string>& tableList,
                     FormatCache& formats) {
    struct Width {
        std::string_view columns;
        double width;
    };
    constexpr Width kWidths[] = {{"A:A", 5}, {"B:D", 35}, {"E:F", 40}};
    for (const Width& width : kWidths) {
        const Range range = Cells(width.columns);
        sheet.SetColumns(range.firstColumn, range.lastColumn, width.width);
    }
    sheet.SetRowHeight(0, 30);
    sheet.SetRowHeight(1, 10);
    constexpr double kListRowHeight = 16.5;
    sheet.SetRowHeight(2, kListRowHeight);

    constexpr int kIndexColumns = 6;  // A to F
    Grid head(3, kIndexColumns);
    head.Merge(Cells("A1:B1"), "Database Name");
    head.Style(Cells("A1:B1"), [](CellStyle& style) {
        style.fontColor = kWhite;
        style.bold = true;
        style.fillColor = kBlue;
        style.align = Align::Center;
        style.SetAllEdges(Edge::Thin);
    });
    head.Style(Cells("C1:E1"), [](CellStyle& style) {
        style.fillColor = kOrange;
        style.bold = true;
        style.align = Align::Center;
        style.SetAllEdges(Edge::Thin);
    });
    constexpr std::string_view kHeadings[] = {"№",      "テーブル名", "フィールド数",
                                              "リンク", "説　　　明", "レコード数"};
    head.Style(Cells("A3:F3"), ApplyHeaderStyle);
    for (int column = 0; column < kIndexColumns; ++column) {
        head.Text(3, column, std::string(kHeadings[column]));
    }
    head.Compile(formats).Write(sheet, 1);

    Grid blank(1, kIndexColumns);
    blank.Style(Cells("A1:F1"), [](CellStyle& style) {
        style.fillColor = kLightGreen;
        style.fontColor = kBlack;
        style.bold = true;
        style.SetAllEdges(Edge::Thin);
    });
    blank.Style(Cells("A1"), [](CellStyle& style) {
        style.fontColor = kWhite;
        style.fillColor = kHeaderGreen;
        style.align = Align::Center;
    });
    constexpr int kFirstEntryRow = 4;
    for (std::size_t at = 0; at < tableList.size(); ++at) {
        const int sheetRow = kFirstEntryRow + static_cast<int>(at);
        sheet.SetRowHeight(sheetRow - 1, kListRowHeight);
        Grid row = blank;
        row.At(1, 0).number = static_cast<double>(at + 1);
        Cell& link = row.At(1, 1);
        link.text = tableList[at];
        link.link = InternalLinkTo(SheetNameOf(tableList[at]));
        link.linkTip = tableList[at];
        row.Compile(formats).Write(sheet, sheetRow);
    }
}

// ---------------------------------------------------------------------------
// Sheet names
// ---------------------------------------------------------------------------

// The sheet name of every list entry the model has (nullopt for the others),
// aligned with the list; raises WorkbookError for names that collide or that
// cannot name a sheet.
std::vector<std::optional<std::string>> PlanSheets(const TableMap& tableMap,
                                                   const std::vector<std::string>& tableList) {
    std::map<std::string, std::string> owners;  // folded sheet name -> table (or index sheet)
    owners.emplace(xlsx::FoldedSheetName(kIndexSheetName), std::string(kIndexSheetName));
    std::vector<std::optional<std::string>> sheetNames;
    for (const std::string& entry : tableList) {
        if (FindTable(tableMap, entry) == nullptr) {
            sheetNames.emplace_back();
            continue;
        }
        std::string sheetName = SheetNameOf(entry);
        const auto [owner, added] = owners.emplace(xlsx::FoldedSheetName(sheetName), entry);
        if (!added) {
            throw WorkbookError("テーブル：[ " + owner->second + " ] と [ " + entry +
                                " ] のシート名が同じ「" + sheetName +
                                "」になるため、仕様書を出力できません。");
        }
        if (const auto problem = xlsx::SheetNameProblem(sheetName)) {
            throw WorkbookError("テーブル：[ " + entry + " ] の名前はシート名にできません。\n" +
                                *problem);
        }
        sheetNames.push_back(std::move(sheetName));
    }
    return sheetNames;
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

// The workbook's file, written whole or not at all through a temporary file
// beside it.
class WorkbookFile {
  public:
    explicit WorkbookFile(const std::string& path) : file_(path, 0666) {
        if (!file_.Status().Succeeded()) {
            throw WorkbookError("出力先に一時ファイルを作成できませんでした：" + path + "\n" +
                                std::strerror(file_.Status().error));
        }
    }

    const std::string& Path() const { return file_.TemporaryPath(); }

    // Flushes the file to disk and renames it into place.
    void Commit() {
        if (const platform::FileStatus status = file_.Commit(); !status.Succeeded()) {
            throw WorkbookError("仕様書を保存できませんでした：" + file_.Destination() + "\n" +
                                std::strerror(status.error));
        }
    }

  private:
    platform::NewFile file_;
};

}  // namespace

std::string SheetNameOf(const std::string& tableName) {
    return std::string(Utf8Prefix(tableName, kSheetNameBytes));
}

SpecWorkbookWriter::SpecWorkbookWriter(const TableMap& tableMap,
                                       const std::vector<std::string>& tableList)
    : tableMap_(tableMap), tableList_(tableList) {}

void SpecWorkbookWriter::Write(const std::string& path, WorkbookProgress& progress) const {
    const std::vector<std::optional<std::string>> sheetNames = PlanSheets(tableMap_, tableList_);
    std::vector<std::string> workbookSheets{std::string(kIndexSheetName)};
    for (const std::optional<std::string>& name : sheetNames) {
        if (name) workbookSheets.push_back(*name);
    }

    WorkbookFile file(path);
    try {
        xlsx::Workbook workbook(file.Path(), std::move(workbookSheets));
        FormatCache formats(workbook);
        const TableSheetPlans plans = PlanTableSheets(formats);
        progress.BeginTables(static_cast<int>(tableList_.size()));
        std::size_t position = 0;  // the index sheet is the first
        for (std::size_t at = 0; at < tableList_.size(); ++at) {
            progress.NextTable();
            if (!sheetNames[at]) {
                continue;  // the model lacks this entry: an index row, no sheet
            }
            xlsx::Sheet sheet = workbook.NewSheet();
            WriteTableSheet(sheet, *FindTable(tableMap_, tableList_[at]), plans, formats, progress);
            workbook.WriteSheet(++position, sheet);
        }
        xlsx::Sheet indexSheet = workbook.NewSheet();
        WriteIndexSheet(indexSheet, tableList_, formats);
        workbook.WriteSheet(0, indexSheet);
        workbook.Close();
    } catch (const xlsx::WriteError& error) {
        throw WorkbookError(std::string("仕様書EXCELを作成できませんでした。\n") + error.what());
    }
    file.Commit();
}

}  // namespace viewer
