#pragma once
// The gallery's images and their captions: one model, shown by the gallery view.

#include <QAbstractListModel>
#include <QImage>
#include <QString>
#include <vector>

namespace gg {

class ImageList : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int count() const { return static_cast<int>(items_.size()); }
    const QImage& image(int i) const { return items_.at(static_cast<size_t>(i)).image; }
    const QString& tag(int i) const { return items_.at(static_cast<size_t>(i)).tag; }

    void add(QImage image, QString tag);
    void clear();

private:
    struct Item {
        QImage image;
        QString tag;
    };
    std::vector<Item> items_;
};

} // namespace gg
