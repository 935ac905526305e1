// Pictures as PNG files, through libspng.
#pragma once

#include "icons/rgba_image.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace gg {

// Small files for what is kept; fast for thumbnails, which are made often and kept in a cache,
// where twice the bytes cost less than the time the stronger compression takes.
enum class PngCompression { Small, Fast };

// The image as a complete PNG file, 8-bit RGBA; nullopt for an empty image or when libspng fails.
std::optional<std::vector<std::uint8_t>> encodePng(const RgbaImage& image, PngCompression compression = PngCompression::Small);

} // namespace gg
