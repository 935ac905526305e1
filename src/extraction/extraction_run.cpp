// "Start Extracting Icons": list the files, take their icons, publish the gallery.
#include <QCoreApplication>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <chrono>

#include "icons/file_icons.h"
#include "extraction/gallery_view.h"
#include "extraction/gallery_model.h"
#include "window/main_window.h"
#include "sources/folder_list.h"
#include "sources/folder_scan.h"

namespace gg {

namespace {
const QString kProgressBarText = QStringLiteral("Progress Bar");
// About 30 progress updates a second.
constexpr std::chrono::milliseconds kProgressSlice{33};
}

void Form1::optFiles_Click(int index)
{
    if (index == 0)
        File1.Pattern = kAllFilesPattern;
    else if (index == 1)
        File1.Pattern = kApplicationFilesPattern;
}

void Form1::PushButton6_Click()
{
    Trap trap(reporter(), TrapLabel("Form1", "PushButton6_Click"));
    // The run yields to the window once per file, so a second click can arrive meanwhile; a save
    // run yields too, and must not see the gallery emptied under it.
    if (trap.test(100, [&] { return IsExtracting || IsSaving; }))
        return;
    trap.step(102, [&] { IsExtracting = true; });
    if (trap.test(104, [&] { return sourceList->count() == 0; })) {
        trap.step(118, [&] { showMessage(QStringLiteral("No folders added.")); });
        trap.step(120, [&] { IsExtracting = false; });
        return;
    }
    trap.step(106, [&] { setMousePointer(kPointerBusy); });
    trap.step(108, [&] { Iml->clearItems(); });
    trap.step(110, [&] { lvFiles.clear(); });
    trap.step(112, [&] { ViewIcons(); });
    trap.step(114, [&] { setMousePointer(kPointerDefault); });
    trap.step(116, [&] {
        ProgressBar1->setValue(0);
        ProgressBar1->setFormat(kProgressBarText);
    });
    trap.step(120, [&] { IsExtracting = false; });
}

void Form1::ViewIcons()
{
    Trap trap(reporter(), TrapLabel("Form1", "ViewIcons"));

    // 1. Listing. No events are handled here, so the hourglass stays up.
    const int folders = trap.value<int>(100, [&] { return sourceList->count(); });
    for (int k = 0; k < folders; ++k) {
        // A folder that cannot be opened is reported and lists nothing.
        if (!trap.step(102, [&] { File1.setPath(sourceList->text(k)); }))
            continue;
        trap.step(104, [&] { File1.Refresh(); });
        // The list grows geometrically: reserving each folder's exact share would copy it whole
        // once per folder.
        const int entries = File1.ListCount();
        for (int j = 0; j < entries; ++j)
            trap.step(108, [&] { lvFiles.push_back({File1.FilePath(j), File1.List(j)}); });
    }
    trap.step(112, [&] { setMousePointer(kPointerDefault); });

    // 2. Preparation: the progress bar replaces the counters, the gallery empties and lets go
    //    of its image list before that is cleared.
    trap.step(114, [&] {
        ProgressBar1->setValue(0);
        ProgressBar1->setFormat(kProgressBarText);
    });
    trap.step(116, [&] { ProgressBar1->setRange(0, static_cast<int>(lvFiles.size()) + 1); });
    trap.step(118, [&] { ProgressBar1->show(); });
    trap.step(120, [&] { lblIcons->hide(); });
    trap.step(122, [&] { Iml->clearItems(); });
    trap.step(124, [&] { SetGalleryImageList(*lv, nullptr); });
    trap.step(126, [&] { Iml->clear(); });

    // 3. Extraction: every icon of every file, each file opened once; the window gets its
    //    events after each file. Setting the bar's value costs more than reading a small file,
    //    so it is set at most ~30 times a second, each time to the files done so far, and
    //    after the last file.
    long long iconFiles = 0;
    const size_t files = lvFiles.size();
    int done = 0;
    EventPacer progressPacer([&] { ProgressBar1->setValue(done); }, kProgressSlice);
    for (size_t j = 0; j < files; ++j) {
        const WorkingFile& file = lvFiles[j];
        const int icons = trap.value<int>(132, [&] {
            return ExtractFileIcons(file.path, [&](QImage icon) {
                if (trap.step(142, [&] { Iml->add(GalleryImage(std::move(icon))); }))
                    trap.step(144, [&] { Iml->setTag(Iml->count() - 1, file.name); });
            });
        });
        if (icons != 0)
            ++iconFiles;
        trap.step(150, [&] { QCoreApplication::processEvents(); });
        done = static_cast<int>(j + 1);
        trap.step(152, [&] {
            if (j + 1 == files)
                ProgressBar1->setValue(done);
            else
                progressPacer();
        });
    }

    // 4. Publication: attach the images, add every item in one pass, write the counters.
    if (trap.test(154, [&] { return Iml->count() > 0; })) {
        trap.step(156, [&] { SetGalleryImageList(*lv, Iml); });
        trap.step(160, [&] { Iml->addItems(); });
    }
    trap.step(162, [&] { ArrangeGallery(*lv, GalleryArrangement::AutoLeft); });
    trap.step(164, [&] { ArrangeGallery(*lv, GalleryArrangement::AutoTop); });
    trap.step(166, [&] {
        lblIcons->setText(CountersLine(static_cast<long long>(lvFiles.size()), iconFiles, Iml->itemCount()));
    });
    trap.step(168, [&] { ProgressBar1->hide(); });
    trap.step(170, [&] { lblIcons->show(); });
}

} // namespace gg
