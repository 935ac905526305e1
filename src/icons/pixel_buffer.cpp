#include "icons/pixel_buffer.h"

#include <cassert>
#include <cstdint>
#include <stdexcept>

namespace gg {

Bitmap::Bitmap(int width, int height, int bitsPerPixel)
    : width_(width), height_(height), bitsPerPixel_(bitsPerPixel)
{
    if (width < 0 || height < 0 || (bitsPerPixel != 1 && bitsPerPixel != 24))
        throw std::invalid_argument("Invalid bitmap size or depth");
    // Pictures here are icon sized; refuse sizes whose pixel count would overflow.
    if (width > 0 && height > (1 << 28) / width)
        throw std::invalid_argument("Bitmap too large");
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
}

Bitmap Bitmap::fromRgb32(const std::uint32_t* pixels, int width, int height, int strideInPixels)
{
    Bitmap bitmap(width, height, 24);
    const int stride = strideInPixels > 0 ? strideInPixels : width;
    if (pixels == nullptr || stride < width)
        throw std::invalid_argument("Invalid pixel array");
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        ColorRef* to = bitmap.row(y);
        for (int x = 0; x < width; ++x) {
            // 0xAARRGGBB to red in the low byte.
            const std::uint32_t argb = from[x];
            to[x] = ((argb >> 16) & 0xFFu) | (argb & 0xFF00u) | ((argb & 0xFFu) << 16);
        }
    }
    return bitmap;
}

DeviceContext::DeviceContext() = default;

Bitmap* DeviceContext::SelectObject(Bitmap* bitmap)
{
    if (bitmap == nullptr)
        return nullptr;
    Bitmap* previous = selected_;
    selected_ = bitmap;
    return previous;
}

ColorRef DeviceContext::SetBkColor(ColorRef colour)
{
    const ColorRef previous = bkColour_;
    bkColour_ = colour & 0xFFFFFF;
    return previous;
}

ColorRef DeviceContext::SetTextColor(ColorRef colour)
{
    const ColorRef previous = textColour_;
    textColour_ = colour & 0xFFFFFF;
    return previous;
}

std::unique_ptr<DeviceContext> CreateCompatibleDC(const DeviceContext* /*like*/)
{
    return std::make_unique<DeviceContext>();
}

std::unique_ptr<Bitmap> CreateDIBSection(const BitmapInfoHeader& header)
{
    if (header.size != kBitmapInfoHeaderBytes || header.planes != 1 || header.bitCount != 24 || header.compression != 0
        || header.width <= 0 || header.height == 0 || header.height == INT32_MIN)
        return nullptr;
    const int height = header.height < 0 ? -header.height : header.height;
    if (header.width > 4096 || height > 4096)
        return nullptr;
    return std::make_unique<Bitmap>(header.width, height, 24);
}

std::unique_ptr<Bitmap> CreateBitmap(int width, int height, int planes, int bitsPerPixel)
{
    if (planes != 1 || bitsPerPixel != 1 || width < 0 || height < 0 || width > 4096 || height > 4096)
        return nullptr;
    return std::make_unique<Bitmap>(width, height, 1);
}

} // namespace gg
