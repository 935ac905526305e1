// Scaling icon images: area averages down, repeated pixels up by whole factors, alpha-weighted colours.
#include "icons/image_scaling.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace gg;

namespace {

// One row of grey opaque pixels.
RgbaImage greyRow(std::initializer_list<int> levels)
{
    RgbaImage image(static_cast<int>(levels.size()), 1);
    int x = 0;
    for (int v : levels) {
        const auto c = static_cast<std::uint8_t>(v);
        image.set(x++, 0, {c, c, c, 255});
    }
    return image;
}

std::vector<int> reds(const RgbaImage& image)
{
    std::vector<int> out;
    for (int x = 0; x < image.width; ++x)
        out.push_back(image.at(x, 0).r);
    return out;
}

} // namespace

TEST(ImageScaling, ShrinkingAveragesTheAreaEachNewPixelCovers)
{
    // 3 -> 2: each new pixel covers one old pixel and half of the middle one.
    EXPECT_EQ(reds(scaled(greyRow({0, 90, 180}), 2, 1)), (std::vector<int>{30, 150}));
    // Down a column as well as across a row: 2 x 2 -> 1 x 1 is the mean of all four.
    RgbaImage square(2, 2);
    square.set(0, 0, {0, 0, 0, 255});
    square.set(1, 0, {100, 0, 0, 255});
    square.set(0, 1, {200, 0, 0, 255});
    square.set(1, 1, {100, 40, 0, 255});
    EXPECT_EQ(scaled(square, 1, 1).at(0, 0), (Rgba{100, 10, 0, 255}));
}

TEST(ImageScaling, ColoursAreWeightedByAlpha)
{
    // A clear pixel's colour must not bleed into its opaque neighbour's.
    RgbaImage row(2, 1);
    row.set(0, 0, {255, 0, 0, 255});
    row.set(1, 0, {0, 255, 0, 0});
    EXPECT_EQ(scaled(row, 1, 1).at(0, 0), (Rgba{255, 0, 0, 128}));
    // Enlarged, the new pixels between them keep the opaque one's colour as they fade.
    const RgbaImage wide = scaled(row, 3, 1);
    EXPECT_EQ(wide.at(1, 0), (Rgba{255, 0, 0, 128}));
    // What comes out fully transparent is transparent black.
    RgbaImage clear(4, 1);
    clear.set(0, 0, {9, 9, 9, 0});
    EXPECT_EQ(scaled(clear, 2, 1).at(0, 0), (Rgba{}));
}

TEST(ImageScaling, WholeFactorsRepeatPixelsAndOthersInterpolate)
{
    EXPECT_EQ(reds(scaled(greyRow({10, 200}), 6, 1)), (std::vector<int>{10, 10, 10, 200, 200, 200}));
    // 2 -> 3: the middle pixel lies halfway between the old centres; the outer ones on them.
    EXPECT_EQ(reds(scaled(greyRow({0, 200}), 3, 1)), (std::vector<int>{0, 100, 200}));
    // 4 -> 5: both old neighbours weigh in.
    EXPECT_EQ(reds(scaled(greyRow({0, 100, 200, 40}), 5, 1)), (std::vector<int>{0, 70, 150, 152, 40}));
}

TEST(ImageScaling, FittedToSquareKeepsProportionsCentredOnTransparency)
{
    // 4 x 2 -> 16: doubled four times over, then centred 16 x 8 in rows 4 to 11.
    RgbaImage wide(4, 2);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            wide.set(x, y, {static_cast<std::uint8_t>(x * 60), static_cast<std::uint8_t>(y * 100), 7, 255});
    const RgbaImage square = fittedToSquare(wide, 16);
    ASSERT_EQ(square.width, 16);
    ASSERT_EQ(square.height, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(square.at(x, y), y < 4 || y >= 12 ? Rgba{} : wide.at(x / 4, (y - 4) / 4)) << x << "," << y;
    // 3 x 3 -> 8: doubled without smoothing first (pixel art stays crisp), then 6 -> 8.
    RgbaImage dot(3, 3);
    dot.set(1, 1, {255, 255, 255, 255});
    const RgbaImage art = fittedToSquare(dot, 8);
    EXPECT_EQ(art.at(0, 0), Rgba{});
    EXPECT_EQ(art.at(3, 3), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(art.at(4, 4), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(fittedToSquare(square, 16), square);
    EXPECT_TRUE(fittedToSquare(square, 0).isNull());
}
