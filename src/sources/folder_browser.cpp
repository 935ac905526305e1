#include "sources/folder_browser.h"

#include "runtime/dialogs.h"
#include "runtime/fs_helpers.h"

namespace gg {

QString browseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& startFolder)
{
    // A start folder that is gone leaves the dialog at its default place, without a word.
    const QString start = isFolder(startFolder) ? startFolder : QString();
    QString chosen = dialogs.browseForFolder(owner, title, start);
    qsizetype end = chosen.size();
    while (end > 1 && chosen[end - 1] == u'/')
        --end;
    chosen.truncate(end);
    return chosen;
}

} // namespace gg
