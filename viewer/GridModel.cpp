#include "viewer/GridModel.h"

namespace viewer {

void GridModel::setHeadings(std::vector<std::string> headings) {
    beginResetModel();
    headings_ = std::move(headings);
    rows_.Reset(headings_.size());
    publishedRows_ = 0;
    endResetModel();
}

void GridModel::clearRows() {
    beginResetModel();
    rows_.Reset(headings_.size());
    publishedRows_ = 0;
    endResetModel();
}

void GridModel::publishPendingRows() {
    if (headings_.empty()) return;
    const std::size_t complete = rows_.CompleteRows();
    if (complete == publishedRows_) return;
    beginInsertRows(QModelIndex(), static_cast<int>(publishedRows_),
                    static_cast<int>(complete - 1));
    publishedRows_ = complete;
    endInsertRows();
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(publishedRows_);
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const std::string_view text =
        cell(static_cast<std::size_t>(index.row()), static_cast<std::size_t>(index.column()));
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal && section >= 0 &&
        section < static_cast<int>(headings_.size())) {
        return QString::fromStdString(headings_[static_cast<std::size_t>(section)]);
    }
    if (orientation == Qt::Vertical) return section + 1;
    return {};
}

}  // namespace viewer
