#pragma once
// Colours as the tests state them: 0xAARRGGBB (0xRRGGBB where there is no alpha).

#include <cstdint>

namespace gg::test {

using Argb = std::uint32_t;
constexpr Argb argb(int r, int g, int b, int a = 255)
{
    return (static_cast<Argb>(a) << 24) | (static_cast<Argb>(r) << 16) | (static_cast<Argb>(g) << 8) | static_cast<Argb>(b);
}
constexpr int redOf(Argb c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr int greenOf(Argb c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blueOf(Argb c) { return static_cast<int>(c & 0xFF); }
constexpr int alphaOf(Argb c) { return static_cast<int>(c >> 24); }

} // namespace gg::test
