// The record grid's rows, held compactly and without Qt: each row's cells as
// one run of text with a zero byte after every cell, in blocks of about a
// megabyte (no doubling reallocation), and one 8-byte start per row. A
// million rows cost little more than their text. The viewer window shows
// them through its grid model; the headless `show` prints them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

class GridRows {
  public:
    // Empties the rows; every later row has `columns` cells.
    void Reset(std::size_t columns);
    std::size_t Columns() const { return columns_; }
    // Cells are added in row order, Columns() per row.
    void AppendCell(std::string_view text);
    // Rows whose last cell has been added.
    std::size_t CompleteRows() const { return rowStarts_.size() - (cellsInRow_ != 0 ? 1 : 0); }
    std::string_view Cell(std::size_t row, std::size_t column) const;

  private:
    std::size_t columns_ = 0;
    std::vector<std::string> blocks_;
    std::vector<std::uint64_t> rowStarts_;  // block index << 32 | offset in the block
    std::size_t cellsInRow_ = 0;            // cells of the row being added
};

}  // namespace viewer
