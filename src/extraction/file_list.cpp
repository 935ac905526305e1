#include "icons/errno_text.h"
#include "extraction/file_list.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

#include "runtime/error_trap.h"

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

FilePattern::FilePattern(const QString& pattern)
{
    for (QStringView glob : QStringView(pattern).split(u';')) {
        glob = glob.trimmed();
        // "*.*" names every file, with or without a dot, as a folder listing reads it.
        if (glob == u"*.*" || glob == u"*")
            everyName_ = true;
        else if (!glob.isEmpty())
            globs_.append(glob.toString());
    }
}

bool FilePattern::matches(QStringView name) const
{
    if (everyName_)
        return true;
    for (const QString& glob : globs_)
        if (wildcardMatch(name, glob))
            return true;
    return false;
}

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The folder's bytes. A NUL cannot be part of a path, so text holding one names no folder (the
// system would read only the part before it, a different folder).
std::string nativePath(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (native.isEmpty() || native.contains('\0'))
        throw StepFailure(openFailureText(ENOENT, OpenedPath::Folder));
    return native.toStdString();
}

DirHandle openFolder(const std::string& native)
{
    DirHandle dir(opendir(native.c_str()));
    if (!dir)
        throw StepFailure(openFailureText(errno, OpenedPath::Folder));
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

ListedNames listFolder(const std::string& folder, const QString& pattern)
{
    const DirHandle dir = openFolder(folder);
    const FilePattern filter(pattern);
    ListedNames names;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.')
            continue;
        const size_t length = std::strlen(entry->d_name);
        QString text = QString::fromUtf8(entry->d_name, static_cast<qsizetype>(length));
        if (filter.matches(text) && isRegularFile(dir.get(), *entry))
            names.push_back({std::string(entry->d_name, length), std::move(text)});
    }
    // Names alike but for bytes that are not UTF-8 show the same text; their bytes still order them.
    std::sort(names.begin(), names.end(), [](const ListedName& a, const ListedName& b) {
        if (const int byFold = QString::compare(a.text, b.text, Qt::CaseInsensitive); byFold != 0)
            return byFold < 0;
        if (const int byText = QString::compare(a.text, b.text, Qt::CaseSensitive); byText != 0)
            return byText < 0;
        return a.bytes < b.bytes;
    });
    return names;
}

} // namespace

ListedNames listFolderFiles(const QString& folder, const QString& pattern)
{
    return listFolder(nativePath(folder), pattern);
}

QString listedFolderPath(const QString& folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

std::string joinListedPath(const std::string& listedFolder, const std::string& name)
{
    std::string path;
    path.reserve(listedFolder.size() + 1 + name.size());
    path.append(listedFolder);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

void FileList::setPath(const QString& folder)
{
    listedFolder.clear();
    nativePath_.clear();
    entries.clear();
    openFolder(nativePath(folder));
    listedFolder = listedFolderPath(folder);
    nativePath_ = nativePath(listedFolder);
}

void FileList::refresh()
{
    entries.clear();
    if (!nativePath_.empty())
        entries = listFolder(nativePath_, pattern);
}

std::string FileList::filePath(int index) const
{
    return joinListedPath(nativePath_, entries.at(static_cast<size_t>(index)).bytes);
}

} // namespace gg
