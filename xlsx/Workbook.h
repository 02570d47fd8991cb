// A spreadsheet workbook (.xlsx, SpreadsheetML) written straight to a file:
// styled cells, merged ranges, links within the workbook, column widths, row
// heights and zoom: what the table definition workbook needs, and nothing
// else. Sheets are laid out in memory one at a time and written whole, so a
// workbook of any number of sheets needs the memory of one.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xlsx/WriteError.h"

namespace xlsx {

enum class Edge : std::uint8_t { None, Thin, Thick };
enum class Align : std::uint8_t { General, Left, Center };
enum class Fill : std::uint8_t { None, Solid, Gray0625 };

struct Style {
    // A Japanese reader lays a sheet out in its own default font; this one
    // gives the widths and line breaks a Japanese user expects.
    std::string fontName = "ＭＳ Ｐゴシック";
    double fontSize = 11;
    bool bold = false;
    bool italic = false;
    std::optional<std::uint32_t> fontColor;  // 0xRRGGBB; the automatic colour when empty
    Fill fill = Fill::None;
    std::uint32_t fillColor = 0;  // the solid colour, or the colour under the grey pattern
    Align align = Align::General;
    bool shrinkToFit = false;
    Edge left = Edge::None;
    Edge top = Edge::None;
    Edge right = Edge::None;
    Edge bottom = Edge::None;

    auto operator<=>(const Style&) const = default;
};

// A style of the workbook; 0 is its default look (ＭＳ Ｐゴシック 11, no fill,
// no borders).
using StyleId = std::uint32_t;

inline constexpr std::size_t kMaxSheetNameCharacters = 31;

// Why `name` cannot name a sheet (empty, longer than 31 characters, one of
// [ ] : * ? / \, an apostrophe first or last), or nullopt when it can.
std::optional<std::string> SheetNameProblem(std::string_view name);

// `name` with ASCII letters in upper case: two sheet names are the same
// sheet's when these are equal, as the spreadsheet compares them.
std::string FoldedSheetName(std::string_view name);

class Workbook;

// The cells of one sheet. Rows and columns count from 0; a later write to a
// cell replaces the earlier one.
class Sheet {
  public:
    void SetZoom(int percent) { zoom_ = percent; }
    // Width in characters of the default font, as the spreadsheet's column
    // dialog takes it; `style` is the look of the columns' empty cells.
    void SetColumns(int first, int last, double width, StyleId style = 0);
    void SetRowHeight(int row, double points) { rowHeights_[row] = points; }

    void WriteBlank(int row, int column, StyleId style);
    // Raises WriteError for a text over 32,767 characters, the spreadsheet's
    // limit for a cell.
    void WriteString(int row, int column, std::string_view text, StyleId style);
    void WriteNumber(int row, int column, double value, StyleId style);

    // Ranges must not overlap; the first cell's value shows.
    void Merge(int firstRow, int firstColumn, int lastRow, int lastColumn);
    // A link on a cell to `location` in this workbook, such as "'Sheet'!A1".
    void LinkToLocation(int row, int column, std::string_view location, std::string_view display,
                        std::string_view tooltip);

  private:
    friend class Workbook;
    explicit Sheet(Workbook& workbook) : workbook_(&workbook) {}

    enum class Kind : std::uint8_t { Blank, String, Number };
    struct CellEntry {
        int row;
        int column;
        std::uint32_t order;  // of writing, so the last write to a cell wins
        Kind kind;
        StyleId style;
        std::uint32_t text;  // shared string index for Kind::String
        double number;
    };
    struct Columns {
        int first;
        int last;
        double width;
        StyleId style;
    };
    struct Range {
        int firstRow;
        int firstColumn;
        int lastRow;
        int lastColumn;
    };
    struct Link {
        int row;
        int column;
        std::string location;
        std::string display;
        std::string tooltip;
    };

    void Add(CellEntry entry);
    std::vector<CellEntry> SortedCells() const;
    void AppendHead(std::string& out, const std::vector<CellEntry>& cells, bool selected) const;
    void AppendData(std::string& out, const std::vector<CellEntry>& cells) const;
    void AppendTail(std::string& out) const;
    // The sheet's part (after the XML declaration); `selected` marks the
    // sheet shown when the workbook opens.
    void AppendXml(std::string& out, bool selected) const;

    Workbook* workbook_;
    int zoom_ = 100;
    std::vector<Columns> columns_;
    std::map<int, double> rowHeights_;
    std::vector<CellEntry> cells_;
    std::vector<Range> merges_;
    std::vector<Link> links_;
};

class Workbook {
  public:
    // Creates (or truncates) `path` and names the sheets in their order.
    // Raises WriteError, also for a name SheetNameProblem refuses or two
    // names equal but for ASCII case.
    Workbook(const std::string& path, std::vector<std::string> sheetNames);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // The same style gives the same id.
    StyleId AddStyle(const Style& style);

    // An empty sheet to lay out; it must not outlive the workbook.
    Sheet NewSheet() { return Sheet(*this); }

    // Writes `sheet` as the sheet at `position` (from 0) of the names given;
    // each position once, in any order. Raises WriteError.
    void WriteSheet(std::size_t position, const Sheet& sheet);

    // Writes the styles, the shared texts and the directory of the file and
    // closes it. Every sheet must have been written. Raises WriteError.
    void Close();

  private:
    friend class Sheet;
    std::uint32_t SharedString(std::string_view text);

    class Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace xlsx
