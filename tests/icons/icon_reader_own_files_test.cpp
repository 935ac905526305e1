// The reader opens the files our own writer makes, at every depth it writes.
#include <gtest/gtest.h>

#include "encoder_test_support.h"
#include "icons/icon_extractor.h"

namespace {

using namespace gg::test;

class OwnFiles : public ::testing::TestWithParam<int> {};

TEST_P(OwnFiles, ReadBackShowsThePictureAndTheKeyColourAsTransparent)
{
    // Colours every fixed table holds exactly, so no depth changes them.
    const std::uint32_t colours[] = {kBlack, kWhite};
    const gg::IconPicture picture =
        makePicture([&](int x, int y) { return (x + y) % 5 == 0 ? kKey : colours[(x / 4 + y / 4) % 2]; });

    const gg::IconSource source = gg::IconSource::fromBytes(encoded(picture, GetParam()));
    ASSERT_EQ(source.count(), 1);
    const gg::RgbaImage back = source.icon(0);
    ASSERT_TRUE(back.width == 32 && back.height == 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const std::uint32_t c = picture.at(x, y);
            const gg::Rgba got = back.at(x, y);
            if (c == kKey) {
                EXPECT_EQ(got.a, 0) << x << "," << y;
            } else {
                EXPECT_EQ(got, (gg::Rgba{static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                                         static_cast<std::uint8_t>(blueOf(c)), 255})) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, OwnFiles, ::testing::Values(1, 4, 8, 24),
                         [](const auto& info) { return std::to_string(info.param) + "bits"; });

} // namespace
