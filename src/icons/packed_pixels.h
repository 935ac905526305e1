// The decoders' view of an RgbaImage: each pixel one 32-bit word, its bytes in memory red, green,
// blue, alpha, so a row is written a word at a time.
#pragma once

#include "icons/rgba_image.h"

#include <bit>
#include <cstdint>

namespace gg {

static_assert(std::endian::native == std::endian::little, "pixels are written as little-endian words");

using PackedPixel = std::uint32_t;

constexpr PackedPixel packRgba(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a = 255)
{
    return r | (g << 8) | (b << 16) | (a << 24);
}
constexpr PackedPixel kOpaque = 0xFF000000u;
constexpr std::uint32_t alphaOf(PackedPixel p) { return p >> 24; }

// Row y of the image as words; the rows of an RgbaImage are whole words, and its storage comes
// from the allocator, so it is aligned for them.
inline PackedPixel* packedRow(RgbaImage& image, int y) { return reinterpret_cast<PackedPixel*>(image.row(y)); }

} // namespace gg
