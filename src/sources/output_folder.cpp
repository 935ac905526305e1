// The output folder box: chosen with "...", stored on every change.
#include <QLineEdit>

#include "sources/folder_browser.h"
#include "window/main_window.h"
#include "runtime/settings_store.h"

namespace gg {

void Form1::PushButton3_Click()
{
    Trap trap(reporter(), TrapLabel("Form1", "PushButton3_Click"));
    QString lastFolder;
    trap.step(102, [&] { lastFolder = ReadSetting(kKeyLastFolderDot, QString()); });
    QString chosen;
    trap.step(104, [&] {
        chosen = BrowseForFolder(*services().dialogs, this, kBrowseFolderTitle, lastFolder);
    });
    if (trap.test(106, [&] { return chosen.isEmpty(); }))
        return;
    trap.step(108, [&] { lastFolder = chosen; });
    trap.step(110, [&] { WriteSetting(kKeyLastFolderDot, lastFolder); });
    trap.step(112, [&] { Text1->setText(chosen.endsWith(u'/') ? chosen : chosen + u'/'); });
}

void Form1::Text1_Change()
{
    // A store that cannot be written leaves the text as typed; nothing is shown.
    try {
        WriteSetting(kKeyOutputDirectory, Text1->text());
    } catch (const std::exception&) {
    }
}

} // namespace gg
