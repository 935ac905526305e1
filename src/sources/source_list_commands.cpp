// Taking entries out of the source list: the Delete key and "Clear List".
#include <QItemSelectionModel>

#include "runtime/report_labels.h"
#include "sources/folder_list.h"
#include "sources/source_commands.h"

namespace gg {

void removeSelectedFolder(const CommandContext& context, FolderListModel& folders,
                          const QItemSelectionModel& selection)
{
    if (context.pointer() == kPointerBusy)
        return;
    if (folders.count() == 0)
        return;
    const QModelIndex current = selection.currentIndex();
    if (!current.isValid() || !selection.isSelected(current))
        return;
    folders.removeAt(current.row());
}

void clearSourceList(const CommandContext& context, FolderListModel& folders)
{
    Trap trap(context.reporter, trapLabel(labels::kClearSourceList));
    if (trap.test(100, [&] { return context.pointer() == kPointerBusy; }))
        return;
    trap.step(100, [&] { folders.clear(); });
}

} // namespace gg
