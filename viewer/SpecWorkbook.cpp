#include "viewer/SpecWorkbook.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <compare>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <span>

#include "viewer/GridText.h"

namespace viewer {
namespace {

// ---------------------------------------------------------------------------
// Library errors
// ---------------------------------------------------------------------------

void Check(lxw_error code, const char* action) {
    if (code != LXW_NO_ERROR) {
        throw WorkbookError(WorkbookLibraryErrorText(code, action));
    }
}

// ---------------------------------------------------------------------------
// Cell styles
// ---------------------------------------------------------------------------

constexpr lxw_color_t kAutomatic = LXW_COLOR_UNSET;
constexpr lxw_color_t kLightGreen = 0xCCFFCC;
constexpr lxw_color_t kHeaderGreen = 0x339966;
constexpr lxw_color_t kWhite = 0xFFFFFF;
constexpr lxw_color_t kBlue = 0x3366FF;
constexpr lxw_color_t kOrange = 0xFFCC00;
constexpr lxw_color_t kBlack = LXW_COLOR_BLACK;  // 0 would read as "automatic"

constexpr const char* kTableSheetFont = "ＭＳ 明朝";

enum class Edge : std::uint8_t {
    None = LXW_BORDER_NONE,
    Thin = LXW_BORDER_THIN,
    Thick = LXW_BORDER_THICK,
};

enum class Align : std::uint8_t { General, Left, Center };

struct CellStyle {
    bool tableSheetFont = false;  // the table sheets' font, with shrink-to-fit
    double fontSize = 11;
    bool bold = false;
    bool italic = false;
    lxw_color_t fontColor = kAutomatic;
    lxw_color_t fillColor = kAutomatic;  // no fill when automatic
    bool grayPattern = false;            // the fill as an 8 % grey pattern over fillColor
    Align align = Align::General;
    Edge left = Edge::None;
    Edge top = Edge::None;
    Edge right = Edge::None;
    Edge bottom = Edge::None;

    auto operator<=>(const CellStyle&) const = default;

    void SetAllEdges(Edge edge) { left = top = right = bottom = edge; }
};

// One library format per distinct style, created on first use.
class FormatCache {
  public:
    explicit FormatCache(lxw_workbook* workbook) : workbook_(workbook) {}

    lxw_format* Get(const CellStyle& style) {
        const auto found = formats_.find(style);
        if (found != formats_.end()) {
            return found->second;
        }
        lxw_format* format = workbook_add_format(workbook_);
        if (format == nullptr) {
            Check(LXW_ERROR_MEMORY_MALLOC_FAILED, "書式の追加");
        }
        if (style.tableSheetFont) {
            format_set_font_name(format, kTableSheetFont);
            format_set_shrink(format);
        }
        format_set_font_size(format, style.fontSize);
        if (style.bold) format_set_bold(format);
        if (style.italic) format_set_italic(format);
        if (style.fontColor != kAutomatic) format_set_font_color(format, style.fontColor);
        if (style.fillColor != kAutomatic) {
            // A solid fill takes the colour as its pattern colour; a grey
            // pattern keeps an automatic pattern colour over the background.
            format_set_pattern(format,
                               style.grayPattern ? LXW_PATTERN_GRAY_0625 : LXW_PATTERN_SOLID);
            format_set_bg_color(format, style.fillColor);
        }
        if (style.align == Align::Left) format_set_align(format, LXW_ALIGN_LEFT);
        if (style.align == Align::Center) format_set_align(format, LXW_ALIGN_CENTER);
        format_set_left(format, static_cast<std::uint8_t>(style.left));
        format_set_top(format, static_cast<std::uint8_t>(style.top));
        format_set_right(format, static_cast<std::uint8_t>(style.right));
        format_set_bottom(format, static_cast<std::uint8_t>(style.bottom));
        formats_.emplace(style, format);
        return format;
    }

  private:
    lxw_workbook* workbook_;
    std::map<CellStyle, lxw_format*> formats_;
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
    std::string link;  // "internal:..." for a hyperlink
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
    lxw_format* format = nullptr;
};

class WritePlan {
  public:
    explicit WritePlan(std::vector<CellWrite> writes) : writes_(std::move(writes)) {}

    // Writes with grid row 1 at the sheet's row `sheetRow` (from 1); a cell
    // with a text slot takes texts[slot].
    void Write(lxw_worksheet* sheet, int sheetRow, std::span<const std::string> texts = {}) const {
        const int offset = sheetRow - 2;  // grid row r -> library row r + offset
        for (const CellWrite& write : writes_) {
            const std::string& text =
                write.textSlot >= 0 ? texts[static_cast<std::size_t>(write.textSlot)] : write.text;
            const lxw_row_t row = static_cast<lxw_row_t>(write.range.firstRow + offset);
            const lxw_col_t column = static_cast<lxw_col_t>(write.range.firstColumn);
            if (write.merged) {
                Check(worksheet_merge_range(sheet, row, column,
                                            static_cast<lxw_row_t>(write.range.lastRow + offset),
                                            static_cast<lxw_col_t>(write.range.lastColumn),
                                            write.link.empty() ? text.c_str() : "", write.format),
                      "セルの結合");
                if (write.link.empty()) continue;
            }
            WriteCell(sheet, row, column, write, text);
        }
    }

