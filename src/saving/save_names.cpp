#include "saving/save_names.h"

#include <QFile>
#include <QTemporaryFile>
#include <sys/stat.h>

namespace gg {

QString SaveBasePath(const QString& outputFolder, const QString& caption)
{
    QString folder = outputFolder;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    const qsizetype lastDot = caption.lastIndexOf(u'.');
    return folder + (lastDot < 0 ? caption : caption.left(lastDot));
}

namespace {

bool somethingAt(const QString& path)
{
    struct stat st {};
    // lstat: a dangling link still holds the name.
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

QString FirstFreeIconName(const QString& basePath)
{
    QString candidate = basePath + QStringLiteral(".ico");
    for (quint64 counter = 1; somethingAt(candidate); ++counter)
        candidate = basePath + QString::number(counter) + QStringLiteral(".ico");
    return candidate;
}

bool FolderTakesNewFiles(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.glimmer-probe-XXXXXX"));
    if (!probe.open())
        return false;
    const QByteArray block(4096, '\0');
    return probe.write(block) == block.size() && probe.flush();
}

} // namespace gg
