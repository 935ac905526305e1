#pragma once
// Texts and checks of "Load List Of Folders From File" and "Load Sample/Example Folders".

#include <QByteArray>
#include <QString>

namespace gg {

class FolderListModel;
class MessageBoxes;

inline const QString kListFileDialogTitle = QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
// Description and pattern pairs, each closed by "|".
inline const QString kListFileFilter = QStringLiteral("All Files (*.*)|*.*|");
inline const QString kSamplesFolder = QStringLiteral("/Samples");

// True when the file's attributes cannot be read: a name that no longer names anything.
bool hasBadFileName(const QString& path);

// A list file larger than this is refused: a million folder paths fit in it with room to spare,
// and its entries still fit in memory when every line is empty.
inline constexpr qint64 kLargestListFile = qint64(64) << 20;

// The whole content of a list file. Only a regular file is read, and opening never waits: a pipe
// without a writer or a device such as /dev/zero is refused at once. Throws StepFailure with the
// runtime's words when the file cannot be read, is not a regular file, or is too large.
QByteArray readListFileBytes(const QString& path);

// Appends every line of the file to the list; "File not found" when it does not exist.
// Throws StepFailure, adding nothing, when the file exists but cannot be read, is not a regular
// file or is too large (see readListFileBytes).
void loadListFile(FolderListModel& list, const QString& path, MessageBoxes& boxes, const QString& title);

} // namespace gg
