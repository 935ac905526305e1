#pragma once
// The hidden file list: a folder's file names that match the file-type pattern.

#include <QString>
#include <QStringList>
#include <vector>

namespace gg {

inline const QString kAllFilesPattern = QStringLiteral("*.*");
inline const QString kApplicationFilesPattern =
    QStringLiteral("*.ICO;*.ICL;*.EXE;*.CPL;*.DLL;*.OCX;*.VBX;*.DRV;*.SCR");

// True when the name matches any ";"-separated wildcard of the pattern, ignoring case.
bool MatchesPattern(const QString& name, const QString& pattern);

// Names of the files directly inside the folder that match the pattern, sorted by name without
// regard to case. Only regular files (or links to them) count: no folders, no hidden names, and no
// pipes or devices, whose opening could block the run. Throws StepFailure when the folder cannot
// be opened.
QStringList ListFolderFiles(const QString& folder, const QString& pattern);

// The folder as a listing reports it: no separator at the end, except for the root itself.
QString ListedFolderPath(const QString& folder);

// A path inside a listed folder; the root already ends in its separator.
QString JoinListedPath(const QString& listedFolder, const QString& name);

struct FileList {
    QString Path;                      // as ListedFolderPath reports it
    QString Pattern = kAllFilesPattern;
    QStringList entries;               // the last refresh's names

    // Points the list at a folder and empties it. Throws StepFailure, leaving the list pointing
    // nowhere, when the folder cannot be opened.
    void setPath(const QString& folder);
    // Lists the folder again under the current pattern.
    void Refresh();
    int ListCount() const { return static_cast<int>(entries.size()); }
    const QString& List(int index) const { return entries.at(index); }
};

// One file a run listed: its full path and, as the caption of its icons, its name alone.
struct WorkingFile {
    QString path;
    QString name;
};
using WorkingFileList = std::vector<WorkingFile>;

} // namespace gg
