#pragma once
// The messages the window's user reads, in one place: the fixed ones, and the patterns of those
// that name a file or an icon (%1, %2, ... filled in by the command that shows them).

#include <QString>

namespace gg::messages {

inline const QString kDone = QStringLiteral("Done.");
inline const QString kFolderMissing = QStringLiteral("Folder does not exist. Please select another folder.");
inline const QString kNoFoldersAdded = QStringLiteral("No folders added.");
inline const QString kFileNotFound = QStringLiteral("File not found");
// Shown before the list-file dialog, lines parted by single CRs.
inline const QString kListFileHelp = QStringLiteral("File should look like:\r/test/1.txt\r/test/2.txt\retc.");
// After the path of a list file's line that names nothing.
inline const QString kBadFileName = QStringLiteral("\r\rwas not added because it has bad characters in the filename.");

// The gallery's menu and dragging out.
inline const QString kCannotRead = QStringLiteral("Cannot read %1.\n\n%2");
inline const QString kIconGone =
    QStringLiteral("Icon %1 is no longer in %2.\n\nThe file has changed since its icons were extracted.");
inline const QString kCannotRebuild = QStringLiteral("Cannot rebuild icon %1 of %2.\n\n%3");
inline const QString kCannotMakePng = QStringLiteral("Cannot make a PNG of icon %1 of %2.\n\n");
inline const QString kPngEncoderFailed = QStringLiteral("The PNG encoder failed.");
inline const QString kCannotSaveIcons = QStringLiteral("Cannot save the icons.\n\n");
inline const QString kCannotSave = QStringLiteral("Cannot save %1.\n\n%2");
inline const QString kCannotSaveInto = QStringLiteral("Cannot save into %1.\n\n%2");
inline const QString kCannotSaveIconInto = QStringLiteral("Cannot save icon %1 of %2 into %3.\n\n%4");
inline const QString kCannotCopy = QStringLiteral("Cannot copy the icon.\n\n");
inline const QString kCannotCopyIcon = QStringLiteral("Cannot copy icon %1 of %2.\n\n%3");
inline const QString kCannotAddToTheme = QStringLiteral("Cannot add the icon to the icon theme.\n\n");
inline const QString kCannotAddIconToTheme = QStringLiteral("Cannot add icon %1 of %2 to the icon theme: %3.");
inline const QString kReplaceThemeIcon =
    QStringLiteral("This program has added an icon named %1 to the icon theme before.\n\nReplace it?");
inline const QString kAddedToTheme =
    QStringLiteral("Added %1 to the icon theme at %2 pixels.\n\nA launcher shows it with Icon=%1.");
inline const QString kThemeNameTaken =
    QStringLiteral("Cannot add %1 to the icon theme: %2 holds that name.\n\nChoose another name.");
inline const QString kCannotAddNamedToTheme = QStringLiteral("Cannot add %1 to the icon theme.\n\n%2.");
inline const QString kCannotMakeDragged = QStringLiteral("Cannot make the dragged icons.\n\n");
inline const QString kCannotMakeDragFolder = QStringLiteral("Cannot make a folder for the dragged icons.\n\n");

} // namespace gg::messages
