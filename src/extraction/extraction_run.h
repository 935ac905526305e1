#pragma once
// "Start Extracting Icons": list the files of every source folder, take their icons, publish
// the gallery.

#include <QImage>
#include <QString>

#include "extraction/file_list.h"
#include "runtime/command_context.h"
#include "runtime/run_state.h"

namespace gg {

class FolderListModel;
class GalleryModel;

// What an extraction shows in the window: the progress bar and the counters line that share its
// place, and the gallery's images.
class ExtractionDisplay {
public:
    virtual ~ExtractionDisplay() = default;
    virtual void resetProgress() = 0; // value 0 and the bar's caption
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgress(int value) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setCounters(const QString& text) = 0;
    virtual void setCountersVisible(bool visible) = 0;
    // The gallery shows these images; none for nullptr.
    virtual void showImages(GalleryModel* images) = 0;
    // The gallery lays its items out again, in rows from the top.
    virtual void arrangeGallery() = 0;
};

class ExtractionRun {
public:

    // The file-type option: 0 all files, 1 application files.
    void chooseFileType(int index);
    // One run at a time, of any kind (state).
    void start(const CommandContext& context, RunState& state, const FolderListModel& folders, GalleryModel& images,
               ExtractionDisplay& display);

    FileList folderListing;       // folder + pattern of the current listing
    WorkingFileList workingFiles; // every file the run listed, in listing order

private:
    void extract(const CommandContext& context, const FolderListModel& folders, GalleryModel& images,
                 ExtractionDisplay& display);
};

} // namespace gg
