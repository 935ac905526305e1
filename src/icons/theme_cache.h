// GTK reads a theme's icon-theme.cache instead of its folders while the cache is newer than the
// theme's folder: a cache that no longer lists our files would hide them.
#pragma once

#include <string>

namespace gg {

// How the theme's icon-theme.cache (GTK's index of the theme) was brought up to date.
enum class CacheUpdate {
    NoCache,    // the theme has none
    Rebuilt,    // by gtk-update-icon-cache
    MarkedStale // its folder's time set past the cache's, so that GTK reads the folders instead
};

// Brings the cache of the theme folder up to date, if it has one.
CacheUpdate refreshThemeCache(const std::string& theme);

} // namespace gg
