// "Add Folder and Subfolders": the chosen folder and every qualifying folder below it.
#include <QCoreApplication>
#include <QFile>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/directory_lister.h"
#include "window/main_window.h"
#include "runtime/fs_helpers.h"
#include "sources/folder_browser.h"
#include "sources/folder_list.h"
#include "sources/folder_scan.h"

namespace gg {

void Form1::PushButton4_Click()
{
    Trap trap(reporter(), TrapLabel("Form1", "PushButton4_Click"));
    QString chosen;
    trap.step(102, [&] { chosen = BrowseForFolder(*services().dialogs, this, kBrowseFolderTitle, QString()); });
    if (trap.test(104, [&] { return chosen.isEmpty(); }))
        return;
    trap.step(106, [&] { setMousePointer(kPointerBusy); });
    std::vector<std::string> folders;
    // Always one separator more, so the root becomes "//" here; FixPathSlashes mends it below.
    trap.step(110, [&] { folders.push_back(QFile::encodeName(chosen + u'/').toStdString()); });
    trap.step(112, [&] {
        std::unique_ptr<DirectoryLister> lister = services().makeDirectoryLister
                                                      ? services().makeDirectoryLister()
                                                      : std::make_unique<PosixDirectoryLister>();
        EventPacer pacer([] { QCoreApplication::processEvents(); });
        const std::function<void()> doEvents = std::ref(pacer);
        GetSubDirectories2016(folders, true, *lister, reporter(), doEvents);
    });
    // Nothing reaches the list before the walk has finished.
    trap.step(116, [&] {
        QStringList entries;
        entries.reserve(static_cast<qsizetype>(folders.size()));
        for (const std::string& folder : folders)
            entries.append(FixPathSlashes(QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size()))));
        sourceList->append(entries);
    });
    trap.step(120, [&] { setMousePointer(kPointerDefault); });
}

} // namespace gg
