#pragma once
// The on-disk records of a one-image .ico file and their little-endian encoding.

#include "icons/pixel_buffer.h"

#include <array>
#include <cstdint>

namespace gg {

// The 6-byte icon directory followed by its one 16-byte entry.
struct IconDirectory {
    std::uint16_t reserved = 0;
    std::uint16_t resourceType = 0; // 1: icon
    std::uint16_t imageCount = 0;
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t colourCount = 0;
    std::uint8_t entryReserved = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t bytesInImage = 0;
    std::uint32_t imageOffset = 0;
};
inline constexpr std::size_t kIconDirectoryBytes = 22;

namespace ico {

inline constexpr int kIconSize = 32;
inline constexpr std::uint32_t kImageOffset = 22;
inline constexpr std::size_t kMaskBytes = 128;
inline constexpr std::size_t kColourBits24Bytes = 3072;

} // namespace ico

std::array<std::uint8_t, kIconDirectoryBytes> EncodeIconDirectory(const IconDirectory& directory);
std::array<std::uint8_t, kBitmapInfoHeaderBytes> EncodeBitmapInfoHeader(const BitmapInfoHeader& header);

} // namespace gg
