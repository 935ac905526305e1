#include "icons/launcher_entry.h"

namespace gg {

namespace {

// Value of a desktop entry key: backslashes, line breaks and a leading space escaped.
std::string entryValue(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    if (out.starts_with(' '))
        out.replace(0, 1, "\\s");
    return out;
}

} // namespace

std::string launcherText(const LauncherEntry& launcher, const std::string& iconName)
{
    std::string text = "[Desktop Entry]\nType=Application\nName=" + entryValue(launcher.title) + "\nExec=" +
                       entryValue(launcher.command) + "\nIcon=" + iconName + "\nTerminal=false\n";
    if (!launcher.folder.empty())
        text += "Path=" + entryValue(launcher.folder) + '\n';
    return text;
}

} // namespace gg
