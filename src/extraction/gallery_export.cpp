#include "extraction/gallery_export.h"

#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
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
#include <cerrno>
#include <cstdint>
#include <exception>
#include <set>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "extraction/gallery_model.h"
#include "icons/atomic_file.h"
#include "icons/errno_text.h"
#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"
#include "icons/new_files.h"
#include "icons/theme_install.h"
#include "runtime/messages.h"
#include "runtime/dialogs.h"
#include "runtime/fs_helpers.h"
#include "sources/folder_scan.h"

namespace gg {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The picture a PNG holds: large enough for any launcher or theme.
constexpr int kPictureSide = 256;

QString shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

QString sentence(int error)
{
    return QString::fromStdString(errnoText(error)) + u'.';
}

QString sentence(ReadError error)
{
    return QString::fromLatin1(describeReadError(error));
}

// Reads icons again from their files; a run of icons from one file opens it once.
class IconReader {
public:
    enum class Missing { No, Unreadable, Gone };

    // The group of the icon, or null with why in missing() and error().
    const IconGroup* group(const GalleryModel::Origin& origin)
    {
        if (origin.path != path_ || !opened_) {
            path_ = origin.path;
            source_ = IconSource::open(path_.toStdString());
            opened_ = true;
        }
        const IconGroup* found = origin.number >= 0 ? source_.group(origin.number) : nullptr;
        missing_ = Missing::No;
        if (!found) {
            error_ = ::access(path_.constData(), R_OK) == 0 ? 0 : errno;
            missing_ = error_ != 0 ? Missing::Unreadable : Missing::Gone;
        }
        return found;
    }
    Missing missing() const { return missing_; }

    // The one message for a missing icon.
    QString problem(const GalleryModel::Origin& origin) const
    {
        if (missing_ == Missing::Unreadable)
            return messages::kCannotRead.arg(shown(origin.path), sentence(error_));
        return messages::kIconGone
            .arg(QString::number(origin.number), shown(origin.path));
    }

private:
    QByteArray path_;
    bool opened_ = false;
    IconSource source_;
    Missing missing_ = Missing::No;
    int error_ = 0;
};

// What goes into one file: its bytes and its name's suffix, or why there are none.
struct FileContent {
    Bytes bytes;
    std::string suffix;
    QString problem;
};

FileContent originalFile(const IconGroup& group, const GalleryModel::Origin& origin)
{
    Result<Bytes> file = rebuildIconFile(group);
    if (!file)
        return {{}, {}, messages::kCannotRebuild
                            .arg(QString::number(origin.number), shown(origin.path), sentence(file.failure().error))};
    // A cursor's group rebuilt is a cursor file.
    return {std::move(file.value()), group.directoryType == 2 ? ".cur" : ".ico", {}};
}

FileContent pictureFile(const IconGroup& group, const GalleryModel::Origin& origin)
{
    const QString what = messages::kCannotMakePng
                             .arg(QString::number(origin.number), shown(origin.path));
    Result<QImage> picture = pictureAt(group, kPictureSide);
    if (!picture)
        return {{}, {}, what + sentence(picture.failure().error)};
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture->save(&buffer, "PNG"))
        return {{}, {}, what + messages::kPngEncoderFailed};
    return {Bytes(png.begin(), png.end()), ".png", {}};
}

// The source file's name less its last dot and what follows, as bytes: the save commands' base.
std::string baseName(const QByteArray& path)
{
    return sequenceBase(path.mid(path.lastIndexOf('/') + 1).toStdString());
}

QString imageText(const IconImageInfo& image)
{
    if (image.width == 0)
        return QStringLiteral("unreadable image");
    const QString size = QStringLiteral("%1x%2").arg(image.width).arg(image.height);
    return image.png ? size + QStringLiteral(" PNG") : size + QStringLiteral(" %1-bit").arg(image.depth);
}

// Marks a save under way, the hourglass included, until the save ends however it ends.
class SavingMark {
public:
    SavingMark(const CommandContext& context, RunState& runs) : context_(context), runs_(runs)
    {
        runs_.start(RunState::Activity::Saving);
        context_.setPointer(kPointerBusy);
    }
    ~SavingMark() { end(); }
    SavingMark(const SavingMark&) = delete;
    SavingMark& operator=(const SavingMark&) = delete;
    void end()
    {
        if (!on_)
            return;
        on_ = false;
        runs_.finish();
        context_.setPointer(kPointerDefault);
    }

private:
    const CommandContext& context_;
    RunState& runs_;
    bool on_ = true;
};

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

GalleryExport* InstallGalleryExport(QListView& gallery, GalleryModel& images, GalleryExportServices services)
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
    IconReader reader;
    if (const IconGroup* group = reader.group(origin)) {
        QStringList images;
        for (const IconImageInfo& image : describeImages(*group))
            images << imageText(image);
        lines << images.join(QStringLiteral(", "));
    } else {
        lines << (reader.missing() == IconReader::Missing::Gone ? QStringLiteral("No longer in the file")
                                                                : QStringLiteral("The file cannot be read"));
    }
    return lines.join(u'\n');
}

