#pragma once
// Names for saved icons: the base path from the output folder and a caption, and the first
// free name of the sequence base.ico, base1.ico, base2.ico, ...

#include <QString>

namespace gg {

// The output folder joined with the caption less its last dot and what follows. A folder typed
// without a separator at the end gets one; a caption without a dot is taken whole.
QString SaveBasePath(const QString& outputFolder, const QString& caption);

// The first candidate at which nothing exists yet, so no file of the user's is ever replaced.
QString FirstFreeIconName(const QString& basePath);

// True when a new file can be made and written in the folder right now.
bool FolderTakesNewFiles(const QString& folder);

} // namespace gg
