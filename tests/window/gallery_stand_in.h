#pragma once
// A gallery model for view tests: like the image list, it answers the decoration role with the
// image itself, so these tests do not depend on how the extraction run fills the gallery.

#include <QImage>
#include <QStandardItemModel>
#include <QString>
#include <vector>

namespace gg::test {

inline QStandardItemModel* galleryStandIn(const std::vector<std::pair<QImage, QString>>& icons, QObject* parent)
{
    auto* model = new QStandardItemModel(parent);
    for (const auto& [image, caption] : icons) {
        auto* item = new QStandardItem(caption);
        item->setData(image, Qt::DecorationRole);
        item->setEditable(false);
        model->appendRow(item);
    }
    return model;
}

} // namespace gg::test
