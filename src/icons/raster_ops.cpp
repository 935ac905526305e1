#include "icons/raster_ops.h"

#include <algorithm>
#include <array>

namespace gg {

namespace {

constexpr RgbQuad quad(int r, int g, int b)
{
    return RgbQuad{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

constexpr std::array<RgbQuad, 2> kMonoPalette{quad(0, 0, 0), quad(255, 255, 255)};

constexpr std::array<RgbQuad, 16> kVgaPalette{
    quad(0, 0, 0),       quad(128, 0, 0),   quad(0, 128, 0),   quad(128, 128, 0),
    quad(0, 0, 128),     quad(128, 0, 128), quad(0, 128, 128), quad(192, 192, 192),
    quad(128, 128, 128), quad(255, 0, 0),   quad(0, 255, 0),   quad(255, 255, 0),
    quad(0, 0, 255),     quad(255, 0, 255), quad(0, 255, 255), quad(255, 255, 255),
};

constexpr std::array<RgbQuad, 256> makeHalftonePalette()
{
    std::array<RgbQuad, 256> table{};
    std::size_t n = 0;
    for (const RgbQuad& q : kVgaPalette)
        table[n++] = q;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table[n++] = quad(r * 51, g * 51, b * 51);
    for (int i = 0; i < 24; ++i)
        table[n++] = quad(8 + 10 * i, 8 + 10 * i, 8 + 10 * i);
    return table;
}

constexpr std::array<RgbQuad, 256> kHalftonePalette = makeHalftonePalette();

int nearestIn(std::span<const RgbQuad> table, ColorRef colour)
{
    const int r = RedOf(colour);
    const int g = GreenOf(colour);
    const int b = BlueOf(colour);
    int best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const int dr = r - table[i].red;
        const int dg = g - table[i].green;
        const int db = b - table[i].blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
            if (distance == 0)
                break;
        }
    }
    return best;
}

// The half-open range [first, last) of offsets i for which start + i stays inside [0, limit).
void clipRange(long long start, long long limit, long long& first, long long& last)
{
    first = std::max(first, -start);
    last = std::min(last, limit - start);
}

bool clipToBitmap(const Bitmap& bitmap, const Rect& rect, Rect& out)
{
    out.left = std::max(rect.left, 0);
    out.top = std::max(rect.top, 0);
    out.right = std::min(rect.right, bitmap.width());
    out.bottom = std::min(rect.bottom, bitmap.height());
    return rect.left < rect.right && rect.top < rect.bottom;
}

} // namespace

namespace {

// Runs convert and combine over the clipped rectangle row by row, in the order a pixel-by-pixel
// copy would take, so a copy within one bitmap comes out the same.
template <class Convert, class Combine>
void blendRows(Bitmap& to, const Bitmap& from, long long x, long long y, long long sx, long long sy, long long i0,
               long long i1, long long j0, long long j1, Convert convert, Combine combine)
{
    const ColorRef mask = to.valueMask();
    const auto count = static_cast<std::ptrdiff_t>(i1 - i0);
    for (long long j = j0; j < j1; ++j) {
        const ColorRef* source = from.row(static_cast<int>(sy + j)) + (sx + i0);
        ColorRef* target = to.row(static_cast<int>(y + j)) + (x + i0);
        for (std::ptrdiff_t i = 0; i < count; ++i)
            target[i] = combine(convert(source[i]), target[i]) & mask;
    }
}

} // namespace

bool BitBlt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext& src, int sx, int sy,
            RasterOp op)
{
    if (width < 0 || height < 0)
        return false;
    Bitmap& to = *dst.bitmap();
    const Bitmap& from = *src.bitmap();

    long long i0 = 0, i1 = width, j0 = 0, j1 = height;
    clipRange(x, to.width(), i0, i1);
    clipRange(sx, from.width(), i0, i1);
    clipRange(y, to.height(), j0, j1);
    clipRange(sy, from.height(), j0, j1);
    if (i0 >= i1 || j0 >= j1)
        return true;

    if (op == RasterOp::SrcCopy && from.isMonochrome() == to.isMonochrome() && &from != &to) {
        const auto count = static_cast<std::size_t>(i1 - i0);
        for (long long j = j0; j < j1; ++j)
            std::copy_n(from.row(static_cast<int>(sy + j)) + (sx + i0), count, to.row(static_cast<int>(y + j)) + (x + i0));
        return true;
    }
    auto withCombine = [&](auto convert) {
        switch (op) {
        case RasterOp::SrcCopy:
            blendRows(to, from, x, y, sx, sy, i0, i1, j0, j1, convert, [](ColorRef s, ColorRef) { return s; });
            break;
        case RasterOp::SrcAnd:
            blendRows(to, from, x, y, sx, sy, i0, i1, j0, j1, convert, [](ColorRef s, ColorRef d) { return s & d; });
            break;
        case RasterOp::SrcPaint:
            blendRows(to, from, x, y, sx, sy, i0, i1, j0, j1, convert, [](ColorRef s, ColorRef d) { return s | d; });
            break;
        }
    };
    if (from.isMonochrome() && !to.isMonochrome()) {
        const ColorRef one = dst.bkColor(), zero = dst.textColor();
        withCombine([=](ColorRef v) { return v != 0 ? one : zero; });
    } else if (!from.isMonochrome() && to.isMonochrome()) {
        const ColorRef key = src.bkColor();
        withCombine([=](ColorRef v) { return v == key ? 1u : 0u; });
    } else {
        withCombine([](ColorRef v) { return v; });
    }
    return true;
}

