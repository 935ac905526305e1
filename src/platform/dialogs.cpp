#include "platform/dialogs.h"

#include <QDir>
#include <QFileDialog>

namespace gg {

QString QtDialogs::browseForFolder(QWidget* owner, const QString& title, const QString& startFolder)
{
    QString chosen = QFileDialog::getExistingDirectory(owner, title, startFolder, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    chosen = QDir::cleanPath(chosen); // no trailing separator, the root stays "/"
    return chosen;
}

QStringList QtDialogs::openFiles(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& startFolder)
{
    return QFileDialog::getOpenFileNames(owner, title, startFolder, filter);
}

} // namespace gg
