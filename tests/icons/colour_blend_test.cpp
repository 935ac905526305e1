// A pixel over the key colour: the bytes saving has always written.
#include "icons/colour_blend.h"

#include <gtest/gtest.h>

using namespace gg;

TEST(ColourBlend, AlphaWeighsThePixelAgainstTheBackground)
{
    EXPECT_EQ(overOpaque({10, 20, 30, 255}, 0xC5C5C5), 0x0A141Eu);
    EXPECT_EQ(overOpaque({10, 20, 30, 0}, 0xC5C5C5), 0xC5C5C5u);
    // Each part rounded on its own: 200 * 100 / 255 = 78.4 -> 78; 0xC5 * 155 / 255 = 119.7 -> 120.
    EXPECT_EQ(overOpaque({200, 0, 255, 100}, 0xC50000), (78u + 120u) << 16 | 0u << 8 | 100u);
}
