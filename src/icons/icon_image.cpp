#include "icons/icon_image.h"

#include "icons/icon_png.h"
#include "icons/image_scaling.h"
#include "icons/packed_pixels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace gg {
namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// BITMAPINFOHEADER, the part every later header version starts with.
namespace bih {
constexpr std::uint64_t kSize = 0;         // u32 header size
constexpr std::uint64_t kWidth = 4;        // i32
constexpr std::uint64_t kHeight = 8;       // i32, image and AND mask together
constexpr std::uint64_t kBitCount = 14;    // u16
constexpr std::uint64_t kCompression = 16; // u32
constexpr std::uint64_t kColorsUsed = 32;  // u32
constexpr std::uint64_t kRedMask = 40;     // u32, headers of 52 bytes and more
constexpr std::uint64_t kAlphaMask = 52;   // u32, headers of 56 bytes and more
constexpr std::uint32_t kMinSize = 40;
} // namespace bih

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

// PNG: signature, then the IHDR chunk: length, "IHDR", width, height, bit depth, colour type.
namespace ihdr {
constexpr std::uint64_t kWidth = 16;     // u32 big-endian
constexpr std::uint64_t kHeight = 20;    // u32 big-endian
constexpr std::uint64_t kBitDepth = 24;  // u8
constexpr std::uint64_t kColorType = 25; // u8
constexpr std::uint64_t kEnd = 26;
} // namespace ihdr

bool isPng(const ByteReader& data) { return data.startsWith(0, kPngSignature); }

// Enough of an image's start to tell its size and depth: a BITMAPINFOHEADER, or a PNG's IHDR.
constexpr std::uint64_t kImageHeadBytes = 64;
static_assert(kImageHeadBytes >= bih::kMinSize && kImageHeadBytes >= ihdr::kEnd);

struct DibLayout {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    bool hasMask = true;
};

Result<DibLayout> readDibLayout(const ByteReader& data)
{
    if (!data.has(0, bih::kMinSize))
        return fail(ReadError::Truncated, data.base());
    std::uint32_t headerSize = data.u32(bih::kSize);
    if (headerSize < bih::kMinSize)
        return fail(ReadError::BadBitmapHeader, data.base());
    std::int32_t width = data.i32(bih::kWidth);
    std::int32_t fullHeight = data.i32(bih::kHeight);
    if (width <= 0 || fullHeight <= 0)
        return fail(ReadError::BadBitmapHeader, data.base() + bih::kWidth);
    DibLayout layout;
    layout.width = width;
    // The height covers the colour image and the AND mask below it; an odd one has no mask.
    if (fullHeight % 2 == 0) {
        layout.height = fullHeight / 2;
    } else {
        layout.height = fullHeight;
        layout.hasMask = false;
    }
    if (layout.width > kMaxIconSide || layout.height > kMaxIconSide)
        return fail(ReadError::ImageTooLarge, data.base() + bih::kWidth);
    layout.bitCount = data.u16(bih::kBitCount);
    switch (layout.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return fail(ReadError::UnsupportedBitmap, data.base() + bih::kBitCount);
    }
    return layout;
}

// One channel of a bit-field pixel, widened to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(std::uint32_t m) : mask(m)
    {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        bits = std::popcount(m >> shift);
        if (bits > 8) { // keep the top 8 bits of a wide field
            shift += bits - 8;
            bits = 8;
        }
    }
    std::uint32_t take(std::uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        std::uint32_t v = (pixel >> shift) & ((1u << bits) - 1);
        std::uint32_t max = (1u << bits) - 1;
        return (v * 255 + max / 2) / max;
    }
};

std::uint64_t strideOf(std::uint64_t width, std::uint64_t bits) { return ((width * bits + 31) / 32) * 4; }

struct ChannelMasks {
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
};

// The channel masks of a 16- or 32-bit image; pos moves past masks stored after the header.
Result<ChannelMasks> readChannelMasks(const ByteReader& data, const DibLayout& layout, std::uint64_t& pos)
{
    const std::uint32_t headerSize = data.u32(bih::kSize);
    const std::uint32_t compression = data.u32(bih::kCompression);
    ChannelMasks masks;
    if (compression == kBiBitfields && (layout.bitCount == 16 || layout.bitCount == 32)) {
        // Small headers carry the three masks right after them; larger ones hold them inside.
        std::uint64_t at = headerSize >= 52 ? bih::kRedMask : headerSize;
        if (!data.has(at, 12))
            return fail(ReadError::Truncated, data.base() + at);
        masks.red = data.u32(at);
        masks.green = data.u32(at + 4);
        masks.blue = data.u32(at + 8);
        masks.alpha = headerSize >= 56 ? data.u32(bih::kAlphaMask) : 0;
        if (headerSize < 52)
            pos += 12;
    } else if (compression != kBiRgb) {
        return fail(ReadError::UnsupportedBitmap, data.base() + bih::kCompression);
    } else if (layout.bitCount == 16) {
        masks.red = 0x7C00;
        masks.green = 0x03E0;
        masks.blue = 0x001F;
    }
    return masks;
}

