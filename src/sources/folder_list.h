#pragma once
// The source list's entries: one folder path per row, in the order they were added.

#include <QAbstractListModel>
#include <QStringList>

namespace gg {

class FolderListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setHeading(const QString& heading);
    int count() const { return static_cast<int>(entries_.size()); }
    const QString& text(int row) const { return entries_.at(row); }
    const QStringList& entries() const { return entries_; }

    void append(const QString& entry);
    void append(const QStringList& entries);
    void removeAt(int row);
    void clear();

private:
    QStringList entries_;
    QString heading_;
};

} // namespace gg
