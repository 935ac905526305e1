#pragma once
// Shared helpers of the writer tests: a recording reporter, pictures, file bytes.

#include "icons/pixel_buffer.h"
#include "runtime/error_trap.h"
#include "support/recording_reporter.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace gg::test {

inline std::string writerLabel(const std::string& routine)
{
    return "in Glintwork2021/08/31.WriteIcon." + routine + " ";
}

inline constexpr ColorRef kKey = Rgb(197, 197, 197);

inline std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b.at(at)) | (static_cast<std::uint32_t>(b.at(at + 1)) << 8)
           | (static_cast<std::uint32_t>(b.at(at + 2)) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

inline std::uint16_t u16At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

// A 32 x 32 picture from a function of (x, y).
template <class F>
Bitmap makePicture(F colourAt)
{
    Bitmap picture(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            picture.setPixel(x, y, colourAt(x, y));
    return picture;
}

} // namespace gg::test
