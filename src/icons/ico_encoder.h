#pragma once
// The .ico encoder: a 32 x 32 picture in which one key colour marks the transparent pixels, as
// the bytes of a one-image .ico file at 1, 4, 8 or 24 bits per pixel. A pure function: no file,
// no state kept between calls.
//
//   IconPicture picture;                       // black, top row first
//   picture.set(3, 4, 0xFF8000);
//   std::optional<IcoFile> file = encodeIco(picture, 24);   // 3266 bytes
//
// Pixels of kKeyColour become transparent: black in the colour bitmap, 1 in the mask. Every other
// colour, black and white included, stays opaque. At 1, 4 and 8 bits each pixel becomes the index
// of the nearest colour of a fixed table (icoPalette).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace gg {

inline constexpr int kIcoSide = 32;

// The transparent key colour, 0xRRGGBB.
inline constexpr std::uint32_t kKeyColour = 0xC5C5C5;

// A 32 x 32 picture, top row first; each pixel 0xRRGGBB (a high byte is ignored).
struct IconPicture {
    std::array<std::uint32_t, kIcoSide * kIcoSide> pixels{};

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * kIcoSide + x)] & 0xFFFFFF; }
    void set(int x, int y, std::uint32_t rgb) { pixels[static_cast<std::size_t>(y * kIcoSide + x)] = rgb & 0xFFFFFF; }
};

// The pieces of the file in their order, for telling in which one a write stopped.
enum class IcoPiece { Directory, Header, ColourTable, ColourBits, Mask };
inline constexpr std::size_t kIcoPieces = 5;

struct IcoFile {
    std::vector<std::uint8_t> bytes;
    std::array<std::size_t, kIcoPieces> pieceEnds{}; // where each piece ends, in IcoPiece order

    // The piece that holds byte `offset`; the mask for an offset past the end.
    IcoPiece pieceAt(std::size_t offset) const;
};

// The file at a depth of 1, 4, 8 or 24; nullopt for any other depth.
std::optional<IcoFile> encodeIco(const IconPicture& picture, int depth);

// One colour-table entry as a file stores it.
struct PaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

// The fixed table of a depth, in file order; empty for 24 bits and any other depth.
// 1 bit: black, white. 4 bits: the 16 VGA colours (0 black ... 7 silver, 8 grey ... 15 white).
// 8 bits: the 16 VGA colours, a 6 x 6 x 6 colour cube with levels 0, 51, ... 255 (index
// 16 + 36 r + 6 g + b), then 24 greys 8, 18, ... 238. A pixel takes the nearest entry by squared
// RGB distance; the lowest index wins a tie.
std::span<const PaletteEntry> icoPalette(int depth);

} // namespace gg
