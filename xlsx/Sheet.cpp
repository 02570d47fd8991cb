#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <tuple>

#include "xlsx/Workbook.h"
#include "xlsx/Xml.h"

namespace xlsx {

using namespace detail;

namespace {

// The spreadsheet's own limits.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr std::size_t kMaxCellCharacters = 32767;

// The file stores widths as the spreadsheet computes them from what its
// dialog takes: whole pixels of a 7-pixel digit plus 5 pixels of padding,
// in 1/256 of a character.
double StoredColumnWidth(double width) {
    if (width <= 0) return 0;
    const double pixels = std::floor(width * 7 + 0.5) + 5;
    return std::floor(pixels * 256 / 7) / 256;
}

}  // namespace

void Sheet::SetColumns(int first, int last, double width, StyleId style) {
    if (first < 0 || last < first || last >= kMaxColumns) {
        throw std::out_of_range("xlsx::Sheet::SetColumns: columns outside the sheet");
    }
    columns_.push_back({first, last, width, style});
}

void Sheet::Add(CellEntry entry) {
    if (entry.row < 0 || entry.row >= kMaxRows || entry.column < 0 || entry.column >= kMaxColumns) {
        throw std::out_of_range("xlsx::Sheet: a cell outside the sheet");
    }
    entry.order = static_cast<std::uint32_t>(cells_.size());
    cells_.push_back(entry);
}

void Sheet::WriteBlank(int row, int column, StyleId style) {
    Add({row, column, 0, Kind::Blank, style, 0, 0});
}

void Sheet::WriteString(int row, int column, std::string_view text, StyleId style) {
    if (text.empty()) {
        WriteBlank(row, column, style);
        return;
    }
    // The spreadsheet would call a longer text damage and drop it.
    if (text.size() > kMaxCellCharacters && CharacterCount(text) > kMaxCellCharacters) {
        throw WriteError("セルの文字列が長すぎます（" + std::to_string(kMaxCellCharacters) +
                         "文字まで）：" + std::string(Utf8Head(text, 40)) + "…");
    }
    Add({row, column, 0, Kind::String, style, workbook_->SharedString(text), 0});
}

void Sheet::WriteNumber(int row, int column, double value, StyleId style) {
    Add({row, column, 0, Kind::Number, style, 0, value});
}

void Sheet::Merge(int firstRow, int firstColumn, int lastRow, int lastColumn) {
    if (firstRow < 0 || firstColumn < 0 || lastRow < firstRow || lastColumn < firstColumn ||
        lastRow >= kMaxRows || lastColumn >= kMaxColumns) {
        throw std::out_of_range("xlsx::Sheet::Merge: a range outside the sheet");
    }
    merges_.push_back({firstRow, firstColumn, lastRow, lastColumn});
}

void Sheet::LinkToLocation(int row, int column, std::string_view location, std::string_view display,
                           std::string_view tooltip) {
    links_.push_back(
        {row, column, std::string(location), std::string(display), std::string(tooltip)});
}

std::vector<Sheet::CellEntry> Sheet::SortedCells() const {
    std::vector<CellEntry> cells = cells_;
    std::sort(cells.begin(), cells.end(), [](const CellEntry& a, const CellEntry& b) {
        return std::tie(a.row, a.column, a.order) < std::tie(b.row, b.column, b.order);
    });
    // Of the writes to one cell the last one stands.
    std::size_t kept = 0;
    for (std::size_t at = 0; at < cells.size(); ++at) {
        if (kept > 0 && cells[kept - 1].row == cells[at].row &&
            cells[kept - 1].column == cells[at].column) {
            cells[kept - 1] = cells[at];
        } else {
            cells[kept++] = cells[at];
        }
    }
    cells.resize(kept);
    return cells;
}

// The parts before the cells: extent, view, default row height, columns.
void Sheet::AppendHead(std::string& out, const std::vector<CellEntry>& cells, bool selected) const {
    out += "<worksheet xmlns=\"";
    out += kMainNamespace;
    out += "\" xmlns:r=\"";
    out += kRelationshipsNamespace;
    out += "\"><dimension ref=\"";
    if (cells.empty()) {
        out += "A1";
    } else {
        const auto [first, last] = std::minmax_element(
            cells.begin(), cells.end(),
            [](const CellEntry& a, const CellEntry& b) { return a.column < b.column; });
        AppendRange(out, cells.front().row, first->column, cells.back().row, last->column);
    }
    out += "\"/><sheetViews><sheetView";
    if (selected) out += " tabSelected=\"1\"";
    if (zoom_ != 100) {
        out += " zoomScale=\"";
        AppendInteger(out, zoom_);
        out += "\" zoomScaleNormal=\"";
        AppendInteger(out, zoom_);
        out += '"';
    }
    out += " workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    if (columns_.empty()) return;
    out += "<cols>";
    for (const Columns& columns : columns_) {
        out += "<col min=\"";
        AppendInteger(out, columns.first + 1);
        out += "\" max=\"";
        AppendInteger(out, columns.last + 1);
        out += "\" width=\"";
        AppendNumber(out, StoredColumnWidth(columns.width));
        out += '"';
        if (columns.style != 0) {
            out += " style=\"";
            AppendInteger(out, columns.style);
            out += '"';
        }
        out += " customWidth=\"1\"/>";
    }
    out += "</cols>";
}

// Every row that has cells or a height, in order, its cells in order.
void Sheet::AppendData(std::string& out, const std::vector<CellEntry>& cells) const {
    out += "<sheetData>";
    auto height = rowHeights_.begin();
    auto cell = cells.begin();
    while (cell != cells.end() || height != rowHeights_.end()) {
        const int row = cell == cells.end()           ? height->first
                        : height == rowHeights_.end() ? cell->row
                                                      : std::min(cell->row, height->first);
        out += "<row r=\"";
        AppendInteger(out, row + 1);
        out += '"';
        if (height != rowHeights_.end() && height->first == row) {
            out += " ht=\"";
            AppendNumber(out, height->second);
            out += "\" customHeight=\"1\"";
            ++height;
        }
        if (cell == cells.end() || cell->row != row) {
            out += "/>";
            continue;
        }
        out += '>';
        for (; cell != cells.end() && cell->row == row; ++cell) {
            out += "<c r=\"";
            AppendCellName(out, row, cell->column);
            out += '"';
            if (cell->style != 0) {
                out += " s=\"";
                AppendInteger(out, cell->style);
                out += '"';
            }
            switch (cell->kind) {
                case Kind::Blank:
                    out += "/>";
                    break;
                case Kind::String:
                    out += " t=\"s\"><v>";
                    AppendInteger(out, cell->text);
                    out += "</v></c>";
                    break;
                case Kind::Number:
                    out += "><v>";
                    AppendNumber(out, cell->number);
                    out += "</v></c>";
                    break;
            }
        }
        out += "</row>";
    }
    out += "</sheetData>";
}

// The parts after the cells, in the order the format requires: merged
// ranges, links, page margins.
void Sheet::AppendTail(std::string& out) const {
    if (!merges_.empty()) {
        out += "<mergeCells count=\"";
        AppendInteger(out, static_cast<long long>(merges_.size()));
        out += "\">";
        for (const Range& range : merges_) {
            out += "<mergeCell ref=\"";
            AppendRange(out, range.firstRow, range.firstColumn, range.lastRow, range.lastColumn);
            out += "\"/>";
        }
        out += "</mergeCells>";
    }
    if (!links_.empty()) {
        out += "<hyperlinks>";
        for (const Link& link : links_) {
            out += "<hyperlink ref=\"";
            AppendCellName(out, link.row, link.column);
            out += "\" location=\"";
            AppendText(out, link.location, Context::Attribute);
            out += '"';
            if (!link.tooltip.empty()) {
                out += " tooltip=\"";
                AppendText(out, link.tooltip, Context::Attribute);
                out += '"';
            }
            out += " display=\"";
            AppendText(out, link.display, Context::Attribute);
            out += "\"/>";
        }
        out += "</hyperlinks>";
    }
    out +=
        "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
        "header=\"0.3\" footer=\"0.3\"/></worksheet>";
}

void Sheet::AppendXml(std::string& out, bool selected) const {
    const std::vector<CellEntry> cells = SortedCells();
    AppendHead(out, cells, selected);
    AppendData(out, cells);
    AppendTail(out);
}

}  // namespace xlsx
