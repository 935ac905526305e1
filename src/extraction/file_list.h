#pragma once
// The hidden file list: a folder's file names that match the file-type pattern.

#include <QString>
#include <QStringList>

namespace gg {

inline const QString kAllFilesPattern = QStringLiteral("*.*");
inline const QString kApplicationFilesPattern =
    QStringLiteral("*.ICO;*.ICL;*.EXE;*.CPL;*.DLL;*.OCX;*.VBX;*.DRV;*.SCR");

// True when the name matches any ";"-separated wildcard of the pattern, ignoring case.
bool MatchesPattern(const QString& name, const QString& pattern);

struct FileList {
    QString Path;
    QString Pattern = kAllFilesPattern;
};

} // namespace gg
