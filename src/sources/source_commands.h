#pragma once
// The commands of the source list and the output folder, as the window's slots call them.

#include <QString>
#include <functional>
#include <memory>

#include "runtime/command_context.h"

class QItemSelectionModel;

namespace gg {

class DirectoryLister;
class FolderListModel;

// The folder scan's view of the file system, one per scan; empty means the real one.
using DirectoryListerFactory = std::function<std::unique_ptr<DirectoryLister>()>;

// "Add Folder and Subfolders": the chosen folder and every qualifying folder below it.
void addFolderTree(const CommandContext& context, FolderListModel& folders, const DirectoryListerFactory& makeLister);
// "Clear List"; not while the window is busy.
void clearSourceList(const CommandContext& context, FolderListModel& folders);
// The Delete key: takes out the selected entry; not while the window is busy.
void removeSelectedFolder(const CommandContext& context, FolderListModel& folders,
                          const QItemSelectionModel& selection);
// "Load List Of Folders From File".
void loadListFiles(const CommandContext& context, FolderListModel& folders);
// "Load Sample/Example Folders": the Samples folder beside the program.
void loadSampleFolders(const CommandContext& context, FolderListModel& folders, const QString& programFolder);

// "...": asks for the output folder and hands it, with a separator at the end, to showFolder.
void chooseOutputFolder(const CommandContext& context, const std::function<void(const QString&)>& showFolder);
// Stores the output folder's text as typed.
void storeOutputFolder(const QString& text);

} // namespace gg