  private:
    static void WriteCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column,
                          const CellWrite& write, const std::string& text) {
        if (!write.link.empty()) {
            Check(worksheet_write_url_opt(sheet, row, column, write.link.c_str(), write.format,
                                          text.c_str(), write.linkTip.c_str()),
                  "ハイパーリンクの書き込み");
        } else if (write.number) {
            Check(worksheet_write_number(sheet, row, column, *write.number, write.format),
                  "セルの書き込み");
        } else if (!text.empty()) {
            Check(worksheet_write_string(sheet, row, column, text.c_str(), write.format),
                  "セルの書き込み");
        } else {
            Check(worksheet_write_blank(sheet, row, column, write.format), "セルの書き込み");
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
            writes.push_back(WriteOf(first, merge, /*merged=*/true,
                                     first.styled ? formats.Get(style) : nullptr));
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
                                             cell.styled ? formats.Get(cell.style) : nullptr));
                }
            }
        }
        return WritePlan(std::move(writes));
    }

  private:
    std::size_t Position(int row, int column) const {
        return static_cast<std::size_t>((row - 1) * columnCount_ + column);
    }

    static CellWrite WriteOf(const Cell& cell, const Range& range, bool merged,
                             lxw_format* format) {
        return {range,       merged,    cell.text,    cell.textSlot,
                cell.number, cell.link, cell.linkTip, format};
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

const std::string kIndexSheetLink = "internal:'" + std::string(kIndexSheetName) + "'!A1";

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
constexpr lxw_col_t kTableSheetWidthColumns = 256;
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
    lxw_format* nameFormat;  // F3, the link back to the index sheet
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
void WriteBlockRows(lxw_worksheet* sheet, int firstRow, const WritePlan& rowPlan,
                    const std::vector<Record>& records, TextsOf textsOf,
                    WorkbookProgress& progress) {
    for (std::size_t at = 0; at < records.size(); ++at) {
        progress.NextRow();
        // Numbers on table sheets are texts, as the leading apostrophe makes them.
        const std::vector<std::string> texts = textsOf(std::to_string(at + 1), records[at]);
        rowPlan.Write(sheet, firstRow + static_cast<int>(at), texts);
    }
}

void WriteTableSheet(lxw_workbook* workbook, const std::string& sheetName,
                     const CDataADOXTable& table, const TableSheetPlans& plans,
                     FormatCache& formats, WorkbookProgress& progress) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, sheetName.c_str());
    if (sheet == nullptr) {
        throw WorkbookError("シート「" + sheetName + "」を追加できませんでした。");
    }
    Check(worksheet_set_column(sheet, 0, kTableSheetWidthColumns - 1, kTableColumnWidth,
                               formats.Get(TableSheetBase())),
          "列幅の設定");
    worksheet_set_zoom(sheet, kTableSheetZoom);
    for (const RowHeight& height : kTemplateRowHeights) {
        Check(worksheet_set_row(sheet, static_cast<lxw_row_t>(height.row - 1), height.height,
                                nullptr),
              "行の高さの設定");
    }
    plans.templateRows.Write(sheet, 1);
    Check(worksheet_write_url_opt(sheet, 2, static_cast<lxw_col_t>(ColumnOf("F")),
                                  kIndexSheetLink.c_str(), plans.nameFormat, table.name.c_str(),
                                  std::string(kIndexSheetName).c_str()),
          "ハイパーリンクの書き込み");

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
    return "internal:'" + quoted + "'!A1";
}

