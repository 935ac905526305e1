// "Load List Of Folders From File" and "Load Sample/Example Folders".
#include <QFile>
#include <sys/stat.h>

#include "runtime/dialogs.h"
#include "window/main_window.h"
#include "runtime/fs_helpers.h"
#include "sources/folder_list.h"
#include "sources/list_files.h"

namespace gg {

bool HasBadFileName(const QString& path)
{
    struct stat st {};
    return path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0;
}

void Form1::PushButton7_Click()
{
    Trap trap(reporter(), TrapLabel("Form1", "PushButton7_Click"));
    trap.step(102, [&] { showMessage(kListFileHelp); });
    QStringList chosen;
    trap.step(112, [&] {
        chosen = services().dialogs->openFiles(this, kListFileDialogTitle, kListFileFilter, QString());
    });
    if (trap.test(116, [&] { return chosen.isEmpty(); }))
        return;
    // Several files come from one folder; their joined paths are tidied as the folder's are.
    if (chosen.size() > 1)
        trap.step(126, [&] {
            for (QString& path : chosen)
                path = FixPathSlashes(path);
        });
    for (const QString& path : chosen) {
        if (trap.test(134, [&] { return HasBadFileName(path); })) {
            trap.step(136, [&] { showMessage(path + kBadFileNameMessage); });
            continue;
        }
        trap.step(140, [&] { LoadListFile(*sourceList, path, *services().boxes, appTitle()); });
    }
}

void Form1::PushButton8_Click()
{
    Trap trap(reporter(), TrapLabel("Form1", "PushButton8_Click"));
    trap.step(100, [&] { sourceList->append(services().programFolder + kSamplesFolder); });
}

} // namespace gg
