#pragma once
// "Start Extracting Icons": list the files of every source folder, take their icons, publish
// the gallery.

#include <QImage>
#include <QString>

#include "extraction/file_list.h"
#include "runtime/command_context.h"

class QListView;

namespace gg {

class FolderListModel;
class GalleryModel;

// The progress bar and the counters line that share its place.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void resetProgress() = 0; // value 0 and the bar's caption
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgress(int value) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setCounters(const QString& text) = 0;
    virtual void setCountersVisible(bool visible) = 0;
};

class ExtractionRun {
public:

    // The file-type option: 0 all files, 1 application files.
    void chooseFileType(int index);
    // One run at a time; none while the gallery is being saved (savingNow).
    void start(const CommandContext& context, const FolderListModel& folders, GalleryModel& images,
               QListView& gallery, ProgressDisplay& display, bool savingNow);

    FileList folderListing;       // folder + pattern of the current listing
    WorkingFileList workingFiles; // every file the run listed, in listing order
    bool extracting = false;

private:
    void extract(const CommandContext& context, const FolderListModel& folders, GalleryModel& images,
                 QListView& gallery, ProgressDisplay& display);
};

} // namespace gg
