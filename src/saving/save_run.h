#pragma once
// "Start Saving Selected Icons" and "Start Saving All Icons": the gallery's icons as 32 x 32 .ico
// files in the output folder, each under the first free name.

#include <QString>
#include <functional>

#include "runtime/command_context.h"
#include "runtime/report_labels.h"
#include "runtime/run_state.h"

class QImage;
class QItemSelectionModel;

namespace gg {

class GalleryModel;
class NewFiles;

class SaveRun {
public:
    // The folder is read from the box again before every icon: the window's events run meanwhile.
    using FolderText = std::function<QString()>;

    // One run at a time, of any kind (state).
    void saveSelectedIcons(const CommandContext& context, RunState& state, const GalleryModel& images,
                           const QItemSelectionModel& selection, const FolderText& folder);
    void saveAllIcons(const CommandContext& context, RunState& state, const GalleryModel& images,
                      const FolderText& folder);

    // The numbered lines of one save command.
    struct Lines;

private:
    void run(const CommandContext& context, RunState& state, const ReportLabel& label, const Lines& lines,
             const GalleryModel& images, const QItemSelectionModel* selection, const FolderText& folder);
};

} // namespace gg
