#include "runtime/fs_helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/message_boxes.h"
#include "runtime/error_trap.h"

namespace gg {

QString specialFolder(int folderNumber)
{
    if (folderNumber != kDesktopFolderNumber)
        return {};
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString desktopFolder()
{
    // With HOME=/ Qt names the desktop "//Desktop"; a path has one separator between its parts.
    const QString desktop = QDir::cleanPath(specialFolder(kDesktopFolderNumber));
    if (desktop.isEmpty())
        throw StepFailure("Invalid procedure call or argument");
    return desktop.endsWith(u'/') ? desktop : desktop + u'/';
}

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QStringList splitListFileBytes(const QByteArray& bytes)
{
    QStringList entries;
    auto toText = [](QByteArrayView piece) { return QString::fromUtf8(piece); };
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        entries.append(toText(QByteArrayView(bytes).sliced(start, i - start)));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        entries.append(toText(QByteArrayView(bytes).sliced(start)));
    return entries;
}

QString fixPathSlashes(const QString& path)
{
    auto collapsePairs = [](QStringView text) {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            out.append(text[i]);
            if (text[i] == u'/' && i + 1 < text.size() && text[i + 1] == u'/')
                ++i; // a pair becomes one; scanning goes on after the pair
        }
        return out;
    };
    if (!path.startsWith(u'/'))
        return collapsePairs(path);
    qsizetype first = 1;
    while (first < path.size() && path[first] == u'/')
        ++first;
    // POSIX has no network prefix: the leading run becomes exactly one separator.
    return u'/' + collapsePairs(QStringView(path).sliced(first));
}

} // namespace gg
