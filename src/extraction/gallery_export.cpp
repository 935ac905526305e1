#include "extraction/gallery_export.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolTip>
#include <QUrl>

#include <algorithm>

#include "extraction/export_messages.h"
#include "extraction/gallery_model.h"
#include "icons/icon_groups.h"
#include "runtime/messages.h"

namespace gg {

namespace {

QString imageText(const IconImageInfo& image)
{
    if (image.width == 0)
        return QStringLiteral("unreadable image");
    const QString size = QStringLiteral("%1x%2").arg(image.width).arg(image.height);
    return image.png ? size + QStringLiteral(" PNG") : size + QStringLiteral(" %1-bit").arg(image.depth);
}

// Marks a save under way, the hourglass included, until the save ends however it ends.

} // namespace

GalleryExport::GalleryExport(QListView& gallery, GalleryModel& images, GalleryExportServices services)
    : QObject(&gallery), gallery_(gallery), images_(&images), services_(std::move(services))
{
    setObjectName(QStringLiteral("galleryExport"));
    menu_ = new QMenu(&gallery);
    menu_->setObjectName(QStringLiteral("galleryMenu"));
    connect(menu_->addAction(QStringLiteral("Save Original Icon...")), &QAction::triggered, this,
            &GalleryExport::saveOriginals);
    connect(menu_->addAction(QStringLiteral("Save as PNG...")), &QAction::triggered, this,
            &GalleryExport::savePictures);
    connect(menu_->addAction(QStringLiteral("Copy Image")), &QAction::triggered, this, &GalleryExport::copyImage);
    addToThemeAction_ = menu_->addAction(QStringLiteral("Add to Icon Theme..."));
    connect(addToThemeAction_, &QAction::triggered, this, &GalleryExport::addToIconTheme);

    // Right button and the Menu key reach the viewport or the view; Shift+F10 is a key press.
    gallery.installEventFilter(this);
    viewport_ = gallery.viewport();
    viewport_->installEventFilter(this);

    // Items go out as copies only; nothing is dropped on the gallery.
    gallery.setDragDropMode(QAbstractItemView::DragOnly);
    gallery.setDefaultDropAction(Qt::CopyAction);
    images.dragData = [this](const std::vector<int>& rows) { return dragData(rows); };
    // A screen reader tells the icons apart by what their tooltips say.
    images.describe = [this](int row) { return toolTip(row); };
}

GalleryExport::~GalleryExport()
{
    if (images_) {
        images_->dragData = nullptr;
        images_->describe = nullptr;
    }
}

GalleryExport* installGalleryExport(QListView& gallery, GalleryModel& images, GalleryExportServices services)
{
    return new GalleryExport(gallery, images, std::move(services));
}

std::vector<int> GalleryExport::selectedRows() const
{
    std::vector<int> rows;
    const QItemSelectionModel* selection = gallery_.selectionModel();
    if (!images_ || !selection || selection->model() != images_)
        return rows;
    for (const QModelIndex& index : selection->selectedIndexes())
        if (index.row() < images_->itemCount())
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void GalleryExport::showMenu(const QPoint& globalPos)
{
    const std::size_t selected = selectedRows().size();
    const bool enabled = !services_.runs->busy() && selected > 0;
    for (QAction* action : menu_->actions())
        action->setEnabled(enabled);
    // A theme holds one icon under a name.
    addToThemeAction_->setEnabled(enabled && selected == 1);
    menu_->popup(globalPos);
}

QPoint GalleryExport::keyboardMenuPlace() const
{
    QWidget* viewport = gallery_.viewport();
    const QModelIndex current = gallery_.currentIndex();
    const QRect item = current.isValid() ? gallery_.visualRect(current).intersected(viewport->rect()) : QRect();
    return viewport->mapToGlobal(item.isEmpty() ? QPoint(0, 0) : item.center());
}

bool GalleryExport::eventFilter(QObject* watched, QEvent* event)
{
    // Compared as addresses: the viewport still sends events while the view around it is destroyed.
    if (watched != &gallery_ && watched != viewport_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ContextMenu: {
        const auto* request = static_cast<QContextMenuEvent*>(event);
        showMenu(request->reason() == QContextMenuEvent::Mouse ? request->globalPos() : keyboardMenuPlace());
        return true;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == &gallery_ && key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            showMenu(keyboardMenuPlace());
            return true;
        }
        break;
    }
    case QEvent::ToolTip: {
        if (watched != viewport_)
            break;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = gallery_.indexAt(help->pos());
        if (images_ && index.isValid() && index.model() == images_ && index.row() < images_->itemCount())
            QToolTip::showText(help->globalPos(), toolTip(index.row()), gallery_.viewport(), gallery_.visualRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QString GalleryExport::toolTip(int row) const
{
    const GalleryModel::Origin& origin = images_->origin(row);
    QStringList lines{shown(origin.path), QStringLiteral("Icon number %1 in the file").arg(origin.number)};
    IconRereader reader;
    if (const IconGroup* group = reader.group(originOf(origin))) {
        QStringList images;
        for (const IconImageInfo& image : describeImages(*group))
            images << imageText(image);
        lines << images.join(QStringLiteral(", "));
    } else {
        lines << (reader.missing() == IconRereader::Missing::Gone ? QStringLiteral("No longer in the file")
                                                                : QStringLiteral("The file cannot be read"));
    }
    return lines.join(u'\n');
}

QMimeData* GalleryExport::dragData(const std::vector<int>& rows)
{
    if (!images_ || services_.runs->busy())
        return nullptr;
    try {
        return dropFiles(rows);
    } catch (const std::exception& failure) {
        services_.context().showMessage(messages::kCannotMakeDragged + QString::fromLocal8Bit(failure.what()));
        return nullptr;
    }
}

QMimeData* GalleryExport::dropFiles(const std::vector<int>& rows)
{
    const CommandContext context = services_.context();
    // A file manager copies the files after the drop, in its own time: they stay until the next drag.
    QString place = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (place.isEmpty())
        place = QDir::tempPath();
    auto dropFolder = std::make_unique<QTemporaryDir>(place + QStringLiteral("/glimmer-gatherer-drag-XXXXXX"));
    if (!dropFolder->isValid()) {
        context.showMessage(messages::kCannotMakeDragFolder + dropFolder->errorString());
        return nullptr;
    }
    const QByteArray dropPath = QFile::encodeName(dropFolder->path());
    // The dropped file's name is shown as text, so it is made of text.
    IconExport exported(ExportKind::Original, [](const std::string& path) {
        return QFile::encodeName(shown(exportBaseName(path))).toStdString();
    });
    const IconExport::Written written =
        exported.write(originsOf(*images_, rows), dropPath.toStdString(), [&](const ExportProblem& problem) {
            if (problem.what != ExportProblem::What::CannotWrite) {
                context.showMessage(problemText(problem, ExportKind::Original));
                return true;
            }
            context.showMessage(messages::kCannotMakeDragged + sentence(problem.error));
            return false;
        });
    QList<QUrl> urls;
    for (const std::string& name : written.names)
        urls << QUrl::fromLocalFile(QFile::decodeName(dropPath + '/' + QByteArray::fromStdString(name)));
    if (urls.isEmpty())
        return nullptr;
    dragFolder_ = std::move(dropFolder); // the last drag's files go now
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

} // namespace gg