bool FillRect(DeviceContext& dc, const Rect& rect, const Brush& brush)
{
    Bitmap& bitmap = *dc.bitmap();
    Rect area;
    if (!clipToBitmap(bitmap, rect, area))
        return false;
    ColorRef value = brush.colour & 0xFFFFFF;
    if (bitmap.isMonochrome())
        value = RedOf(value) + GreenOf(value) + BlueOf(value) >= 3 * 128 ? 1u : 0u;
    for (int y = area.top; y < area.bottom; ++y) {
        ColorRef* row = bitmap.row(y);
        for (int x = area.left; x < area.right; ++x)
            row[x] = value;
    }
    return true;
}

bool InvertRect(DeviceContext& dc, const Rect& rect)
{
    Bitmap& bitmap = *dc.bitmap();
    Rect area;
    if (!clipToBitmap(bitmap, rect, area))
        return false;
    const ColorRef all = bitmap.valueMask();
    for (int y = area.top; y < area.bottom; ++y) {
        ColorRef* row = bitmap.row(y);
        for (int x = area.left; x < area.right; ++x)
            row[x] ^= all;
    }
    return true;
}

int DibRowBytes(int width, int bitsPerPixel)
{
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

std::span<const RgbQuad> PaletteForDepth(int bitsPerPixel)
{
    switch (bitsPerPixel) {
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

int NearestPaletteIndex(int bitsPerPixel, ColorRef colour)
{
    return nearestIn(PaletteForDepth(bitsPerPixel), colour);
}

int GetDIBits(const DeviceContext& /*dc*/, const Bitmap& bitmap, int startScan, int scanLines,
              std::span<std::uint8_t> bits, BitmapInfo& info)
{
    const int depth = info.header.bitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24)
        return 0;
    if (info.header.width != bitmap.width() || startScan < 0 || scanLines < 0)
        return 0;
    const int lines = std::min(scanLines, std::max(bitmap.height() - startScan, 0));
    const int rowBytes = DibRowBytes(bitmap.width(), depth);
    if (bits.size() < static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(lines))
        return 0;

    const std::span<const RgbQuad> palette = PaletteForDepth(depth);
    std::copy(palette.begin(), palette.end(), info.colours.begin());

    // Icons hold long runs of one colour: remembering the last lookup saves most searches.
    ColorRef lastColour = 0;
    int lastIndex = depth == 24 ? 0 : NearestPaletteIndex(depth, lastColour);

    for (int line = 0; line < lines; ++line) {
        const int y = bitmap.height() - 1 - (startScan + line);
        std::uint8_t* row = bits.data() + static_cast<std::size_t>(line) * static_cast<std::size_t>(rowBytes);
        std::fill(row, row + rowBytes, std::uint8_t{0});
        const ColorRef* pixels = bitmap.row(y);
        if (depth == 24 && !bitmap.isMonochrome()) {
            for (int x = 0; x < bitmap.width(); ++x) {
                const ColorRef colour = pixels[x];
                row[3 * x] = static_cast<std::uint8_t>(colour >> 16);
                row[3 * x + 1] = static_cast<std::uint8_t>(colour >> 8);
                row[3 * x + 2] = static_cast<std::uint8_t>(colour);
            }
            continue;
        }
        if (depth == 1 && bitmap.isMonochrome()) {
            // A mask: white is entry 1, so each bit is the pixel itself.
            for (int x = 0; x < bitmap.width(); ++x)
                row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | ((pixels[x] & 1u) << (7 - x % 8)));
            continue;
        }
        for (int x = 0; x < bitmap.width(); ++x) {
            ColorRef colour = pixels[x];
            if (bitmap.isMonochrome())
                colour = colour != 0 ? kWhite : kBlack;
            if (depth == 24) {
                row[3 * x] = static_cast<std::uint8_t>(BlueOf(colour));
                row[3 * x + 1] = static_cast<std::uint8_t>(GreenOf(colour));
                row[3 * x + 2] = static_cast<std::uint8_t>(RedOf(colour));
                continue;
            }
            if (colour != lastColour) {
                lastColour = colour;
                lastIndex = nearestIn(palette, colour);
            }
            const auto index = static_cast<unsigned>(lastIndex);
            if (depth == 8) {
                row[x] = static_cast<std::uint8_t>(index);
            } else if (depth == 4) {
                // The left pixel of a pair takes the high nibble.
                row[x / 2] = static_cast<std::uint8_t>(row[x / 2] | (index << ((x % 2 == 0) ? 4 : 0)));
            } else {
                row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | (index << (7 - x % 8)));
            }
        }
    }
    return lines;
}

} // namespace gg
