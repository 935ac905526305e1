#include "platform/dialogs.h"

#include <QDir>
#include <QFileDialog>

namespace gg {

QString ToQtFileFilter(const QString& pairs)
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
    QString chosen = QFileDialog::getExistingDirectory(owner, title, startFolder, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    chosen = QDir::cleanPath(chosen); // no trailing separator, the root stays "/"
    return chosen;
}

QStringList QtDialogs::openFiles(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& startFolder)
{
    return QFileDialog::getOpenFileNames(owner, title, startFolder, ToQtFileFilter(filter));
}

} // namespace gg
