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
