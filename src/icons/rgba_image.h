// The icon library's picture: width x height pixels, rows top first, each pixel four bytes red,
// green, blue, alpha, colours not premultiplied. A plain value, so that the library, the tool and
// other programs need no toolkit; the window converts it at its own edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gg {

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;
    bool operator==(const Rgba&) const = default;
};

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 4 bytes

    RgbaImage() = default;
    // Transparent black; a side below 1 gives the empty image.
    RgbaImage(int w, int h)
        : width(w > 0 && h > 0 ? w : 0), height(w > 0 && h > 0 ? h : 0),
          pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
    {
    }

    bool isNull() const { return pixels.empty(); }
    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * 4; }
    std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * rowBytes(); }
    const std::uint8_t* row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * rowBytes(); }

    Rgba at(int x, int y) const
    {
        const std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    void set(int x, int y, Rgba c)
    {
        std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 4;
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p[3] = c.a;
    }

    bool operator==(const RgbaImage&) const = default;
};

} // namespace gg
