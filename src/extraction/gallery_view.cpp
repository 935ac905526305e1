#include "extraction/gallery_view.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPainter>
#include <QListView>
#include <QStyledItemDelegate>

#include "extraction/gallery_model.h"

namespace gg {

namespace {
// Wide enough for a short file name under the icon, two lines high.
const QSize kGalleryCell(80, 64);

// Every item takes a whole cell, so a caption gets the cell's width whatever the first item's
// caption measures; the view sizes every item like the first one.
class GalleryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return kGalleryCell; }

    // The style draws the cell, the selection and the caption around an empty icon of the
    // decoration's size; the image goes in itself, unsmoothed, so it stays sharp on high-DPI
    // screens instead of being blurred up through an icon.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QImage image = index.data(Qt::DecorationRole).value<QImage>();
        opt.icon = QIcon();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        if (image.isNull())
            return;
        const QRect decoration = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, widget);
        QRect target(QPoint(0, 0), opt.decorationSize);
        target.moveCenter(decoration.center());
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter->drawImage(target, image);
        painter->restore();
    }
};
} // namespace

void setUpGallery(QListView& view)
{
    view.setViewMode(QListView::IconMode);
    view.setIconSize(QSize(32, 32));
    view.setGridSize(kGalleryCell);
    view.setMovement(QListView::Static);
    view.setResizeMode(QListView::Adjust);
    view.setFlow(QListView::LeftToRight);
    view.setWrapping(true);
    // Every cell is the same size, so tens of thousands of items lay out in one quick pass.
    view.setUniformItemSizes(true);
    view.setLayoutMode(QListView::SinglePass);
    view.setWordWrap(true);
    view.setTextElideMode(Qt::ElideMiddle);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setDragEnabled(false);
    view.setItemDelegate(new GalleryDelegate(&view));
}

void setGalleryModel(QListView& view, GalleryModel* images)
{
    if (view.model() == images)
        return;
    // The view makes a new selection model for every model it is given; the old one is ours to drop.
    QItemSelectionModel* old = view.selectionModel();
    view.setModel(images);
    delete old;
}

void layOutGallery(QListView& view, GalleryArrangement arrangement)
{
    view.setFlow(arrangement == GalleryArrangement::InColumns ? QListView::TopToBottom : QListView::LeftToRight);
}

} // namespace gg