void GalleryExport::saveOriginals()
{
    save(Kind::Original);
}

void GalleryExport::savePictures()
{
    save(Kind::Picture);
}

void GalleryExport::save(Kind kind)
{
    if (!images_ || services_.runs->busy())
        return;
    const std::vector<int> rows = selectedRows();
    const CommandContext context = services_.context();
    try {
        if (rows.size() == 1)
            saveOne(context, kind, rows.front());
        else if (!rows.empty())
            saveSeveral(context, kind, rows);
    } catch (const std::exception& failure) {
        context.showMessage(messages::kCannotSaveIcons + QString::fromLocal8Bit(failure.what()));
    }
}

void GalleryExport::saveOne(const CommandContext& context, Kind kind, int row)
{
    const GalleryModel::Origin origin = images_->origin(row);
    IconReader reader;
    const IconGroup* group = reader.group(origin);
    if (!group) {
        context.showMessage(reader.problem(origin));
        return;
    }
    const FileContent content = kind == Kind::Original ? originalFile(*group, origin) : pictureFile(*group, origin);
    if (!content.problem.isEmpty()) {
        context.showMessage(content.problem);
        return;
    }

    // The dialog opens in the output folder on the first free name, so Return saves there.
    const QString outputFolder = services_.outputFolder();
    const QString startFolder = IsFolder(outputFolder) ? outputFolder : QDir::homePath();
    const std::string name =
        firstFreeName(QFile::encodeName(startFolder).toStdString(), baseName(origin.path), content.suffix).value_or("");
    const QString title = kind == Kind::Original ? QStringLiteral("Save Original Icon") : QStringLiteral("Save as PNG");
    const QString filter = content.suffix == ".png"   ? QStringLiteral("PNG images (*.png)")
                           : content.suffix == ".cur" ? QStringLiteral("Cursor files (*.cur)")
                                                      : QStringLiteral("Icon files (*.ico)");
    const QString chosen = context.dialogs.saveFile(
        context.owner, title, filter, QDir(startFolder).filePath(QFile::decodeName(QByteArray::fromStdString(name))));
    if (chosen.isEmpty())
        return;

    const std::string target = QFile::encodeName(chosen).toStdString();
    struct stat st {};
    // The dialog gives back a name that something holds only once the user agreed to replace it.
    const FileOutcome saved = ::lstat(target.c_str(), &st) == 0 ? replaceFile(target, content.bytes)
                                                                 : writeNewFile(target, content.bytes);
    if (!saved.ok())
        context.showMessage(messages::kCannotSave.arg(chosen, sentence(saved.error)));
}

void GalleryExport::saveSeveral(const CommandContext& context, Kind kind, const std::vector<int>& rows)
{
    const QString outputFolder = services_.outputFolder();
    if (!IsFolder(outputFolder)) {
        context.showMessage(messages::kFolderMissing);
        return;
    }
    const std::string folder = QFile::encodeName(outputFolder).toStdString();
    if (const FolderHandle handle = FolderHandle::open(folder); !handle.isValid()) {
        const int error = errno;
        context.showMessage(messages::kCannotSaveInto.arg(outputFolder, sentence(error)));
        return;
    }
    SavingMark saving(context, *services_.runs);
    EventPacer pacer([] { QCoreApplication::processEvents(); });
    NewFiles files;
    IconReader reader;
    std::set<QByteArray> toldOf; // files whose problem has been told: once is enough
    for (const int row : rows) {
        pacer();
        const GalleryModel::Origin origin = images_->origin(row);
        const IconGroup* group = reader.group(origin);
        if (!group) {
            if (toldOf.insert(origin.path).second)
                context.showMessage(reader.problem(origin));
            continue;
        }
        const FileContent content = kind == Kind::Original ? originalFile(*group, origin) : pictureFile(*group, origin);
        if (!content.problem.isEmpty()) {
            context.showMessage(content.problem);
            continue;
        }
        const FileOutcome saved = files.write(folder, baseName(origin.path), content.suffix, content.bytes);
        if (!saved.ok()) {
            context.showMessage(messages::kCannotSaveIconInto
                     .arg(QString::number(origin.number), shown(origin.path), outputFolder, sentence(saved.error)));
            // A failure that every further icon would meet ends the save.
            if (failsForEveryFile(saved.error))
                return;
        }
    }
    saving.end();
    context.showMessage(messages::kDone);
}

void GalleryExport::copyImage()
{
    if (!images_ || services_.runs->busy())
        return;
    const CommandContext context = services_.context();
    try {
        copyOne(context);
    } catch (const std::exception& failure) {
        context.showMessage(messages::kCannotCopy + QString::fromLocal8Bit(failure.what()));
    }
}

