#include "viewer/WorkbookGrid.h"

namespace viewer {

StyleId FormatCache::Get(const CellStyle& style) {
    const auto found = styles_.find(style);
    if (found != styles_.end()) {
        return found->second;
    }
    xlsx::Style look;
    if (!style.fontName.empty()) look.fontName = std::string(style.fontName);
    look.shrinkToFit = style.shrinkToFit;
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

void WritePlan::Write(xlsx::Sheet& sheet, int sheetRow, std::span<const std::string> texts) const {
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

// A blank cell without a look of its own is no cell at all.
void WritePlan::WriteBlank(xlsx::Sheet& sheet, int row, int column, StyleId style) {
    if (style != 0) sheet.WriteBlank(row, column, style);
}

void WritePlan::WriteCell(xlsx::Sheet& sheet, int row, int column, const CellWrite& write,
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

WritePlan Grid::Compile(FormatCache& formats) const {
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

}  // namespace viewer
