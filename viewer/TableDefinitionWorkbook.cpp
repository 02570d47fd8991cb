#include "viewer/TableDefinitionWorkbook.h"

#include <cstring>
#include <map>
#include <optional>
#include <span>

#include "platform/AtomicFile.h"
#include "viewer/GridText.h"
#include "viewer/WorkbookGrid.h"
#include "xlsx/CellReference.h"
#include "xlsx/Workbook.h"

namespace viewer {
namespace {

using xlsx::Cells;
using xlsx::ColumnOf;

// The workbook's colours.
constexpr Color kLightGreen = 0xCCFFCC;
constexpr Color kHeaderGreen = 0x339966;
constexpr Color kWhite = 0xFFFFFF;
constexpr Color kBlue = 0x3366FF;
constexpr Color kOrange = 0xFFCC00;
constexpr Color kBlack = 0x000000;

constexpr std::string_view kTableSheetFont = "ＭＳ 明朝";

// ---------------------------------------------------------------------------
// Table sheets
// ---------------------------------------------------------------------------

constexpr int kTableSheetColumns = ColumnOf("AG") + 1;

CellStyle TableSheetBase() {
    CellStyle style;
    style.fontName = kTableSheetFont;
    style.shrinkToFit = true;
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

const std::string kIndexSheetLink = xlsx::SheetLocation(std::string(kIndexSheetName));

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
    StyleId nameStyle;         // F3, the link back to the index sheet
    StyleId descriptionStyle;  // F6, the table's description
    BlockPlans fields;
    BlockPlans indexes;
    BlockPlans foreignKeys;
};

TableSheetPlans PlanTableSheets(FormatCache& formats) {
    const Grid templateRows = BuildTemplate();
    CellStyle nameStyle = templateRows.At(3, ColumnOf("F")).style;
    nameStyle.fontColor = kBlack;
    nameStyle.bold = true;
    // The panel's first cell, as the template writes it for its merged range.
    CellStyle descriptionStyle = templateRows.At(6, ColumnOf("F")).style;
    descriptionStyle.right = descriptionStyle.bottom = Edge::Thick;
    return {templateRows.Compile(formats),     formats.Get(nameStyle),
            formats.Get(descriptionStyle),     PlanBlock(kFieldColumns, formats),
            PlanBlock(kIndexColumns, formats), PlanBlock(kForeignKeyColumns, formats)};
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
    if (!table.description.empty()) {
        sheet.WriteString(5, ColumnOf("F"), table.description, plans.descriptionStyle);  // F6
    }

    progress.BeginRows(
        static_cast<int>(table.columns.size() + table.indexes.size() + table.foreignKeys.size()));
    constexpr int kFirstFieldRow = 11;  // below the template's field header
    WriteBlockRows(
        sheet, kFirstFieldRow, plans.fields.row, table.columns,
        [](std::string number, const CDataColumn& column) {
            return std::vector<std::string>{std::move(number),
                                            column.name,
                                            "",
                                            column.typeName,
                                            column.sizeText,
                                            column.defaultText,
                                            column.requiredText,
                                            "",
                                            column.keyKind,
                                            column.descriptionText};
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
        link.link = xlsx::SheetLocation(SheetNameOf(tableList[at]));
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

TableDefinitionWorkbookWriter::TableDefinitionWorkbookWriter(
    const TableMap& tableMap, const std::vector<std::string>& tableList)
    : tableMap_(tableMap), tableList_(tableList) {}

void TableDefinitionWorkbookWriter::Write(const std::string& path,
                                          WorkbookProgress& progress) const {
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
