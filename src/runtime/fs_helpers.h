#pragma once
// Small file-system helpers. They are silent: they answer no or empty instead of failing,
// except where noted.

#include <QString>
#include <QStringList>

namespace gg {

inline constexpr int kDesktopFolderNumber = 0;

// Path of a special folder (only the desktop is known here), or "".
QString specialFolder(int folderNumber);
// The desktop folder with a separator at the end. Throws StepFailure when there is none.
QString desktopFolder();
// True when the path's modification time can be read (files and folders alike).
bool fileExists(const QString& path);
// True when the path names a folder (links to folders count).
bool isFolder(const QString& path);
// Splits a list file's bytes into entries: lines end at CR LF, CR or LF; a final line break
// adds no empty entry. Invalid UTF-8 shows as the replacement character.
QStringList splitListFileBytes(const QByteArray& bytes);
// Collapses doubled separators; a leading run of separators becomes exactly one.
QString fixPathSlashes(const QString& path);

} // namespace gg
