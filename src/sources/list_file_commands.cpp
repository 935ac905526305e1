// "Load List Of Folders From File" and "Load Sample/Example Folders".
#include <QFile>
#include <sys/stat.h>

#include "runtime/messages.h"
#include "runtime/dialogs.h"
#include "runtime/fs_helpers.h"
#include "runtime/report_labels.h"
#include "sources/folder_list.h"
#include "sources/list_files.h"
#include "sources/source_commands.h"

namespace gg {

bool hasBadFileName(const QString& path)
{
    struct stat st {};
    return path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0;
}

void loadListFiles(const CommandContext& context, FolderListModel& folders)
{
    Trap trap(context.reporter, trapLabel(labels::kLoadListFiles));
    trap.step(102, [&] { context.showMessage(messages::kListFileHelp); });
    QStringList chosen;
    trap.step(112, [&] {
        chosen = context.dialogs.openFiles(context.owner, kListFileDialogTitle, kListFileFilter, QString());
    });
    if (trap.test(116, [&] { return chosen.isEmpty(); }))
        return;
    // Several files come from one folder; their joined paths are tidied as the folder's are.
    if (chosen.size() > 1)
        trap.step(126, [&] {
            for (QString& path : chosen)
                path = fixPathSlashes(path);
        });
    for (const QString& path : chosen) {
        if (trap.test(134, [&] { return hasBadFileName(path); })) {
            trap.step(136, [&] { context.showMessage(path + messages::kBadFileName); });
            continue;
        }
        trap.step(140, [&] { loadListFile(folders, path, context.boxes, context.appTitle); });
    }
}

void loadSampleFolders(const CommandContext& context, FolderListModel& folders, const QString& programFolder)
{
    Trap trap(context.reporter, trapLabel(labels::kLoadSampleFolders));
    trap.step(100, [&] { folders.append(programFolder + kSamplesFolder); });
}

} // namespace gg
