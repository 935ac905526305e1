#pragma once
// The gallery's images and their captions, and the gallery items that show them: one model,
// shown by the gallery view. Images are appended while the model is detached from the view; the
// items (the model's rows) are then added in one pass, item m showing image m.

#include <QAbstractListModel>
#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>
#include <vector>

namespace gg {

class GalleryModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // --- images ---
    int count() const { return static_cast<int>(images_.size()); }
    const QImage& image(int i) const { return images_.at(static_cast<size_t>(i)).image; }
    const QString& caption(int i) const { return images_.at(static_cast<size_t>(i)).caption; }
    void add(QImage image, QString caption = {});
    void setCaption(int i, QString caption);
    // Where image i came from: its file's path as bytes (shared by the file's icons) and its
    // number in that file, so its group can be read again when asked for.
    struct Origin {
        QByteArray path;
        int number = -1;
    };
    const Origin& origin(int i) const { return images_.at(static_cast<size_t>(i)).origin; }
    void setOrigin(int i, Origin origin);
    // Removes every image, and with them every item.
    void clear();

    // --- gallery items ---
    int itemCount() const { return items_; }
    // One item for every image that has none yet, in one insertion.
    void addItems();
    void clearItems();

    // --- describing items to assistive technology ---
    // An item's accessible description (its name stays the caption). Worked out when asked, so the
    // gallery keeps nothing more per icon; unset, items have none.
    std::function<QString(int row)> describe;

    // --- dragging items out ---
    // The drag's data for the given rows, in gallery order; null refuses the drag. Unset, items
    // cannot be dragged.
    std::function<QMimeData*(const std::vector<int>& rows)> dragData;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    struct Image {
        QImage image;
        QString caption;
        Origin origin;
    };
    std::vector<Image> images_;
    int items_ = 0;
};

} // namespace gg
