// Pixel buffers and raster operations: the colour/monochrome rules, clipping, reading at a depth.

#include "icons/pixel_buffer.h"
#include "icons/raster_ops.h"

#include <gtest/gtest.h>

#include <random>

using namespace gg;

TEST(PixelBuffer, FromRgb32TakesArgbRowsWithStrideAndIgnoresAlpha)
{
    const std::uint32_t argb[] = {0xFF112233, 0x00445566, 0xDEADBEEF, //
                                  0x80FFFFFF, 0xFF000000, 0xDEADBEEF};
    const Bitmap bitmap = Bitmap::fromRgb32(argb, 2, 2, 3);
    EXPECT_EQ(bitmap.pixel(0, 0), Rgb(0x11, 0x22, 0x33));
    EXPECT_EQ(bitmap.pixel(1, 0), Rgb(0x44, 0x55, 0x66));
    EXPECT_EQ(bitmap.pixel(0, 1), kWhite);
    EXPECT_EQ(bitmap.pixel(1, 1), kBlack);
    EXPECT_THROW(Bitmap(4, 4, 8), std::invalid_argument);
    EXPECT_THROW(Bitmap(-1, 4), std::invalid_argument);
}

TEST(RasterOps, ColourAndMonochromeMeetThroughTheContextColours)
{
    Bitmap colour(4, 1), mono(4, 1, 1);
    colour.setPixel(0, 0, Rgb(1, 2, 3));
    colour.setPixel(2, 0, Rgb(1, 2, 3));
    colour.setPixel(3, 0, Rgb(1, 2, 4));
    DeviceContext colourDc, monoDc;
    colourDc.SelectObject(&colour);
    monoDc.SelectObject(&mono);

    // Colour to mono: 1 exactly where the source equals the source's background colour.
    colourDc.SetBkColor(Rgb(1, 2, 3));
    monoDc.SetBkColor(Rgb(9, 9, 9)); // the destination's colours play no part
    ASSERT_TRUE(BitBlt(monoDc, 0, 0, 4, 1, colourDc, 0, 0, RasterOp::SrcCopy));
    EXPECT_EQ(mono.pixel(0, 0), 1u);
    EXPECT_EQ(mono.pixel(1, 0), 0u);
    EXPECT_EQ(mono.pixel(2, 0), 1u);
    EXPECT_EQ(mono.pixel(3, 0), 0u);

    // Mono to colour: 1 becomes the destination's background, 0 its text colour.
    Bitmap out(4, 1);
    DeviceContext outDc;
    outDc.SelectObject(&out);
    outDc.SetBkColor(Rgb(200, 0, 0));
    outDc.SetTextColor(Rgb(0, 0, 100));
    ASSERT_TRUE(BitBlt(outDc, 0, 0, 4, 1, monoDc, 0, 0, RasterOp::SrcCopy));
    EXPECT_EQ(out.pixel(0, 0), Rgb(200, 0, 0));
    EXPECT_EQ(out.pixel(1, 0), Rgb(0, 0, 100));

    // AND and OR work bit by bit.
    Bitmap a(1, 1), b(1, 1);
    a.setPixel(0, 0, 0x00F0F0F0);
    b.setPixel(0, 0, 0x003C3C3C);
    DeviceContext aDc, bDc;
    aDc.SelectObject(&a);
    bDc.SelectObject(&b);
    BitBlt(aDc, 0, 0, 1, 1, bDc, 0, 0, RasterOp::SrcAnd);
    EXPECT_EQ(a.pixel(0, 0), 0x00303030u);
    BitBlt(aDc, 0, 0, 1, 1, bDc, 0, 0, RasterOp::SrcPaint);
    EXPECT_EQ(a.pixel(0, 0), 0x003C3C3Cu);
}

