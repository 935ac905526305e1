// PNG files made by libspng read back as the same pixels, by libspng and by our own decoder.
#include "icon_test_files.h"

#include "icons/icon_png.h"
#include "icons/png_encoder.h"

#include <gtest/gtest.h>

using namespace gg;
using namespace gg::test;

TEST(PngEncoder, EveryPixelComesBackExactly)
{
    RgbaImage image(37, 5); // odd width: no row is a whole number of words of 8 bytes
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.set(x, y, {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 50),
                             static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(x * 3 + y)});
    for (PngCompression compression : {PngCompression::Small, PngCompression::Fast}) {
        const std::optional<Bytes> png = encodePng(image, compression);
        ASSERT_TRUE(png);
        EXPECT_EQ(pngBySpng(*png), image);
        Result<RgbaImage> ours = decodePngStream(ByteReader(*png));
        ASSERT_TRUE(ours);
        EXPECT_EQ(*ours, image);
    }
    EXPECT_FALSE(encodePng(RgbaImage()));
}

// Large images reuse the rows' room of the one before on the same thread; growing, shrinking and
// going past what is kept must each still give every pixel.
TEST(PngDecoder, ImagesOfChangingSizesOneAfterAnother)
{
    for (int side : {256, 600, 300, 256, 100}) {
        RgbaImage image(side, side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                image.set(x, y, {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 13),
                                 static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(x + y)});
        const std::optional<Bytes> png = encodePng(image, PngCompression::Fast);
        ASSERT_TRUE(png);
        Result<RgbaImage> decoded = decodePngStream(ByteReader(*png));
        ASSERT_TRUE(decoded) << side;
        EXPECT_EQ(*decoded, image) << side;
        EXPECT_TRUE(decodePngStream(ByteReader(*png), PngPixels::Checked)) << side;
    }
}
