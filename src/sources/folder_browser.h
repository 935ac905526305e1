#pragma once
// The folder dialog of the module AddFolder, shared by the source list and the output folder.

#include <QString>

class QWidget;

namespace gg {

class Dialogs;

inline const QString kBrowseFolderTitle = QStringLiteral("Please select folder:");

// Shows the folder dialog, opened on startFolder when that is an existing folder and at the
// dialog's own default place otherwise. Returns the chosen folder without a trailing separator
// (the root comes back as "/"), or "" when the user cancels.
QString browseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& startFolder);

} // namespace gg
