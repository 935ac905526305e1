#include "icons/ico_layout.h"

#include <cstddef>

namespace gg {

namespace {

template <std::size_t N>
class ByteWriter {
public:
    void u8(std::uint8_t value) { bytes[pos++] = value; }
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
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }

    std::array<std::uint8_t, N> bytes{};
    std::size_t pos = 0;
};

} // namespace

std::array<std::uint8_t, kIconDirectoryBytes> EncodeIconDirectory(const IconDirectory& d)
{
    ByteWriter<kIconDirectoryBytes> w;
    w.u16(d.reserved);      // Reserved
    w.u16(d.resourceType);  // Resource type
    w.u16(d.imageCount);    // Image count
    w.u8(d.width);          // Width
    w.u8(d.height);         // Height
    w.u8(d.colourCount);    // Colour count
    w.u8(d.entryReserved);  // Reserved
    w.u16(d.planes);        // Planes
    w.u16(d.bitCount);      // Bits per pixel
    w.u32(d.bytesInImage);  // Bytes in image
    w.u32(d.imageOffset);   // Image offset
    return w.bytes;
}

std::array<std::uint8_t, kBitmapInfoHeaderBytes> EncodeBitmapInfoHeader(const BitmapInfoHeader& h)
{
    ByteWriter<kBitmapInfoHeaderBytes> w;
    w.u32(h.size);          // Header size
    w.i32(h.width);         // Width
    w.i32(h.height);        // Height
    w.u16(h.planes);        // Planes
    w.u16(h.bitCount);      // Bits per pixel
    w.u32(h.compression);   // Compression
    w.u32(h.sizeImage);     // Image size
    w.i32(h.xPelsPerMeter); // Horizontal resolution
    w.i32(h.yPelsPerMeter); // Vertical resolution
    w.u32(h.clrUsed);       // Colours used
    w.u32(h.clrImportant);  // Colours important
    return w.bytes;
}

} // namespace gg
