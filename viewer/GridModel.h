// The viewer window's record grid as a Qt table model over the compact rows
// of GridRows; rows are shown as they are published, so a long load paints
// as it goes.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/GridRows.h"

namespace viewer {

class GridModel : public QAbstractTableModel {
  public:
    void setHeadings(std::vector<std::string> headings);
    const std::vector<std::string>& headings() const { return headings_; }
    void clearRows();
    // Cells are added in row order, headings().size() per row; a row is
    // complete, and counted, when its last cell is added.
    void appendCell(std::string_view text) { rows_.AppendCell(text); }
    void publishPendingRows();  // shows the rows added since the last call
    std::size_t rowCount() const { return publishedRows_; }
    std::string_view cell(std::size_t row, std::size_t column) const {
        return rows_.Cell(row, column);
    }

    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<std::string> headings_;
    GridRows rows_;
    std::size_t publishedRows_ = 0;
};

}  // namespace viewer
