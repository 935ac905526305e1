#include "icons/ico_encoder.h"

#include <algorithm>

namespace gg {

namespace {

// What differs between the depths; every other field is the same in all four.
struct DepthLayout {
    int depth;
    std::uint8_t entryColourCount;
    std::uint16_t entryPlanes;
    std::uint16_t entryBitCount;
    std::uint32_t bytesInImage;
    std::uint32_t imageSize;
    std::uint32_t coloursUsed;
    std::size_t bitsBytes;
};

// The entry's planes and bit count at 1 bit, and the header's image size at 4 bits, are what the
// files we have always written hold, not the true values; readers take the header's bit count.
constexpr std::array<DepthLayout, 4> kLayouts{{
    {1, 0, 5, 7, 304, 128, 0, 128},
    {4, 16, 0, 0, 744, 2, 0, 512},
    {8, 0, 0, 0, 2216, 1152, 256, 1024},
    {24, 0, 0, 0, 3244, 1153, 1, 3072},
}};

constexpr std::uint32_t kImageOffset = 22;
constexpr std::uint32_t kHeaderBytes = 40;
constexpr std::size_t kMaskRowBytes = 4;
// The one colour-table entry of the 24-bit layout: four blanks.
constexpr std::array<std::uint8_t, 4> kBlankEntry{0x20, 0x20, 0x20, 0x20};

constexpr PaletteEntry entry(int r, int g, int b)
{
    return PaletteEntry{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

constexpr std::array<PaletteEntry, 2> kMonoPalette{entry(0, 0, 0), entry(255, 255, 255)};

constexpr std::array<PaletteEntry, 16> kVgaPalette{
    entry(0, 0, 0),       entry(128, 0, 0),   entry(0, 128, 0),   entry(128, 128, 0),
    entry(0, 0, 128),     entry(128, 0, 128), entry(0, 128, 128), entry(192, 192, 192),
    entry(128, 128, 128), entry(255, 0, 0),   entry(0, 255, 0),   entry(255, 255, 0),
    entry(0, 0, 255),     entry(255, 0, 255), entry(0, 255, 255), entry(255, 255, 255),
};

constexpr std::array<PaletteEntry, 256> makeHalftonePalette()
{
    std::array<PaletteEntry, 256> table{};
    std::size_t n = 0;
    for (const PaletteEntry& e : kVgaPalette)
        table[n++] = e;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table[n++] = entry(r * 51, g * 51, b * 51);
    for (int i = 0; i < 24; ++i)
        table[n++] = entry(8 + 10 * i, 8 + 10 * i, 8 + 10 * i);
    return table;
}

constexpr std::array<PaletteEntry, 256> kHalftonePalette = makeHalftonePalette();

unsigned nearestIndex(std::span<const PaletteEntry> table, std::uint32_t rgb)
{
    const int r = static_cast<int>((rgb >> 16) & 0xFF);
    const int g = static_cast<int>((rgb >> 8) & 0xFF);
    const int b = static_cast<int>(rgb & 0xFF);
    unsigned best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const int dr = r - table[i].red;
        const int dg = g - table[i].green;
        const int db = b - table[i].blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<unsigned>(i);
            if (distance == 0)
                break;
        }
    }
    return best;
}

class Output {
public:
    explicit Output(IcoFile& file) : file_(file) {}
    void u8(std::uint8_t value) { file_.bytes.push_back(value); }
    void u16(std::uint16_t value)
    {
        u8(static_cast<std::uint8_t>(value & 0xFF));
        u8(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value)
    {
        u16(static_cast<std::uint16_t>(value & 0xFFFF));
        u16(static_cast<std::uint16_t>(value >> 16));
    }
    void bytes(std::span<const std::uint8_t> values) { file_.bytes.insert(file_.bytes.end(), values.begin(), values.end()); }
    void endPiece(IcoPiece piece) { file_.pieceEnds[static_cast<std::size_t>(piece)] = file_.bytes.size(); }

private:
    IcoFile& file_;
};

void writeDirectory(Output& out, const DepthLayout& layout)
{
    out.u16(0);                       // Reserved
    out.u16(1);                       // Resource type: icon
    out.u16(1);                       // Image count
    out.u8(kIcoSide);                 // Width
    out.u8(kIcoSide);                 // Height
    out.u8(layout.entryColourCount);  // Colour count
    out.u8(0);                        // Reserved
    out.u16(layout.entryPlanes);      // Planes
    out.u16(layout.entryBitCount);    // Bits per pixel
    out.u32(layout.bytesInImage);     // Bytes in image
    out.u32(kImageOffset);            // Image offset
    out.endPiece(IcoPiece::Directory);
}

void writeHeader(Output& out, const DepthLayout& layout)
{
    out.u32(kHeaderBytes);                              // Header size
    out.u32(kIcoSide);                                  // Width
    out.u32(2 * kIcoSide);                              // Height: colour bitmap and mask
    out.u16(1);                                         // Planes
    out.u16(static_cast<std::uint16_t>(layout.depth));  // Bits per pixel
    out.u32(0);                                         // Compression
    out.u32(layout.imageSize);                          // Image size
    out.u32(0);                                         // Horizontal resolution
    out.u32(0);                                         // Vertical resolution
    out.u32(layout.coloursUsed);                        // Colours used
    out.u32(0);                                         // Colours important
    out.endPiece(IcoPiece::Header);
}

void writeColourTable(Output& out, int depth)
{
    if (depth == 24)
        out.bytes(kBlankEntry);
    for (const PaletteEntry& e : icoPalette(depth))
        out.bytes(std::array<std::uint8_t, 4>{e.blue, e.green, e.red, e.reserved});
    out.endPiece(IcoPiece::ColourTable);
}

// Rows bottom first; transparent pixels black.
void writeColourBits(Output& out, const IconPicture& picture, const DepthLayout& layout)
{
    const std::span<const PaletteEntry> palette = icoPalette(layout.depth);
    const std::size_t rowBytes = layout.bitsBytes / kIcoSide;
    // Icons hold long runs of one colour: remembering the last lookup saves most searches.
    std::uint32_t lastColour = 0;
    unsigned lastIndex = palette.empty() ? 0 : nearestIndex(palette, lastColour);
    std::array<std::uint8_t, 3 * kIcoSide> row{};
    for (int line = 0; line < kIcoSide; ++line) {
        const int y = kIcoSide - 1 - line;
        std::fill(row.begin(), row.end(), std::uint8_t{0});
        for (int x = 0; x < kIcoSide; ++x) {
            const std::uint32_t colour = picture.at(x, y) == kKeyColour ? 0 : picture.at(x, y);
            const auto i = static_cast<std::size_t>(x);
            if (layout.depth == 24) {
                row[3 * i] = static_cast<std::uint8_t>(colour);
                row[3 * i + 1] = static_cast<std::uint8_t>(colour >> 8);
                row[3 * i + 2] = static_cast<std::uint8_t>(colour >> 16);
                continue;
            }
            if (colour != lastColour) {
                lastColour = colour;
                lastIndex = nearestIndex(palette, colour);
            }
            if (layout.depth == 8)
                row[i] = static_cast<std::uint8_t>(lastIndex);
            else if (layout.depth == 4) // the left pixel of a pair in the high nibble
                row[i / 2] = static_cast<std::uint8_t>(row[i / 2] | (lastIndex << (i % 2 == 0 ? 4 : 0)));
            else
                row[i / 8] = static_cast<std::uint8_t>(row[i / 8] | (lastIndex << (7 - i % 8)));
        }
        out.bytes(std::span<const std::uint8_t>(row).first(rowBytes));
    }
    out.endPiece(IcoPiece::ColourBits);
}

// 1 where the picture holds the key colour; rows bottom first, the left pixel in the high bit.
void writeMask(Output& out, const IconPicture& picture)
{
    for (int line = 0; line < kIcoSide; ++line) {
        const int y = kIcoSide - 1 - line;
        std::array<std::uint8_t, kMaskRowBytes> row{};
        for (int x = 0; x < kIcoSide; ++x)
            if (picture.at(x, y) == kKeyColour)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.bytes(row);
    }
    out.endPiece(IcoPiece::Mask);
}

} // namespace

IcoPiece IcoFile::pieceAt(std::size_t offset) const
{
    for (std::size_t i = 0; i < kIcoPieces; ++i)
        if (offset < pieceEnds[i])
            return static_cast<IcoPiece>(i);
    return IcoPiece::Mask;
}

std::span<const PaletteEntry> icoPalette(int depth)
{
    switch (depth) {
    case 1:
        return kMonoPalette;
    case 4:
        return kVgaPalette;
    case 8:
        return kHalftonePalette;
    default:
        return {};
    }
}

std::optional<IcoFile> encodeIco(const IconPicture& picture, int depth)
{
    const auto layout = std::find_if(kLayouts.begin(), kLayouts.end(), [&](const DepthLayout& l) { return l.depth == depth; });
    if (layout == kLayouts.end())
        return std::nullopt;
    IcoFile file;
    file.bytes.reserve(kImageOffset + layout->bytesInImage);
    Output out(file);
    writeDirectory(out, *layout);
    writeHeader(out, *layout);
    writeColourTable(out, depth);
    writeColourBits(out, picture, *layout);
    writeMask(out, picture);
    return file;
}

} // namespace gg
