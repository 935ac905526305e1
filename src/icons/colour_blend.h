// A pixel drawn over an opaque colour, as saving does over the transparent key colour.
#pragma once

#include "icons/rgba_image.h"

#include <cstdint>

namespace gg {

// x / 255, rounded; exact for every product of two bytes.
constexpr std::uint32_t divideBy255(std::uint32_t x) { return (x + (x >> 8) + 0x80) >> 8; }

// `pixel` over the opaque colour 0xRRGGBB, as 0xRRGGBB. The colour is premultiplied and the
// background weighted each with its own rounding, which gives the same bytes the toolkit's painter
// gave when it drew the icons that were saved before.
constexpr std::uint32_t overOpaque(Rgba pixel, std::uint32_t background)
{
    auto channel = [&](std::uint32_t colour, int shift) {
        const std::uint32_t under = (background >> shift) & 0xFF;
        return (divideBy255(colour * pixel.a) + divideBy255(under * (255u - pixel.a))) << shift;
    };
    return channel(pixel.r, 16) | channel(pixel.g, 8) | channel(pixel.b, 0);
}

} // namespace gg
