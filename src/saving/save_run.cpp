// "Start Saving Selected Icons" and "Start Saving All Icons".
#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QPainter>
#include <functional>
#include <string>

#include "extraction/gallery_model.h"
#include "icons/atomic_file.h"
#include "icons/write_icon.h"
#include "icons/pixel_buffer.h"
#include "runtime/fs_helpers.h"
#include "saving/save_run.h"

namespace gg {

namespace {

constexpr int kSaveDepth = 24;
constexpr int kIconSide = 32;
const QColor kKeyQColor(197, 197, 197);

void clearPicture(QImage& picture)
{
    picture.fill(Qt::white);
}

// The gallery image over the key colour, so that the writer's mask carries the icon's own shape.
void putImageOnKeyColour(QImage& picture, const QImage& image)
{
    picture.fill(kKeyQColor);
    QPainter painter(&picture);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, image);
}

} // namespace

// The numbered lines of one save command; 0 where the command has no such step.
struct SaveRun::Lines {
    int loop, folderTest, selectionTest, emptyPicture, setPicture, callSave, folderMessage, done;
};

namespace {
constexpr SaveRun::Lines kSelectedLines{106, 108, 110, 112, 124, 126, 128, 132};
constexpr SaveRun::Lines kAllLines{106, 108, 0, 110, 122, 124, 126, 130};
} // namespace

// 600 x 570 and 615 x 555 twips.
SaveRun::SaveRun() : savePicture(40, 38, QImage::Format_RGB32), probePicture(41, 37, QImage::Format_RGB32)
{
    savePicture.fill(Qt::white);
    probePicture.fill(Qt::white);
}

void SaveRun::saveSelectedIcons(const CommandContext& context, const GalleryModel& images,
                                const QItemSelectionModel& selection, const FolderText& folder, bool extractingNow)
{
    run(context, labels::kSaveSelectedIcons, kSelectedLines, images, &selection, folder, extractingNow);
}

void SaveRun::saveAllIcons(const CommandContext& context, const GalleryModel& images, const FolderText& folder,
                           bool extractingNow)
{
    run(context, labels::kSaveAllIcons, kAllLines, images, nullptr, folder, extractingNow);
}

// Walks the gallery in order and saves the chosen items (all of them without a selection).
void SaveRun::run(const CommandContext& context, const ReportLabel& label, const Lines& lines,
                  const GalleryModel& images, const QItemSelectionModel* selection, const FolderText& folder,
                  bool extractingNow)
{
    if (saving || extractingNow)
        return;
    saving = true;
    memory_.emplace();
    const auto finish = [&] {
        memory_.reset();
        saving = false;
    };
    Trap trap(context.reporter, TrapLabel(label));
    const int itemCount = trap.value<int>(lines.loop, [&] { return images.itemCount(); });
    for (int i = 0; i < itemCount; ++i) {
        if (trap.test(lines.folderTest, [&] { return !IsFolder(folder()); })) {
            // Every further item would meet the same folder: say it once and end.
            trap.step(lines.folderMessage, [&] {
                context.showMessage(QStringLiteral("Folder does not exist. Please select another folder."));
            });
            finish();
            return;
        }
        if (selection && !trap.test(lines.selectionTest, [&] { return selection->isSelected(images.index(i)); }))
            continue;
        trap.step(lines.emptyPicture, [&] { clearPicture(savePicture); });
        const QString basePath = SaveBasePath(folder(), images.tag(i));
        trap.step(lines.setPicture, [&] { putImageOnKeyColour(savePicture, images.image(i)); });
        bool goOn = true;
        trap.step(lines.callSave, [&] { goOn = saveIcon(context, basePath); });
        if (!goOn) {
            finish();
            return;
        }
    }
    trap.step(lines.done, [&] { context.showMessage(QStringLiteral("Done.")); });
    finish();
}

bool SaveRun::saveIcon(const CommandContext& context, const QString& basePath)
{
    context.setPointer(kPointerBusy);
    const QImage square = savePicture.copy(0, 0, kIconSide, kIconSide).convertToFormat(QImage::Format_RGB32);
    const Bitmap work = Bitmap::fromRgb32(reinterpret_cast<const std::uint32_t*>(square.constBits()), kIconSide,
                                          kIconSide, static_cast<int>(square.bytesPerLine() / 4));
    QCoreApplication::processEvents();

    Memory oneIcon;
    Memory& memory = memory_ ? *memory_ : oneIcon;
    const QByteArray native = QFile::encodeName(basePath);
    const qsizetype slash = native.lastIndexOf('/');
    const std::string folder = slash < 0 ? std::string(".") : slash == 0 ? std::string("/")
                                                                        : native.left(slash).toStdString();
    const std::string base = native.mid(slash + 1).toStdString();
    if (folder != memory.readFolder) {
        // What a killed save may have left here goes before this run adds its own files.
        const FolderHandle handle = FolderHandle::open(folder);
        if (handle.isValid())
            memory.names.readFolder(handle.fd());
        memory.readFolder = folder;
    }
    FreeIconNames::Probe probe = memory.names.probe(base);
    const SaveResult result = SaveNewIcon(context.reporter, folder, std::ref(probe), work, kSaveDepth);
    if (!result.name.empty())
        probe.taken();

    context.setPointer(kPointerDefault);
    QCoreApplication::processEvents();
    clearPicture(savePicture);
    // The writer has reported the failure; one that every further icon would meet ends the run.
    return result.error == 0 || !FailsForEveryIcon(result.error);
}

} // namespace gg
