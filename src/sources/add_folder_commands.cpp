// "Add Folder and Subfolders": the chosen folder and every qualifying folder below it.
#include <QCoreApplication>
#include <QFile>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/directory_lister.h"
#include "runtime/fs_helpers.h"
#include "runtime/report_labels.h"
#include "sources/folder_browser.h"
#include "sources/folder_list.h"
#include "sources/folder_scan.h"
#include "sources/source_commands.h"

namespace gg {

void addFolderTree(const CommandContext& context, FolderListModel& folders, const DirectoryListerFactory& makeLister)
{
    Trap trap(context.reporter, trapLabel(labels::kAddFolderTree));
    QString chosen;
    trap.step(102, [&] { chosen = browseForFolder(context.dialogs, context.owner, kBrowseFolderTitle, QString()); });
    if (trap.test(104, [&] { return chosen.isEmpty(); }))
        return;
    trap.step(106, [&] { context.setPointer(kPointerBusy); });
    std::vector<std::string> found;
    // Always one separator more, so the root becomes "//" here; fixPathSlashes mends it below.
    trap.step(110, [&] { found.push_back(QFile::encodeName(chosen + u'/').toStdString()); });
    trap.step(112, [&] {
        std::unique_ptr<DirectoryLister> lister = makeLister ? makeLister() : std::make_unique<PosixDirectoryLister>();
        EventPacer pacer([] { QCoreApplication::processEvents(); });
        const std::function<void()> doEvents = std::ref(pacer);
        scanFolderTree(found, true, *lister, context.reporter, doEvents);
    });
    // Nothing reaches the list before the walk has finished.
    trap.step(116, [&] {
        QStringList entries;
        entries.reserve(static_cast<qsizetype>(found.size()));
        for (const std::string& folder : found)
            entries.append(fixPathSlashes(QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size()))));
        folders.append(entries);
    });
    trap.step(120, [&] { context.setPointer(kPointerDefault); });
}

} // namespace gg
