// "Start Saving Selected Icons" and "Start Saving All Icons".
#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <string>

#include "extraction/gallery_model.h"
#include "extraction/qimage_conversion.h"
#include "icons/ico_encoder.h"
#include "icons/new_files.h"
#include "icons/saved_picture.h"
#include "runtime/messages.h"
#include "runtime/fs_helpers.h"
#include "saving/save_report.h"
#include "saving/save_run.h"

namespace gg {

namespace {

constexpr int kSaveDepth = 24;

// Encodes the picture and writes it under the first free name of the caption's sequence. False
// when the write failed in a way that every further icon would fail too; the failure is reported.
bool saveIcon(const CommandContext& context, NewFiles& files, const IconPicture& picture, const QString& folder,
              const QString& caption)
{
    context.setPointer(kPointerBusy);
    QCoreApplication::processEvents();
    const std::optional<IcoFile> file = encodeIco(picture, kSaveDepth);
    const FileOutcome saved = files.write(QFile::encodeName(folder).toStdString(),
                                          sequenceBase(QFile::encodeName(caption).toStdString()), ".ico", file->bytes);
    reportFailedSave(context.reporter, kSaveDepth, *file, saved);
    context.setPointer(kPointerDefault);
    QCoreApplication::processEvents();
    return saved.ok() || !failsForEveryFile(saved.error);
}

} // namespace

// The numbered lines of one save command; 0 where the command has no such step.
struct SaveRun::Lines {
    int loop, folderTest, selectionTest, setPicture, callSave, folderMessage, done;
};

namespace {
constexpr SaveRun::Lines kSelectedLines{106, 108, 110, 124, 126, 128, 132};
constexpr SaveRun::Lines kAllLines{106, 108, 0, 122, 124, 126, 130};
} // namespace

void SaveRun::saveSelectedIcons(const CommandContext& context, RunState& state, const GalleryModel& images,
                                const QItemSelectionModel& selection, const FolderText& folder)
{
    run(context, state, labels::kSaveSelectedIcons, kSelectedLines, images, &selection, folder);
}

void SaveRun::saveAllIcons(const CommandContext& context, RunState& state, const GalleryModel& images,
                           const FolderText& folder)
{
    run(context, state, labels::kSaveAllIcons, kAllLines, images, nullptr, folder);
}

// Walks the gallery in order and saves the chosen items (all of them without a selection).
void SaveRun::run(const CommandContext& context, RunState& state, const ReportLabel& label, const Lines& lines,
                  const GalleryModel& images, const QItemSelectionModel* selection, const FolderText& folder)
{
    if (state.busy())
        return;
    state.start(RunState::Activity::Saving);
    NewFiles files;
    Trap trap(context.reporter, trapLabel(label));
    const int itemCount = trap.value<int>(lines.loop, [&] { return images.itemCount(); });
    for (int i = 0; i < itemCount; ++i) {
        if (trap.test(lines.folderTest, [&] { return !isFolder(folder()); })) {
            // Every further item would meet the same folder: say it once and end.
            trap.step(lines.folderMessage, [&] {
                context.showMessage(messages::kFolderMissing);
            });
            state.finish();
            return;
        }
        if (selection && !trap.test(lines.selectionTest, [&] { return selection->isSelected(images.index(i)); }))
            continue;
        IconPicture picture;
        trap.step(lines.setPicture, [&] { picture = savedPicture(toRgbaImage(images.image(i))); });
        bool goOn = true;
        trap.step(lines.callSave, [&] { goOn = saveIcon(context, files, picture, folder(), images.caption(i)); });
        if (!goOn) {
            state.finish();
            return;
        }
    }
    trap.step(lines.done, [&] { context.showMessage(messages::kDone); });
    state.finish();
}

} // namespace gg
