// A launcher for a program, as a desktop entry that names its icon in the theme.
#pragma once

#include <string>

namespace gg {

struct LauncherEntry {
    std::string title;   // its Name, UTF-8
    std::string command; // its Exec: a command line as desktop entries take it, one line
    std::string folder;  // its Path, the folder the command starts in (UTF-8); none when empty
};

// The desktop entry's text, with Icon=iconName.
std::string launcherText(const LauncherEntry& launcher, const std::string& iconName);

} // namespace gg
