#pragma once
// Shared helpers of the encoder and file tests: pictures and file bytes.

#include "icons/ico_encoder.h"
#include "test_colours.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace gg::test {

inline constexpr std::uint32_t kKey = kKeyColour;
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;

constexpr std::uint32_t rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>(((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF));
}

inline std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
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
IconPicture makePicture(F colourAt)
{
    IconPicture picture;
    for (int y = 0; y < kIcoSide; ++y)
        for (int x = 0; x < kIcoSide; ++x)
            picture.set(x, y, colourAt(x, y));
    return picture;
}

// The file's bytes at a depth the encoder knows.
inline std::vector<std::uint8_t> encoded(const IconPicture& picture, int depth)
{
    return encodeIco(picture, depth).value().bytes;
}

} // namespace gg::test
