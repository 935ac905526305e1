// "Start Extracting Icons": list the files, take their icons, publish the gallery.
#include <QCoreApplication>
#include <chrono>

#include "extraction/extraction_run.h"
#include "extraction/gallery_model.h"
#include "extraction/file_icons.h"
#include "runtime/messages.h"
#include "runtime/report_labels.h"
#include "sources/folder_list.h"
#include "sources/folder_scan.h"

namespace gg {

namespace {
// About 30 progress updates a second.
constexpr std::chrono::milliseconds kProgressSlice{33};
}

void ExtractionRun::chooseFileType(int index)
{
    if (index == 0)
        folderListing.pattern = kAllFilesPattern;
    else if (index == 1)
        folderListing.pattern = kApplicationFilesPattern;
}

void ExtractionRun::start(const CommandContext& context, RunState& state, const FolderListModel& folders,
                          GalleryModel& images, ExtractionDisplay& display)
{
    Trap trap(context.reporter, trapLabel(labels::kStartExtracting));
    // The run yields to the window once per file, so a second click can arrive meanwhile; a save
    // run yields too, and must not see the gallery emptied under it.
    if (trap.test(100, [&] { return state.busy(); }))
        return;
    trap.step(102, [&] { state.start(RunState::Activity::Extracting); });
    if (trap.test(104, [&] { return folders.count() == 0; })) {
        trap.step(118, [&] { context.showMessage(messages::kNoFoldersAdded); });
        trap.step(120, [&] { state.finish(); });
        return;
    }
    trap.step(106, [&] { context.setPointer(kPointerBusy); });
    trap.step(108, [&] { images.clearItems(); });
    trap.step(110, [&] { workingFiles.clear(); });
    trap.step(112, [&] { extract(context, folders, images, display); });
    trap.step(114, [&] { context.setPointer(kPointerDefault); });
    trap.step(116, [&] { display.resetProgress(); });
    trap.step(120, [&] { state.finish(); });
}

void ExtractionRun::extract(const CommandContext& context, const FolderListModel& folders, GalleryModel& images,
                            ExtractionDisplay& display)
{
    Trap trap(context.reporter, trapLabel(labels::kExtractionRun));

    // 1. Listing. No events are handled here, so the hourglass stays up.
    const int folderCount = trap.value<int>(100, [&] { return folders.count(); });
    for (int k = 0; k < folderCount; ++k) {
        // A folder that cannot be opened is reported and lists nothing.
        if (!trap.step(102, [&] { folderListing.setPath(folders.text(k)); }))
            continue;
        trap.step(104, [&] { folderListing.refresh(); });
        // The list grows geometrically: reserving each folder's exact share would copy it whole
        // once per folder.
        const int entries = folderListing.entryCount();
        for (int j = 0; j < entries; ++j)
            trap.step(108, [&] { workingFiles.push_back({folderListing.filePath(j), folderListing.entryName(j)}); });
    }
    trap.step(112, [&] { context.setPointer(kPointerDefault); });

    // 2. Preparation: the progress bar replaces the counters, the gallery empties and lets go
    //    of its image list before that is cleared.
    trap.step(114, [&] { display.resetProgress(); });
    trap.step(116, [&] { display.setProgressRange(static_cast<int>(workingFiles.size()) + 1); });
    trap.step(118, [&] { display.setProgressVisible(true); });
    trap.step(120, [&] { display.setCountersVisible(false); });
    trap.step(122, [&] { images.clearItems(); });
    trap.step(124, [&] { display.showImages(nullptr); });
    trap.step(126, [&] { images.clear(); });

    // 3. Extraction: every icon of every file, each file opened once; the window gets its
    //    events after each file. Setting the bar's value costs more than reading a small file,
    //    so it is set at most ~30 times a second, each time to the files done so far, and
    //    after the last file.
    long long iconFiles = 0;
    const size_t files = workingFiles.size();
    int done = 0;
    EventPacer progressPacer([&] { display.setProgress(done); }, kProgressSlice);
    for (size_t j = 0; j < files; ++j) {
        const WorkingFile& file = workingFiles[j];
        // Each image keeps where it came from, for the gallery's full-quality copies.
        const QByteArray sourcePath = QByteArray::fromStdString(file.path);
        int number = 0;
        const int icons = trap.value<int>(132, [&] {
            return extractFileIcons(file.path, [&](QImage icon) {
                if (trap.step(142, [&] { images.add(galleryImage(std::move(icon))); }))
                    trap.step(144, [&] {
                        images.setCaption(images.count() - 1, file.name);
                        images.setOrigin(images.count() - 1, {sourcePath, number});
                    });
                ++number;
            });
        });
        if (icons != 0)
            ++iconFiles;
        trap.step(150, [&] { QCoreApplication::processEvents(); });
        done = static_cast<int>(j + 1);
        trap.step(152, [&] {
            if (j + 1 == files)
                display.setProgress(done);
            else
                progressPacer();
        });
    }

    // 4. Publication: attach the images, add every item in one pass, write the counters.
    if (trap.test(154, [&] { return images.count() > 0; })) {
        trap.step(156, [&] { display.showImages(&images); });
        trap.step(160, [&] { images.addItems(); });
    }
    trap.step(164, [&] { display.arrangeGallery(); });
    trap.step(166, [&] {
        display.setCounters(countersLine(static_cast<long long>(workingFiles.size()), iconFiles, images.itemCount()));
    });
    trap.step(168, [&] { display.setProgressVisible(false); });
    trap.step(170, [&] { display.setCountersVisible(true); });
}

} // namespace gg
