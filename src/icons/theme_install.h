// Putting an icon into the user's icon theme and taking it out again. Each install keeps a record of
// the files and folders it made, with each file's length and checksum, so that an uninstall or a
// replacing install touches only what it put there and still holds what it wrote; a name that any
// other file holds, in the user's theme or the system's, is never taken.
#pragma once

#include "icons/icon_theme.h"
#include "icons/launcher_entry.h"
#include "icons/theme_cache.h"

#include <optional>
#include <string>
#include <vector>

namespace gg {

struct ThemePlaces {
    std::string dataHome;              // the user's data folder; empty when it cannot be known
    std::vector<std::string> dataDirs; // the system's data folders, whose icons keep their names
};

// $XDG_DATA_HOME (when it is an absolute path) or $HOME/.local/share, and $XDG_DATA_DIRS or
// /usr/local/share and /usr/share.
ThemePlaces themePlacesFromEnvironment();

// A launcher for the icon's program goes to DATA_HOME/applications/NAME.desktop.

struct ThemeChange {
    enum class Outcome {
        Done,
        InstalledBefore, // install: the name is one of ours already, and replace was not asked for
        Taken,           // install: another file holds the name (path)
        NotInstalled,    // uninstall: no icon of this name was installed by us
        Failed           // path and problem say why; nothing of this install is left behind
    };
    Outcome outcome = Outcome::Failed;
    std::string path;    // what the problem concerns
    std::string problem; // a clause, for Failed
    std::vector<int> sides;        // install: the sizes installed, smallest first
    std::vector<std::string> kept; // uninstall: our files that were changed since, left in place
    CacheUpdate cache = CacheUpdate::NoCache;
};

// Puts each image at DATA_HOME/icons/hicolor/<side>x<side>/apps/NAME.png (and the launcher, if
// given). With replace, an icon installed by us under the name gives way to this one: its files
// are replaced or removed. The name must be one that cleanIconName() leaves as it is.
ThemeChange installThemeIcon(const ThemePlaces& places, const std::string& name, const std::vector<ThemeImage>& images,
                             bool replace, const std::optional<LauncherEntry>& launcher = std::nullopt);

// Removes the files and the folders (when empty) that the install of the name made.
ThemeChange uninstallThemeIcon(const ThemePlaces& places, const std::string& name);

// Where the install of a name keeps its record, and where its launcher goes.
std::string themeRecordPath(const ThemePlaces& places, const std::string& name);
std::string launcherPath(const ThemePlaces& places, const std::string& name);

} // namespace gg