using Palette = std::array<PackedPixel, 256>;

// The colour table of an image of 8 bits or fewer; pos moves past it.
Result<Palette> readPalette(const ByteReader& data, const DibLayout& layout, std::uint64_t& pos)
{
    Palette palette{};
    if (layout.bitCount > 8)
        return palette;
    std::uint32_t maxColors = 1u << layout.bitCount;
    std::uint32_t used = data.u32(bih::kColorsUsed);
    if (used > 256)
        return fail(ReadError::BadBitmapHeader, data.base() + bih::kColorsUsed);
    std::uint32_t colors = used == 0 ? maxColors : used;
    Result<ByteReader> table = data.slice(pos, std::uint64_t{colors} * 4);
    if (!table)
        return table.failure();
    for (std::uint32_t i = 0; i < colors && i < maxColors; ++i) // RGBQUAD: blue, green, red, reserved
        palette[i] = packRgba(table->u8(i * 4 + 2), table->u8(i * 4 + 1), table->u8(i * 4));
    pos += std::uint64_t{colors} * 4;
    return palette;
}

// How one row's stored pixels become colours.
struct RowDecoder {
    int bitCount;
    bool bitfields;
    const Palette& palette;
    Channel red, green, blue, alpha;
    bool hasAlphaMask;

    void decode(std::span<const std::uint8_t> in, PackedPixel* out, std::size_t width) const
    {
        switch (bitCount) {
        case 1:
            for (std::size_t x = 0; x < width; ++x)
                out[x] = palette[(in[x / 8] >> (7 - x % 8)) & 1];
            break;
        case 4:
            for (std::size_t x = 0; x + 1 < width; x += 2) {
                out[x] = palette[in[x / 2] >> 4];
                out[x + 1] = palette[in[x / 2] & 0x0F];
            }
            if (width % 2)
                out[width - 1] = palette[in[width / 2] >> 4];
            break;
        case 8:
            for (std::size_t x = 0; x < width; ++x)
                out[x] = palette[in[x]];
            break;
        case 16:
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t v = in[2 * x] | (std::uint32_t{in[2 * x + 1]} << 8);
                out[x] = packRgba(red.take(v), green.take(v), blue.take(v));
            }
            break;
        case 24:
            for (std::size_t x = 0; x < width; ++x)
                out[x] = packRgba(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
            break;
        case 32:
            decode32(in, out, width);
            break;
        }
    }

    void decode32(std::span<const std::uint8_t> in, PackedPixel* out, std::size_t width) const
    {
        if (bitfields) {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t v = in[4 * x] | (std::uint32_t{in[4 * x + 1]} << 8) |
                                        (std::uint32_t{in[4 * x + 2]} << 16) | (std::uint32_t{in[4 * x + 3]} << 24);
                out[x] = packRgba(red.take(v), green.take(v), blue.take(v), hasAlphaMask ? alpha.take(v) : 0);
            }
        } else {
            // Blue, green, red, alpha: red and blue change places.
            std::memcpy(out, in.data(), width * 4);
            for (std::size_t x = 0; x < width; ++x)
                out[x] = (out[x] & 0xFF00FF00u) | ((out[x] >> 16) & 0xFFu) | ((out[x] & 0xFFu) << 16);
        }
    }
};

// Eight pixels a mask byte; most bytes are all clear or all set. An empty mask leaves every pixel
// opaque.
void applyMaskRow(std::span<const std::uint8_t> mask, PackedPixel* out, std::size_t width)
{
    for (std::size_t x = 0; x < width; x += 8) {
        const std::uint8_t bits = mask.empty() ? 0 : mask[x / 8];
        const std::size_t end = std::min(width, x + 8);
        if (bits == 0) {
            for (std::size_t i = x; i < end; ++i)
                out[i] |= kOpaque;
        } else if (bits == 0xFF) {
            std::fill(out + x, out + end, PackedPixel{0});
        } else {
            for (std::size_t i = x; i < end; ++i)
                out[i] = (bits << (i - x)) & 0x80 ? PackedPixel{0} : (out[i] | kOpaque);
        }
    }
}

