// A rectangle of cells laid out in memory (styles, merged ranges, texts,
// links) and compiled once into the writes that put it on a sheet at any
// row, so a layout used on many rows or sheets is worked out once. Knows
// nothing of tables: the table definition workbook lays its sheets out here.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/CellReference.h"
#include "xlsx/Workbook.h"

namespace viewer {

using Color = std::uint32_t;  // 0xRRGGBB
inline constexpr Color kAutomatic = 0xFFFFFFFF;

using xlsx::Align;
using xlsx::Edge;
using xlsx::Range;
using xlsx::StyleId;

struct CellStyle {
    std::string_view fontName;  // empty: the workbook's default font
    bool shrinkToFit = false;
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

    StyleId Get(const CellStyle& style);

  private:
    xlsx::Workbook& workbook_;
    std::map<CellStyle, StyleId> styles_;
};

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
    void Write(xlsx::Sheet& sheet, int sheetRow, std::span<const std::string> texts = {}) const;

  private:
    static void WriteBlank(xlsx::Sheet& sheet, int row, int column, StyleId style);
    static void WriteCell(xlsx::Sheet& sheet, int row, int column, const CellWrite& write,
                          const std::string& text);

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
    WritePlan Compile(FormatCache& formats) const;

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

}  // namespace viewer
