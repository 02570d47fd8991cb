#include "viewer/GridRows.h"

namespace viewer {

namespace {
constexpr std::size_t kBlockBytes = 1 << 20;
}

void GridRows::Reset(std::size_t columns) {
    columns_ = columns;
    blocks_ = {};
    rowStarts_ = {};
    cellsInRow_ = 0;
}

void GridRows::AppendCell(std::string_view text) {
    if (cellsInRow_ == 0) {
        // A row never spans two blocks.
        if (blocks_.empty() || blocks_.back().size() + 4096 > kBlockBytes) {
            blocks_.emplace_back();
            blocks_.back().reserve(kBlockBytes);
        }
        rowStarts_.push_back(static_cast<std::uint64_t>(blocks_.size() - 1) << 32 |
                             blocks_.back().size());
    }
    blocks_.back().append(text);
    blocks_.back().push_back('\0');
    if (++cellsInRow_ == columns_) cellsInRow_ = 0;
}

std::string_view GridRows::Cell(std::size_t row, std::size_t column) const {
    const std::uint64_t start = rowStarts_[row];
    std::string_view text(blocks_[start >> 32]);
    std::size_t at = start & 0xFFFFFFFFu;
    for (std::size_t i = 0; i < column; ++i) at = text.find('\0', at) + 1;
    return text.substr(at, text.find('\0', at) - at);
}

}  // namespace viewer