Result<RgbaImage> decodeDib(const ByteReader& data)
{
    Result<DibLayout> layoutResult = readDibLayout(data);
    if (!layoutResult)
        return layoutResult.failure();
    const DibLayout layout = *layoutResult;
    std::uint64_t pos = data.u32(bih::kSize);
    const Result<ChannelMasks> masks = readChannelMasks(data, layout, pos);
    if (!masks)
        return masks.failure();
    const Result<Palette> palette = readPalette(data, layout, pos);
    if (!palette)
        return palette.failure();

    const std::uint64_t w = static_cast<std::uint64_t>(layout.width);
    const std::uint64_t h = static_cast<std::uint64_t>(layout.height);
    const std::uint64_t colorStride = strideOf(w, static_cast<std::uint64_t>(layout.bitCount));
    const std::uint64_t maskStride = strideOf(w, 1);
    if (layout.bitCount > 8) {
        // Above 8 bits a colour table of "colours used" entries may still follow the header as a
        // palette hint (our own 24-bit files carry one). Skip it only when the image still fits
        // after it, so a stray count in an otherwise sound image costs nothing.
        const std::uint32_t used = data.u32(bih::kColorsUsed);
        const std::uint64_t image = colorStride * h + (layout.hasMask ? maskStride * h : 0);
        if (used != 0 && used <= 256 && data.has(pos + std::uint64_t{used} * 4, image))
            pos += std::uint64_t{used} * 4;
    }
    Result<ByteReader> colorBits = data.slice(pos, colorStride * h);
    if (!colorBits)
        return colorBits.failure();
    // A missing AND mask leaves every pixel opaque rather than losing the image.
    Result<ByteReader> maskBits = data.slice(pos + colorStride * h, maskStride * h);
    const bool haveMask = layout.hasMask && maskBits.ok();

    RgbaImage image(layout.width, layout.height);
    const RowDecoder decoder{layout.bitCount, data.u32(bih::kCompression) == kBiBitfields, *palette,
                             Channel(masks->red), Channel(masks->green), Channel(masks->blue), Channel(masks->alpha),
                             masks->alpha != 0};
    std::uint32_t alphaSeen = 0;
    const auto width = static_cast<std::size_t>(w);
    auto outputRow = [&](std::uint64_t y) { return packedRow(image, static_cast<int>(y)); };

    for (std::uint64_t y = 0; y < h; ++y) {
        // Rows are stored bottom-up; the stride covers every pixel of a row.
        PackedPixel* out = outputRow(y);
        decoder.decode(colorBits->row((h - 1 - y) * colorStride, colorStride), out, width);
        if (layout.bitCount == 32)
            for (std::size_t x = 0; x < width; ++x)
                alphaSeen |= out[x];
    }

    // Alpha of a 32-bit image rules; one whose alpha is all zero falls back to the mask.
    if (layout.bitCount == 32 && alphaOf(alphaSeen) != 0)
        return image;
    for (std::uint64_t y = 0; y < h; ++y)
        applyMaskRow(haveMask ? maskBits->row((h - 1 - y) * maskStride, maskStride) : std::span<const std::uint8_t>(),
                     outputRow(y), width);
    return image;
}

Result<RgbaImage> decodePng(const ByteReader& data, PngPixels pixels = PngPixels::Made)
{
    Result<ImageShape> shape = peekImageShape(data);
    if (!shape)
        return shape.failure();
    return decodePngStream(data, pixels);
}

// Icons are shown and saved at 32 x 32.
constexpr int kIconSide = 32;

} // namespace

Result<ImageShape> peekImageShape(const ByteReader& data)
{
    ImageShape shape;
    if (isPng(data)) {
        if (!data.has(0, ihdr::kEnd) || !data.startsWith(12, "IHDR", 4))
            return fail(ReadError::BadPng, data.base());
        std::uint32_t width = data.u32be(ihdr::kWidth);
        std::uint32_t height = data.u32be(ihdr::kHeight);
        if (width == 0 || height == 0)
            return fail(ReadError::BadPng, data.base() + ihdr::kWidth);
        if (width > kMaxIconSide || height > kMaxIconSide)
            return fail(ReadError::ImageTooLarge, data.base() + ihdr::kWidth);
        int channels = 1;
        switch (data.u8(ihdr::kColorType)) {
        case 2: channels = 3; break;
        case 4: channels = 2; break;
        case 6: channels = 4; break;
        default: break;
        }
        shape.width = static_cast<int>(width);
        shape.height = static_cast<int>(height);
        shape.depth = data.u8(ihdr::kBitDepth) * channels;
        shape.png = true;
        return shape;
    }
    Result<DibLayout> layout = readDibLayout(data);
    if (!layout)
        return layout.failure();
    shape.width = layout->width;
    shape.height = layout->height;
    shape.depth = layout->bitCount;
    return shape;
}