void GalleryExport::copyOne(const CommandContext& context)
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty())
        return;
    // The item the menu was opened on, if it is one of the selected.
    const QModelIndex current = gallery_.currentIndex();
    const bool onCurrent = current.isValid() && std::binary_search(rows.begin(), rows.end(), current.row());
    const GalleryModel::Origin origin = images_->origin(onCurrent ? current.row() : rows.front());
    IconReader reader;
    const IconGroup* group = reader.group(origin);
    if (!group) {
        context.showMessage(reader.problem(origin));
        return;
    }
    const Result<QImage> picture = pictureAt(*group, std::clamp(largestSide(*group), 1, kMaxPictureSide));
    if (!picture) {
        context.showMessage(messages::kCannotCopyIcon
                 .arg(QString::number(origin.number), shown(origin.path), sentence(picture.failure().error)));
        return;
    }
    QGuiApplication::clipboard()->setImage(*picture);
}

void GalleryExport::addToIconTheme()
{
    if (!images_ || services_.runs->busy())
        return;
    const std::vector<int> rows = selectedRows();
    if (rows.size() != 1)
        return;
    const CommandContext context = services_.context();
    try {
        installOne(context, rows.front());
    } catch (const std::exception& failure) {
        context.showMessage(messages::kCannotAddToTheme + QString::fromLocal8Bit(failure.what()));
    }
}

void GalleryExport::installOne(const CommandContext& context, int row)
{
    const GalleryModel::Origin origin = images_->origin(row);
    IconReader reader;
    const IconGroup* group = reader.group(origin);
    if (!group) {
        context.showMessage(reader.problem(origin));
        return;
    }
    const ThemeImages images = themeImages(*group);
    if (images.images.empty()) {
        context.showMessage(messages::kCannotAddIconToTheme
                                .arg(QString::number(origin.number), shown(origin.path), QString::fromStdString(images.problem)));
        return;
    }
    const QString typed = context.dialogs.askText(context.owner, QStringLiteral("Add to Icon Theme"),
                                                  QStringLiteral("Name of the icon (a launcher names it as Icon=name):"),
                                                  QString::fromStdString(iconNameForFile(origin.path.toStdString())));
    if (typed.trimmed().isEmpty())
        return;
    const std::string name = cleanIconName(typed.trimmed().toStdString());
    const QString shownName = QString::fromStdString(name);
    const ThemePlaces places = themePlacesFromEnvironment();
    ThemeChange change = installThemeIcon(places, name, images.images, false);
    if (change.outcome == ThemeChange::Outcome::InstalledBefore) {
        const QString question = messages::kReplaceThemeIcon.arg(shownName);
        if (context.boxes.show(context.appTitle, question, BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes)
            return;
        change = installThemeIcon(places, name, images.images, true);
    }
    switch (change.outcome) {
    case ThemeChange::Outcome::Done: {
        QStringList sides;
        for (const int side : change.sides)
            sides << QString::number(side);
        const QString sizes = sides.size() == 1 ? sides.front()
                                                : sides.mid(0, sides.size() - 1).join(QStringLiteral(", ")) +
                                                      QStringLiteral(" and ") + sides.back();
        context.showMessage(messages::kAddedToTheme
                                .arg(shownName, sizes));
        return;
    }
    case ThemeChange::Outcome::Taken:
        context.showMessage(messages::kThemeNameTaken
                                .arg(shownName, shown(QByteArray::fromStdString(change.path))));
        return;
    default: {
        const QString problem = QString::fromStdString(change.problem);
        context.showMessage(messages::kCannotAddNamedToTheme
                                .arg(shownName, change.path.empty() ? problem
                                                                    : shown(QByteArray::fromStdString(change.path)) +
                                                                          QStringLiteral(": ") + problem));
        return;
    }
    }
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
    NewFiles files;
    IconReader reader;
    std::set<QByteArray> toldOf;
    QList<QUrl> urls;
    for (const int row : rows) {
        const GalleryModel::Origin origin = images_->origin(row);
        const IconGroup* group = reader.group(origin);
        if (!group) {
            if (toldOf.insert(origin.path).second)
                context.showMessage(reader.problem(origin));
            continue;
        }
        const FileContent content = originalFile(*group, origin);
        if (!content.problem.isEmpty()) {
            context.showMessage(content.problem);
            continue;
        }
        // The dropped file's name is shown as text, so it is made of text.
        const std::string base = QFile::encodeName(shown(QByteArray::fromStdString(baseName(origin.path)))).toStdString();
        const FileOutcome saved = files.write(dropPath.toStdString(), base, content.suffix, content.bytes);
        if (!saved.ok()) {
            context.showMessage(messages::kCannotMakeDragged + sentence(saved.error));
            break;
        }
        urls << QUrl::fromLocalFile(QFile::decodeName(dropPath + '/' + QByteArray::fromStdString(saved.name)));
    }
    if (urls.isEmpty())
        return nullptr;
    dragFolder_ = std::move(dropFolder); // the last drag's files go now
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

} // namespace gg
