#pragma once
// Raster operations on memory device contexts, the stand-in for the graphics calls the icon
// writer makes (block copies, fills, inversion, reading scan lines at a depth).
//
// Colour and monochrome meet in copies the way the graphics interface defines it:
// - colour source into monochrome destination: a pixel is 1 exactly when it equals the SOURCE
//   context's background colour, else 0;
// - monochrome source into colour destination: a 1 bit becomes the DESTINATION context's
//   background colour, a 0 bit its text colour.
//
// Fixed colour tables for reading at lower depths (nearest colour, squared RGB distance, the
// lowest index wins a tie):
// - 1 bit: black, white;
// - 4 bits: the 16 standard VGA colours in their usual order (0 black ... 7 silver, 8 grey ...
//   15 white);
// - 8 bits: the 16 VGA colours, then a 6 x 6 x 6 colour cube with levels 0, 51, 102, 153, 204,
//   255 (index 16 + 36 r + 6 g + b), then 24 greys 8, 18, ... 238. Index 0 is black.

#include "icons/pixel_buffer.h"

#include <cstdint>
#include <span>

namespace gg {

enum class RasterOp : std::uint32_t {
    SrcCopy = 0x00CC0020,  // destination = source
    SrcAnd = 0x008800C6,   // destination = destination AND source
    SrcPaint = 0x00EE0086, // destination = destination OR source
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A brush of one colour.
struct Brush {
    ColorRef colour = kBlack;
};
inline Brush CreateSolidBrush(ColorRef colour) { return Brush{colour & 0xFFFFFF}; }

// Copies width x height from (sx, sy) of src to (x, y) of dst, clipped to both bitmaps.
// False when a size is negative.
bool BitBlt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext& src, int sx, int sy,
            RasterOp op);

// Paints the rectangle (clipped) with the brush. On a monochrome bitmap the brush becomes 1
// when it is nearer white than black. False for an empty rectangle.
bool FillRect(DeviceContext& dc, const Rect& rect, const Brush& brush);

// Inverts every bit of every pixel inside the rectangle (clipped).
bool InvertRect(DeviceContext& dc, const Rect& rect);

// Reads scan lines [startScan, startScan + scanLines) of the bitmap, counted from the bottom,
// into bits at info.header.bitCount bits per pixel (1, 4, 8 or 24), rows padded to 4 bytes,
// bottom row first. info.header.width must equal the bitmap's width. At 1, 4 and 8 bits the
// colour table is written into info.colours. A monochrome bitmap reads as black (0) and white (1).
// Returns the number of scan lines read, 0 on failure (bad depth, width or a buffer too small).
int GetDIBits(const DeviceContext& dc, const Bitmap& bitmap, int startScan, int scanLines,
              std::span<std::uint8_t> bits, BitmapInfo& info);

// Bytes in one stored row at a depth, padded to 4 bytes.
int DibRowBytes(int width, int bitsPerPixel);

// The fixed colour table of a depth (1, 4 or 8); empty for any other depth.
std::span<const RgbQuad> PaletteForDepth(int bitsPerPixel);

// The index of the nearest colour of a depth's table.
int NearestPaletteIndex(int bitsPerPixel, ColorRef colour);

} // namespace gg