Result<RgbaImage> decodeIconImage(const ByteReader& data)
{
    return isPng(data) ? decodePng(data) : decodeDib(data);
}

bool spendPixels(const ByteRange& image, std::uint64_t pixels)
{
    WorkBudget* budget = image.budget();
    if (budget == nullptr)
        return true;
    if (!budget->pixelsLeft())
        return false;
    budget->spendPixels(pixels);
    return true;
}

// Which image of a group becomes the icon, chosen for the best picture at 32 x 32:
//  1. an exact 32 x 32, the colour depth closest to 32 bits among those;
//  2. otherwise the smallest image larger than 32 x 32 (both sides at least 32), scaled down;
//  3. otherwise the largest smaller one, scaled up.
// Within a rank the depth closest to 32 bits wins, then directory order. Sizes and depths come
// from the images' own headers, not from the directory, which often leaves them 0 or wrong.
Result<ChosenImage> decodeGroup(const IconGroup& group, DecodeCache* cache, Fit fit)
{
    struct Ranked {
        std::size_t index;
        int tier;
        std::int64_t area;
        int depthDistance;
        ImageShape shape;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(std::min(group.images.size(), kMaxImagesPerGroup));
    ReadFailure lastFailure = fail(ReadError::NoUsableImage);
    for (std::size_t i = 0; i < group.images.size() && i < kMaxImagesPerGroup; ++i) {
        const ByteRange& data = group.images[i].data;
        Result<ByteReader> head = data.slice(0, std::min<std::uint64_t>(data.size(), kImageHeadBytes));
        if (!head) {
            lastFailure = head.failure();
            continue;
        }
        Result<ImageShape> shape = peekImageShape(*head);
        if (!shape) {
            lastFailure = shape.failure();
            continue;
        }
        const int w = shape->width, h = shape->height;
        Ranked r{i, 0, std::int64_t{w} * h, std::abs(shape->depth - 32), *shape};
        if (w == 32 && h == 32) {
            r.tier = 0;
        } else if (w >= 32 && h >= 32) {
            r.tier = 1;
        } else {
            r.tier = 2;
            r.area = -r.area; // the largest of the smaller ones first
        }
        ranked.push_back(r);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.tier != b.tier)
            return a.tier < b.tier;
        if (a.area != b.area)
            return a.area < b.area;
        return a.depthDistance < b.depthDistance;
    });
    auto decodeOne = [fit](const ByteRange& data, const ImageShape& shape) {
        // The image and the icon made of it.
        if (!spendPixels(data, std::uint64_t(shape.width) * std::uint64_t(shape.height) + 32 * 32))
            return DecodedImage{fail(ReadError::TooMuchWork, data.base()), 0, 0};
        Result<ByteReader> bytes = data.slice(0, std::min(data.size(), kMaxImageBytes));
        if (!bytes)
            return DecodedImage{bytes.failure(), 0, 0};
        if (fit == Fit::DecodeOnly) {
            // A PNG is checked as a decode would, without making its pixels.
            Result<RgbaImage> checked = isPng(*bytes) ? decodePng(*bytes, PngPixels::Checked) : decodeDib(*bytes);
            if (!checked)
                return DecodedImage{checked.failure(), 0, 0};
            return DecodedImage{RgbaImage(), shape.width, shape.height};
        }
        Result<RgbaImage> image = decodeIconImage(*bytes);
        if (!image)
            return DecodedImage{image.failure(), 0, 0};
        const int width = image->width, height = image->height;
        return DecodedImage{fittedToSquare(*image, kIconSide), width, height};
    };
    for (const Ranked& r : ranked) {
        const ByteRange& data = group.images[r.index].data;
        DecodedImage decoded{fail(ReadError::NoUsableImage), 0, 0};
        if (cache) {
            auto key = std::make_pair(data.base(), data.size());
            auto found = cache->find(key);
            if (found == cache->end())
                found = cache->emplace(key, decodeOne(data, r.shape)).first;
            decoded = found->second;
        } else {
            decoded = decodeOne(data, r.shape);
        }
        if (!decoded.icon && decoded.icon.failure().error == ReadError::TooMuchWork)
            return decoded.icon.failure();
        if (!decoded.icon) {
            lastFailure = decoded.icon.failure();
            continue;
        }
        return ChosenImage{*decoded.icon, r.index, decoded.sourceWidth, decoded.sourceHeight};
    }
    return lastFailure;
}

} // namespace gg
