#include "extraction/file_list.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

#include "shell/error_trap.h"

namespace gg {

namespace {

// '*' matches any run, '?' one character; letters compare without case.
bool wildcardMatch(QStringView name, QStringView glob)
{
    qsizetype n = 0, g = 0, starG = -1, starN = 0;
    while (n < name.size()) {
        if (g < glob.size() && (glob[g] == u'?' || glob[g].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++g;
        } else if (g < glob.size() && glob[g] == u'*') {
            starG = g++;
            starN = n;
        } else if (starG >= 0) {
            g = starG + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == u'*')
        ++g;
    return g == glob.size();
}

} // namespace

bool MatchesPattern(const QString& name, const QString& pattern)
{
    for (QStringView glob : QStringView(pattern).split(u';')) {
        glob = glob.trimmed();
        // "*.*" names every file, with or without a dot, as a folder listing reads it.
        if (glob == u"*.*" || glob == u"*")
            return true;
        if (!glob.isEmpty() && wildcardMatch(name, glob))
            return true;
    }
    return false;
}

namespace {

// The runtime's words for a folder that cannot be opened.
std::string openFailureText(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "Path not found";
    case EACCES:
    case EPERM:
        return "Permission denied";
    default:
        return std::strerror(error);
    }
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

DirHandle openFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    DirHandle dir(native.isEmpty() ? nullptr : opendir(native.constData()));
    if (!dir)
        throw StepFailure(openFailureText(native.isEmpty() ? ENOENT : errno));
    return dir;
}

bool isRegularFile(DIR* dir, const dirent& entry)
{
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat info {};
    return fstatat(dirfd(dir), entry.d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

} // namespace

QStringList ListFolderFiles(const QString& folder, const QString& pattern)
{
    const DirHandle dir = openFolder(folder);
    QStringList names;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.')
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (MatchesPattern(name, pattern) && isRegularFile(dir.get(), *entry))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byFold = QString::compare(a, b, Qt::CaseInsensitive);
        return byFold != 0 ? byFold < 0 : a < b;
    });
    return names;
}

QString ListedFolderPath(const QString& folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QString JoinListedPath(const QString& listedFolder, const QString& name)
{
    return listedFolder.endsWith(u'/') ? listedFolder + name : listedFolder + u'/' + name;
}

void FileList::setPath(const QString& folder)
{
    Path.clear();
    entries.clear();
    openFolder(folder);
    Path = ListedFolderPath(folder);
}

void FileList::Refresh()
{
    entries.clear();
    if (!Path.isEmpty())
        entries = ListFolderFiles(Path, Pattern);
}

} // namespace gg
