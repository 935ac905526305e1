#pragma once
// The hidden file list: a folder's file names that match the file-type pattern.

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace gg {

inline const QString kAllFilesPattern = QStringLiteral("*.*");
inline const QString kApplicationFilesPattern =
    QStringLiteral("*.ICO;*.ICL;*.EXE;*.CPL;*.DLL;*.OCX;*.VBX;*.DRV;*.SCR");

// A file-type pattern taken apart once, so a listing does not split it again for every name.
class FilePattern {
public:
    explicit FilePattern(const QString& pattern);
    // True when the name matches any ";"-separated wildcard of the pattern, ignoring case.
    bool matches(QStringView name) const;

private:
    bool everyName_ = false;
    QStringList globs_;
};

// One name a listing gave: the bytes the file system holds, which open that very file, and the
// name as text for its caption (bytes that are not UTF-8 show as the replacement character).
struct ListedName {
    std::string bytes;
    QString text;
};
using ListedNames = std::vector<ListedName>;

// Names of the files directly inside the folder that match the pattern, sorted by name without
// regard to case. Only regular files (or links to them) count: no folders, no hidden names, and no
// pipes or devices, whose opening could block the run. Throws StepFailure when the folder cannot
// be opened; a path holding a NUL character names no folder.
ListedNames listFolderFiles(const QString& folder, const QString& pattern);

// The folder as a listing reports it: no separator at the end, except for the root itself.
QString listedFolderPath(const QString& folder);

// A path inside a listed folder, as bytes; the root already ends in its separator.
std::string joinListedPath(const std::string& listedFolder, const std::string& name);

struct FileList {
    QString listedFolder;                      // as listedFolderPath reports it
    QString pattern = kAllFilesPattern;
    ListedNames entries;               // the last refresh's names

    // Points the list at a folder and empties it. Throws StepFailure, leaving the list pointing
    // nowhere, when the folder cannot be opened.
    void setPath(const QString& folder);
    // Lists the folder again under the current pattern.
    void refresh();
    int entryCount() const { return static_cast<int>(entries.size()); }
    const QString& entryName(int index) const { return entries.at(static_cast<size_t>(index)).text; }
    // The full path of entry `index`, by the bytes the listing gave.
    std::string filePath(int index) const;

private:
    std::string nativePath_; // listedFolder's bytes
};

// One file a run listed: its full path as bytes and, as the caption of its icons, its name alone.
struct WorkingFile {
    std::string path;
    QString name;
};
using WorkingFileList = std::vector<WorkingFile>;

} // namespace gg
