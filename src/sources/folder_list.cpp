#include "sources/folder_list.h"

namespace gg {

int FolderListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return entries_.at(index.row());
    return {};
}

QVariant FolderListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole && !heading_.isNull())
        return heading_;
    return {};
}

void FolderListModel::setHeading(const QString& heading)
{
    heading_ = heading;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void FolderListModel::append(const QString& entry)
{
    beginInsertRows({}, count(), count());
    entries_.append(entry);
    endInsertRows();
}

void FolderListModel::append(const QStringList& entries)
{
    if (entries.isEmpty())
        return;
    beginInsertRows({}, count(), count() + static_cast<int>(entries.size()) - 1);
    entries_.append(entries);
    endInsertRows();
}

void FolderListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    entries_.removeAt(row);
    endRemoveRows();
}

void FolderListModel::clear()
{
    beginResetModel();
    entries_.clear();
    endResetModel();
}

} // namespace gg
