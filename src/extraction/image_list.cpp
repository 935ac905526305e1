#include "extraction/image_list.h"

#include <QPixmap>

namespace gg {

int ImageList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ImageList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const Item& item = items_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return item.tag;
    case Qt::DecorationRole:
        return item.image;
    default:
        return {};
    }
}

void ImageList::add(QImage image, QString tag)
{
    beginInsertRows({}, count(), count());
    items_.push_back({std::move(image), std::move(tag)});
    endInsertRows();
}

void ImageList::clear()
{
    beginResetModel();
    items_.clear();
    endResetModel();
}

} // namespace gg