TEST(RasterOps, CopiesFillsAndInversionsAreClippedToBothBitmaps)
{
    Bitmap src(4, 4), dst(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.setPixel(x, y, Rgb(x, y, 1));
    DeviceContext s, d;
    s.SelectObject(&src);
    d.SelectObject(&dst);
    EXPECT_TRUE(BitBlt(d, 2, -1, 10, 10, s, 1, 0, RasterOp::SrcCopy));
    EXPECT_EQ(dst.pixel(2, 0), Rgb(1, 1, 1));
    EXPECT_EQ(dst.pixel(3, 2), Rgb(2, 3, 1));
    EXPECT_EQ(dst.pixel(1, 0), kBlack);
    EXPECT_FALSE(BitBlt(d, 0, 0, -1, 1, s, 0, 0, RasterOp::SrcCopy));

    EXPECT_TRUE(FillRect(d, Rect{-5, -5, 1, 1}, CreateSolidBrush(kWhite)));
    EXPECT_EQ(dst.pixel(0, 0), kWhite);
    EXPECT_TRUE(InvertRect(d, Rect{0, 0, 100, 1}));
    EXPECT_EQ(dst.pixel(0, 0), kBlack);
    EXPECT_EQ(dst.pixel(2, 0), Rgb(254, 254, 254));

    Bitmap mono(2, 1, 1);
    DeviceContext m;
    m.SelectObject(&mono);
    InvertRect(m, Rect{0, 0, 1, 1});
    EXPECT_EQ(mono.pixel(0, 0), 1u);
    EXPECT_EQ(mono.pixel(1, 0), 0u);
}

TEST(RasterOps, GetDIBitsPacksRowsBottomUpAtEveryDepth)
{
    Bitmap bitmap(9, 2);
    bitmap.setPixel(0, 1, kWhite);              // bottom row, left
    bitmap.setPixel(8, 1, Rgb(255, 0, 0));      // bottom row, ninth pixel
    bitmap.setPixel(1, 0, Rgb(10, 20, 30));     // top row
    DeviceContext dc;
    dc.SelectObject(&bitmap);
    BitmapInfo info{};
    info.header.width = 9;

    std::vector<std::uint8_t> bits(64, 0xAA);
    info.header.bitCount = 1;
    ASSERT_EQ(GetDIBits(dc, bitmap, 0, 2, bits, info), 2);
    EXPECT_EQ(bits[0], 0x80); // rows are 4 bytes; the left pixel is the high bit
    EXPECT_EQ(bits[1], 0x00); // red is nearer black than white
    EXPECT_EQ(info.colours[1], (RgbQuad{255, 255, 255, 0}));

    info.header.bitCount = 4;
    ASSERT_EQ(GetDIBits(dc, bitmap, 0, 2, bits, info), 2);
    EXPECT_EQ(bits[0], 0xF0);
    EXPECT_EQ(bits[4], 0x90); // red is entry 9, high nibble
    EXPECT_EQ(bits[7], 0x00); // row padding

    info.header.bitCount = 24;
    ASSERT_EQ(GetDIBits(dc, bitmap, 0, 2, bits, info), 2);
    EXPECT_EQ(bits[28 + 3], 30); // rows of 27 bytes padded to 28; top row second
    EXPECT_EQ(bits[28 + 4], 20);
    EXPECT_EQ(bits[28 + 5], 10);

    std::vector<std::uint8_t> tooSmall(10);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, tooSmall, info), 0);
    info.header.bitCount = 16;
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, bits, info), 0);
}

TEST(RasterOps, PalettesAndNearestColour)
{
    ASSERT_EQ(PaletteForDepth(1).size(), 2u);
    ASSERT_EQ(PaletteForDepth(4).size(), 16u);
    ASSERT_EQ(PaletteForDepth(8).size(), 256u);
    EXPECT_TRUE(PaletteForDepth(24).empty());
    for (int depth : {1, 4, 8}) {
        EXPECT_EQ(NearestPaletteIndex(depth, kBlack), 0);
        const RgbQuad white = PaletteForDepth(depth)[static_cast<std::size_t>(NearestPaletteIndex(depth, kWhite))];
        EXPECT_EQ(white, (RgbQuad{255, 255, 255, 0}));
    }
    EXPECT_EQ(NearestPaletteIndex(4, Rgb(197, 197, 197)), 7);   // silver
    EXPECT_EQ(NearestPaletteIndex(8, Rgb(204, 102, 51)), 16 + 36 * 4 + 6 * 2 + 1);
    // Cube grey 102 and ramp grey 98 are equally near: the lower index wins.
    EXPECT_EQ(NearestPaletteIndex(8, Rgb(100, 100, 100)), 16 + 36 * 2 + 6 * 2 + 2);

    // Every colour maps to an entry no farther than any other (a brute-force check).
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const ColorRef c = random() & 0xFFFFFF;
        for (int depth : {1, 4, 8}) {
            const auto table = PaletteForDepth(depth);
            auto distance = [&](const RgbQuad& q) {
                const int dr = RedOf(c) - q.red, dg = GreenOf(c) - q.green, db = BlueOf(c) - q.blue;
                return dr * dr + dg * dg + db * db;
            };
            const int chosen = distance(table[static_cast<std::size_t>(NearestPaletteIndex(depth, c))]);
            for (const RgbQuad& q : table)
                ASSERT_LE(chosen, distance(q));
        }
    }
}
