#include "runtime/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>

namespace gg {

QString toQtFileFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // The description may already name its patterns; the dialog reads them from there.
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern.trimmed() == u"*.*")
                pattern = QStringLiteral("*");
        filters.append(description + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& title, const QString& startFolder)
{
    QFileDialog dialog(owner, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // Without a start folder the dialog opens at its own default place, the home folder, every
    // time; left alone, Qt's dialog would open where the last one of the process was.
    dialog.setDirectory(startFolder.isEmpty() ? QDir::homePath() : startFolder);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return {};
    return QDir::cleanPath(chosen.first()); // no trailing separator, the root stays "/"
}

QStringList QtDialogs::openFiles(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& startFolder)
{
    return QFileDialog::getOpenFileNames(owner, title, startFolder, toQtFileFilter(filter));
}

QString QtDialogs::saveFile(QWidget* owner, const QString& title, const QString& filter, const QString& startPath)
{
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    // A name typed without its extension gets the filter's.
    const qsizetype dot = filter.lastIndexOf(QStringLiteral("*."));
    if (dot >= 0)
        dialog.setDefaultSuffix(filter.mid(dot + 2).section(u')', 0, 0).section(u' ', 0, 0));
    const QFileInfo start(startPath);
    dialog.setDirectory(start.absolutePath());
    dialog.selectFile(start.fileName());
    // The dialog asks before it gives back a name that exists (DontConfirmOverwrite stays off).
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString QtDialogs::askText(QWidget* owner, const QString& title, const QString& label, const QString& text)
{
    bool accepted = false;
    const QString typed = QInputDialog::getText(owner, title, label, QLineEdit::Normal, text, &accepted);
    return accepted ? typed : QString();
}

} // namespace gg
