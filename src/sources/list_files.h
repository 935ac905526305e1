#pragma once
// Texts and checks of "Load List Of Folders From File" and "Load Sample/Example Folders".

#include <QString>

namespace gg {

// Shown before the dialog, lines parted by single CRs.
inline const QString kListFileHelp =
    QStringLiteral("File should look like:\r/test/1.txt\r/test/2.txt\retc.");
inline const QString kListFileDialogTitle = QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
// Description and pattern pairs, each closed by "|".
inline const QString kListFileFilter = QStringLiteral("All Files (*.*)|*.*|");
inline const QString kBadFileNameMessage =
    QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
inline const QString kSamplesFolder = QStringLiteral("/Samples");

// True when the file's attributes cannot be read: a name that no longer names anything.
bool HasBadFileName(const QString& path);

} // namespace gg
