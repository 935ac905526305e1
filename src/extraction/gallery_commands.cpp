// The gallery menu's commands: save the originals or PNGs, copy the picture, add to the icon theme.
#include "extraction/gallery_export.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QListView>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <sys/stat.h>

#include "extraction/export_messages.h"
#include "extraction/gallery_model.h"
#include "extraction/qimage_conversion.h"
#include "icons/atomic_file.h"
#include "icons/icon_groups.h"
#include "icons/new_files.h"
#include "icons/theme_install.h"
#include "runtime/dialogs.h"
#include "runtime/fs_helpers.h"
#include "runtime/messages.h"
#include "sources/folder_scan.h"

namespace gg {

namespace {

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

void GalleryExport::saveOriginals()
{
    save(ExportKind::Original);
}

void GalleryExport::savePictures()
{
    save(ExportKind::Picture);
}

void GalleryExport::save(ExportKind kind)
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

void GalleryExport::saveOne(const CommandContext& context, ExportKind kind, int row)
{
    const IconOrigin origin = originOf(images_->origin(row));
    IconRereader reader;
    const IconGroup* group = groupOrTell(context, reader, origin);
    if (!group)
        return;
    const ExportedFile content = exportedFile(*group, kind);
    if (!content.ok()) {
        context.showMessage(problemText({ExportProblem::What::CannotBuild, origin, 0, content.problem}, kind));
        return;
    }

    // The dialog opens in the output folder on the first free name, so Return saves there.
    const QString outputFolder = services_.outputFolder();
    const QString startFolder = isFolder(outputFolder) ? outputFolder : QDir::homePath();
    const std::string name =
        firstFreeName(QFile::encodeName(startFolder).toStdString(), exportBaseName(origin.path), content.suffix).value_or("");
    const QString title = kind == ExportKind::Original ? QStringLiteral("Save Original Icon") : QStringLiteral("Save as PNG");
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

void GalleryExport::saveSeveral(const CommandContext& context, ExportKind kind, const std::vector<int>& rows)
{
    const QString outputFolder = services_.outputFolder();
    if (!isFolder(outputFolder)) {
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
    const IconExport::Written written = IconExport(kind).write(originsOf(*images_, rows), folder, [&](const ExportProblem& problem) {
        if (problem.what != ExportProblem::What::CannotWrite) {
            context.showMessage(problemText(problem, kind));
            return true;
        }
        context.showMessage(messages::kCannotSaveIconInto.arg(iconNumber(problem.origin), shown(problem.origin.path),
                                                              outputFolder, sentence(problem.error)));
        // A failure that every further icon would meet ends the save.
        if (failsForEveryFile(problem.error))
            return false;
        return true;
    }, pacer);
    if (written.stopped)
        return;
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
    const IconOrigin origin = originOf(images_->origin(onCurrent ? current.row() : rows.front()));
    IconRereader reader;
    const IconGroup* group = groupOrTell(context, reader, origin);
    if (!group)
        return;
    const Result<RgbaImage> picture = pictureAt(*group, std::clamp(largestSide(*group), 1, kMaxPictureSide));
    if (!picture) {
        context.showMessage(
            messages::kCannotCopyIcon.arg(iconNumber(origin), shown(origin.path), sentence(picture.failure().error)));
        return;
    }
    QGuiApplication::clipboard()->setImage(toQImage(*picture));
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
    const IconOrigin origin = originOf(images_->origin(row));
    IconRereader reader;
    const IconGroup* group = groupOrTell(context, reader, origin);
    if (!group)
        return;
    const ThemeImages images = themeImages(*group);
    if (images.images.empty()) {
        context.showMessage(messages::kCannotAddIconToTheme.arg(iconNumber(origin), shown(origin.path),
                                                                QString::fromStdString(images.problem)));
        return;
    }
    const QString typed = context.dialogs.askText(context.owner, QStringLiteral("Add to Icon Theme"),
                                                  QStringLiteral("Name of the icon (a launcher names it as Icon=name):"),
                                                  QString::fromStdString(iconNameForFile(origin.path)));
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

} // namespace gg
