// An icon for the desktop's icon theme: one PNG per size the theme has folders for, each from
// the group's own image of that size, and the name the theme knows it by.
#pragma once

#include "icons/icon_image.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gg {

// The sizes of the freedesktop hicolor theme from 16 to 256. Desktops look only in the folders
// the theme lists, so an image of another size (20, 40) would never be found there.
inline constexpr std::array<int, 12> kThemeSides{16, 22, 24, 32, 36, 48, 64, 72, 96, 128, 192, 256};

struct ThemeImage {
    int side = 0;
    std::vector<std::uint8_t> png;
};

struct ThemeImages {
    std::vector<ThemeImage> images; // smallest first; empty when problem says why
    std::string problem;            // a clause: "the icon has no image of 16 x 16 or larger"
};

// Each image of the group goes to the largest theme size that is not above its longer side (256 at
// most). Where several go to one size, an image of exactly that size wins (the deepest, then the
// first), unscaled; else the smallest of the others is scaled down to it. Nothing is made for a size
// below the group's smallest image. An image that is not square counts as its longer side, centred
// on transparency, after the square ones. An image that cannot be decoded yields to the next.
ThemeImages themeImages(const IconGroup& group);

// A name the icon theme takes: lower case, only a-z 0-9 - _ ., no dot or dash first or last, no
// image suffix, at most 200 bytes; "icon" when nothing is left.
std::string cleanIconName(std::string_view text);

// The name for an icon of the file at path: its leaf less the last dot and what follows, cleaned.
std::string iconNameForFile(std::string_view path);

} // namespace gg
