// The output folder box: chosen with "...", stored on every change.
#include "runtime/report_labels.h"
#include "runtime/settings_store.h"
#include "sources/folder_browser.h"
#include "sources/source_commands.h"

namespace gg {

void chooseOutputFolder(const CommandContext& context, const std::function<void(const QString&)>& showFolder)
{
    Trap trap(context.reporter, trapLabel(labels::kChooseOutputFolder));
    QString lastFolder;
    trap.step(102, [&] { lastFolder = readSetting(kKeyLastFolderDot, QString()); });
    QString chosen;
    trap.step(104, [&] {
        chosen = browseForFolder(context.dialogs, context.owner, kBrowseFolderTitle, lastFolder);
    });
    if (trap.test(106, [&] { return chosen.isEmpty(); }))
        return;
    trap.step(108, [&] { lastFolder = chosen; });
    trap.step(110, [&] { writeSetting(kKeyLastFolderDot, lastFolder); });
    trap.step(112, [&] { showFolder(chosen.endsWith(u'/') ? chosen : chosen + u'/'); });
}

void storeOutputFolder(const QString& text)
{
    // A store that cannot be written leaves the text as typed; nothing is shown.
    try {
        writeSetting(kKeyOutputDirectory, text);
    } catch (const std::exception&) {
    }
}

} // namespace gg
