#pragma once
// "Start Saving Selected Icons" and "Start Saving All Icons": the gallery's icons as 32 x 32 .ico
// files in the output folder, each under the first free name.

#include <QImage>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "icons/save_names.h"
#include "runtime/command_context.h"
#include "runtime/report_labels.h"

class QItemSelectionModel;

namespace gg {

class GalleryModel;

class SaveRun {
public:
    SaveRun();

    // The folder is read from the box again before every icon: the window's events run meanwhile.
    using FolderText = std::function<QString()>;

    // One run at a time; none while the gallery is being extracted (extractingNow).
    void saveSelectedIcons(const CommandContext& context, const GalleryModel& images,
                           const QItemSelectionModel& selection, const FolderText& folder, bool extractingNow);
    void saveAllIcons(const CommandContext& context, const GalleryModel& images, const FolderText& folder,
                      bool extractingNow);

    // Saves savePicture's top-left 32 x 32 pixels under the first free name after basePath. False
    // when the write failed in a way that every further icon would fail too.
    bool saveIcon(const CommandContext& context, const QString& basePath);

    QImage savePicture;   // picture handed to the writer when saving
    QImage probePicture;  // last picture probed for a free name
    bool saving = false;  // a save run is under way

    // The numbered lines of one save command.
    struct Lines;

private:
    void run(const CommandContext& context, const ReportLabel& label, const Lines& lines, const GalleryModel& images,
             const QItemSelectionModel* selection, const FolderText& folder, bool extractingNow);

    // What one save run remembers from icon to icon.
    struct Memory {
        FreeIconNames names;
        std::string readFolder; // the folder read (and cleared of stale temporary files) already
    };
    std::optional<Memory> memory_;
};

} // namespace gg
