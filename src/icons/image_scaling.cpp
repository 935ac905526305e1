#include "icons/image_scaling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gg {
namespace {

// How one new pixel along a direction is made from the old ones: taps[first .. first + count).
struct Tap {
    int from;
    float weight;
};
struct Taps {
    std::vector<Tap> taps;
    std::vector<std::size_t> first; // one per new pixel, and one past the last
};

Taps tapsFor(int from, int to)
{
    Taps t;
    t.first.reserve(static_cast<std::size_t>(to) + 1);
    const double step = static_cast<double>(from) / to; // old pixels per new pixel
    for (int i = 0; i < to; ++i) {
        t.first.push_back(t.taps.size());
        if (to % from == 0) {
            t.taps.push_back({i / (to / from), 1.0f});
        } else if (to < from) {
            // The new pixel covers [i * step, (i + 1) * step) of the old ones; each weighs what it covers.
            const double start = i * step, end = (i + 1) * step;
            for (int j = static_cast<int>(start); j < from && j < end; ++j) {
                const double covered = std::min<double>(end, j + 1) - std::max<double>(start, j);
                if (covered > 0)
                    t.taps.push_back({j, static_cast<float>(covered / step)});
            }
        } else {
            // Between the two old pixels whose centres lie either side of the new one's centre.
            const double at = std::clamp((i + 0.5) * step - 0.5, 0.0, from - 1.0);
            const int left = static_cast<int>(at);
            const auto right = static_cast<float>(at - left);
            t.taps.push_back({left, 1.0f - right});
            if (right > 0)
                t.taps.push_back({left + 1, right});
        }
    }
    t.first.push_back(t.taps.size());
    return t;
}

// Premultiplied red, green, blue and alpha, from 0 to 255.
struct Premultiplied {
    float r = 0, g = 0, b = 0, a = 0;
};

// Rounded half away from zero, as lround does, then clamped; written out so that the tool does
// not load libm for it. A float plus a half is exact as a double; NaN gives 0.
std::uint8_t toByte(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<std::uint8_t>(static_cast<double>(v) + 0.5);
}

RgbaImage enlargedBy(const RgbaImage& image, int factor)
{
    RgbaImage out(image.width * factor, image.height * factor);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* from = image.row(y);
        std::uint8_t* first = out.row(y * factor);
        for (int x = 0; x < image.width; ++x)
            for (int k = 0; k < factor; ++k)
                std::memcpy(first + (static_cast<std::size_t>(x) * static_cast<std::size_t>(factor) + static_cast<std::size_t>(k)) * 4,
                            from + static_cast<std::size_t>(x) * 4, 4);
        for (int k = 1; k < factor; ++k) // the block's other rows are the same
            std::memcpy(out.row(y * factor + k), first, out.rowBytes());
    }
    return out;
}

} // namespace

RgbaImage scaled(const RgbaImage& image, int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (image.isNull() || (width == image.width && height == image.height))
        return image;
    const Taps across = tapsFor(image.width, width), down = tapsFor(image.height, height);

    // Across each old row first, then down each new column.
    std::vector<Premultiplied> rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* in = image.row(y);
        Premultiplied* out = rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            Premultiplied sum;
            for (std::size_t k = across.first[static_cast<std::size_t>(x)]; k < across.first[static_cast<std::size_t>(x) + 1]; ++k) {
                const std::uint8_t* p = in + across.taps[k].from * 4;
                const float alpha = across.taps[k].weight * p[3];
                sum.r += alpha * p[0];
                sum.g += alpha * p[1];
                sum.b += alpha * p[2];
                sum.a += alpha;
            }
            out[x] = sum;
        }
    }
    RgbaImage result(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = result.row(y);
        for (int x = 0; x < width; ++x) {
            Premultiplied sum;
            for (std::size_t k = down.first[static_cast<std::size_t>(y)]; k < down.first[static_cast<std::size_t>(y) + 1]; ++k) {
                const Premultiplied& p = rows[static_cast<std::size_t>(down.taps[k].from) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
                const float w = down.taps[k].weight;
                sum.r += w * p.r;
                sum.g += w * p.g;
                sum.b += w * p.b;
                sum.a += w * p.a;
            }
            const std::uint8_t alpha = toByte(sum.a);
            if (alpha == 0)
                continue; // transparent black, as the decoders leave every clear pixel
            out[x * 4] = toByte(sum.r / sum.a);
            out[x * 4 + 1] = toByte(sum.g / sum.a);
            out[x * 4 + 2] = toByte(sum.b / sum.a);
            out[x * 4 + 3] = alpha;
        }
    }
    return result;
}

RgbaImage fittedToSquare(const RgbaImage& image, int side)
{
    if (side < 1)
        return RgbaImage();
    if (image.isNull() || (image.width == side && image.height == side))
        return image;
    const int factor = side / std::max(image.width, image.height);
    RgbaImage enlarged = factor > 1 ? enlargedBy(image, factor) : RgbaImage();
    const RgbaImage& source = factor > 1 ? enlarged : image;
    // The longer side becomes `side`; the shorter one its share of it, rounded down.
    const int w = source.width >= source.height ? side : side * source.width / source.height;
    const int h = source.width >= source.height ? side * source.height / source.width : side;
    RgbaImage fitted = w != source.width || h != source.height ? scaled(source, w, h)
                       : factor > 1                                ? std::move(enlarged)
                                                                   : image;
    if (fitted.width == side && fitted.height == side)
        return fitted;
    RgbaImage canvas(side, side);
    const int left = (side - fitted.width) / 2, top = (side - fitted.height) / 2;
    for (int y = 0; y < fitted.height; ++y)
        std::memcpy(canvas.row(top + y) + static_cast<std::size_t>(left) * 4, fitted.row(y), fitted.rowBytes());
    return canvas;
}

} // namespace gg
