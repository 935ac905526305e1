#include "extraction/gallery_model.h"

#include <algorithm>

namespace gg {

int GalleryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : items_;
}

QVariant GalleryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= items_)
        return {};
    const Image& item = images_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return item.caption;
    case Qt::DecorationRole:
        return item.image;
    case Qt::AccessibleDescriptionRole:
        return describe ? describe(index.row()) : QVariant();
    default:
        return {};
    }
}

void GalleryModel::add(QImage image, QString caption)
{
    images_.push_back({std::move(image), std::move(caption), {}});
}

void GalleryModel::setCaption(int i, QString caption)
{
    images_.at(static_cast<size_t>(i)).caption = std::move(caption);
    if (i < items_) {
        const QModelIndex changed = index(i);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

void GalleryModel::setOrigin(int i, Origin origin)
{
    images_.at(static_cast<size_t>(i)).origin = std::move(origin);
}

void GalleryModel::clear()
{
    clearItems();
    std::vector<Image>().swap(images_); // give the memory back, not just the elements
}

void GalleryModel::addItems()
{
    const int total = count();
    if (total <= items_)
        return;
    beginInsertRows({}, items_, total - 1);
    items_ = total;
    endInsertRows();
}

void GalleryModel::clearItems()
{
    if (items_ == 0)
        return;
    beginResetModel();
    items_ = 0;
    endResetModel();
}

Qt::ItemFlags GalleryModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractListModel::flags(index);
    if (index.isValid() && dragData)
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QMimeData* GalleryModel::mimeData(const QModelIndexList& indexes) const
{
    if (!dragData)
        return nullptr;
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(indexes.size()));
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.model() == this && index.row() < items_)
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows.empty() ? nullptr : dragData(rows);
}

} // namespace gg
