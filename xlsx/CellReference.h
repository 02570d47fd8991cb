// A1 references: "B2:E4", "A1", a column span of one row such as "B:E", and
// the location of a sheet's first cell for a link inside the workbook.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace xlsx {

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

// "'Sheet name'!A1": a location in the workbook for a hyperlink.
inline std::string SheetLocation(const std::string& sheetName) {
    std::string quoted;
    for (const char c : sheetName) {
        quoted += c;
        if (c == '\'') quoted += '\'';  // an apostrophe inside a quoted sheet name is doubled
    }
    return "'" + quoted + "'!A1";
}

}  // namespace xlsx