void WriteIndexSheet(lxw_worksheet* sheet, const std::vector<std::string>& tableList,
                     FormatCache& formats) {
    struct Width {
        std::string_view columns;
        double width;
    };
    constexpr Width kWidths[] = {{"A:A", 5}, {"B:D", 35}, {"E:F", 40}};
    for (const Width& width : kWidths) {
        const Range range = Cells(width.columns);
        Check(worksheet_set_column(sheet, static_cast<lxw_col_t>(range.firstColumn),
                                   static_cast<lxw_col_t>(range.lastColumn), width.width, nullptr),
              "列幅の設定");
    }
    Check(worksheet_set_row(sheet, 0, 30, nullptr), "行の高さの設定");
    Check(worksheet_set_row(sheet, 1, 10, nullptr), "行の高さの設定");
    constexpr double kListRowHeight = 16.5;
    Check(worksheet_set_row(sheet, 2, kListRowHeight, nullptr), "行の高さの設定");

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
        Check(
            worksheet_set_row(sheet, static_cast<lxw_row_t>(sheetRow - 1), kListRowHeight, nullptr),
            "行の高さの設定");
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

// Sheet names compare without regard to ASCII case, as the spreadsheet does.
std::string FoldedSheetName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

// The sheet name of every list entry the model has (nullopt for the others),
// aligned with the list; raises WorkbookError for names that collide or that
// the library refuses.
std::vector<std::optional<std::string>> PlanSheets(lxw_workbook* workbook, const TableMap& tableMap,
                                                   const std::vector<std::string>& tableList) {
    std::map<std::string, std::string> owners;  // folded sheet name -> table (or index sheet)
    owners.emplace(FoldedSheetName(kIndexSheetName), std::string(kIndexSheetName));
    std::vector<std::optional<std::string>> sheetNames;
    for (const std::string& entry : tableList) {
        if (FindTable(tableMap, entry) == nullptr) {
            sheetNames.emplace_back();
            continue;
        }
        std::string sheetName = SheetNameOf(entry);
        const auto [owner, added] = owners.emplace(FoldedSheetName(sheetName), entry);
        if (!added) {
            throw WorkbookError("テーブル：[ " + owner->second + " ] と [ " + entry +
                                " ] のシート名が同じ「" + sheetName +
                                "」になるため、仕様書を出力できません。");
        }
        const lxw_error refused = workbook_validate_sheet_name(workbook, sheetName.c_str());
        if (refused != LXW_NO_ERROR) {
            throw WorkbookError("テーブル：[ " + entry + " ] の名前はシート名にできません。\n" +
                                lxw_strerror(refused));
        }
        sheetNames.push_back(std::move(sheetName));
    }
    return sheetNames;
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

struct WorkbookDeleter {
    void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
};

// A new empty file beside `path`, removed again unless kept.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::string& path) {
        std::random_device seed;
        std::mt19937 random(seed());
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        for (int attempt = 0; attempt < 100; ++attempt) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
            std::string candidate = folder + "." + name + suffix;
            const int descriptor =
                ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (descriptor >= 0) {
                ::close(descriptor);
                path_ = std::move(candidate);
                return;
            }
            if (errno != EEXIST) {
                throw WorkbookError("出力先に一時ファイルを作成できませんでした：" + candidate +
                                    "\n" + std::strerror(errno));
            }
        }
        throw WorkbookError("出力先に一時ファイルを作成できませんでした：" + folder);
    }
    ~TemporaryFile() {
        if (!kept_) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return path_; }

    // Flushes the file to disk and renames it to `destination`.
    void Commit(const std::string& destination) {
        const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        const bool flushed = descriptor >= 0 && ::fsync(descriptor) == 0;
        if (descriptor >= 0) ::close(descriptor);
        if (!flushed || std::rename(path_.c_str(), destination.c_str()) != 0) {
            throw WorkbookError("仕様書を保存できませんでした：" + destination + "\n" +
                                std::strerror(errno));
        }
        kept_ = true;
    }

  private:
    std::string path_;
    bool kept_ = false;
};

}  // namespace

std::string WorkbookLibraryErrorText(int libraryCode, const std::string& action) {
    return "仕様書EXCELを作成できませんでした（" + action + "）。\n" +
           lxw_strerror(static_cast<lxw_error>(libraryCode));
}

std::string SheetNameOf(const std::string& tableName) {
    return std::string(Utf8Prefix(tableName, LXW_SHEETNAME_MAX));
}

SpecWorkbookWriter::SpecWorkbookWriter(const TableMap& tableMap,
                                       const std::vector<std::string>& tableList)
    : tableMap_(tableMap), tableList_(tableList) {}

void SpecWorkbookWriter::Write(const std::string& path, WorkbookProgress& progress) const {
    TemporaryFile file(path);
    std::unique_ptr<lxw_workbook, WorkbookDeleter> workbook(workbook_new(file.Path().c_str()));
    if (!workbook) {
        Check(LXW_ERROR_MEMORY_MALLOC_FAILED, "ブックの作成");
    }
    const std::vector<std::optional<std::string>> sheetNames =
        PlanSheets(workbook.get(), tableMap_, tableList_);

    FormatCache formats(workbook.get());
    lxw_worksheet* indexSheet =
        workbook_add_worksheet(workbook.get(), std::string(kIndexSheetName).c_str());
    if (indexSheet == nullptr) {
        Check(LXW_ERROR_MEMORY_MALLOC_FAILED, "シートの追加");
    }

    const TableSheetPlans plans = PlanTableSheets(formats);
    progress.BeginTables(static_cast<int>(tableList_.size()));
    for (std::size_t at = 0; at < tableList_.size(); ++at) {
        progress.NextTable();
        if (!sheetNames[at]) {
            continue;  // the model lacks this entry: an index row, no sheet
        }
        WriteTableSheet(workbook.get(), *sheetNames[at], *FindTable(tableMap_, tableList_[at]),
                        plans, formats, progress);
    }
    WriteIndexSheet(indexSheet, tableList_, formats);

    // The library frees the workbook whether or not the file could be written.
    Check(workbook_close(workbook.release()), "ファイルの保存");
    file.Commit(path);
}

}  // namespace viewer
