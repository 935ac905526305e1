// Taking entries out of the source list: the Delete key and "Clear List".
#include <QItemSelectionModel>
#include <QTreeView>

#include "window/main_window.h"
#include "sources/folder_list.h"

namespace gg {

void Form1::ListView1_KeyDown(int keyCode, int /*shift*/)
{
    constexpr int kDeleteKey = 46;
    if (keyCode != kDeleteKey)
        return;
    if (MousePointer() == kPointerBusy)
        return;
    if (sourceList->count() == 0)
        return;
    const QModelIndex current = ListView1->selectionModel()->currentIndex();
    if (!current.isValid() || !ListView1->selectionModel()->isSelected(current))
        return;
    sourceList->removeAt(current.row());
}

void Form1::PushButton5_Click()
{
    Trap trap(reporter(), TrapLabel("Form1", "PushButton5_Click"));
    if (trap.test(100, [&] { return MousePointer() == kPointerBusy; }))
        return;
    trap.step(100, [&] { sourceList->clear(); });
}

} // namespace gg
