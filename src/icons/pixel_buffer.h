#pragma once
// Pixel buffers and memory device contexts: the stand-in for the graphics objects the icon
// writer draws with. Plain C++, no toolkit, so the writer can be tested and fuzzed headless.
//
// Building a picture for the writer from a QImage (or any RGB array):
//   QImage img = ...convertToFormat(QImage::Format_RGB32);
//   gg::Bitmap pic = gg::Bitmap::fromRgb32(reinterpret_cast<const std::uint32_t*>(img.constBits()),
//                                          img.width(), img.height(), img.bytesPerLine() / 4);
// or pixel by pixel: gg::Bitmap pic(32, 32); pic.setPixel(x, y, r, g, b);

#include <array>
#include <cassert>
#include <cstdint>
#include <memory>
#include <vector>

namespace gg {

// A colour value: low byte red, then green, then blue, high byte 0.
using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(int r, int g, int b)
{
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(ColorRef c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

inline constexpr ColorRef kBlack = Rgb(0, 0, 0);
inline constexpr ColorRef kWhite = Rgb(255, 255, 255);

// A picture of width x height pixels, either 24-bit colour or monochrome (1 bit per pixel).
// Stored top row first; a colour pixel holds its ColorRef, a monochrome pixel 0 or 1.
// New bitmaps are all zero (black).
class Bitmap {
public:
    Bitmap() = default;
    // bitsPerPixel is 24 or 1; anything else, or a negative size, throws std::invalid_argument.
    Bitmap(int width, int height, int bitsPerPixel = 24);

    // A 24-bit bitmap from 0xAARRGGBB values (QImage::Format_RGB32/ARGB32 order), top row
    // first; alpha is ignored. strideInPixels 0 means rows are packed (stride = width).
    static Bitmap fromRgb32(const std::uint32_t* pixels, int width, int height, int strideInPixels = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    bool isMonochrome() const { return bitsPerPixel_ == 1; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Unchecked beyond an assertion: callers stay inside width x height.
    ColorRef pixel(int x, int y) const { return pixels_[index(x, y)]; }
    void setPixel(int x, int y, ColorRef value) { pixels_[index(x, y)] = value & valueMask(); }
    void setPixel(int x, int y, int r, int g, int b) { setPixel(x, y, Rgb(r, g, b)); }

    // Row y, width() pixels left to right, for loops over whole rows. Values written through it
    // must stay within valueMask().
    ColorRef* row(int y) { return pixels_.data() + rowStart(y); }
    const ColorRef* row(int y) const { return pixels_.data() + rowStart(y); }

    // What one pixel holds at most: 0xFFFFFF for colour, 1 for monochrome.
    ColorRef valueMask() const { return isMonochrome() ? 1u : 0xFFFFFFu; }

    bool operator==(const Bitmap&) const = default;

private:
    std::size_t rowStart(int y) const
    {
        assert(y >= 0 && y < height_);
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    }
    std::size_t index(int x, int y) const
    {
        assert(contains(x, y));
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 24;
    std::vector<ColorRef> pixels_;
};

// A memory device context: one selected bitmap plus the text and background colours that
// colour/monochrome copies use. A fresh context holds its own 1 x 1 monochrome bitmap, text
// colour black and background white. It never owns a selected bitmap; the caller keeps it alive.
class DeviceContext {
public:
    DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Selects a bitmap and returns the one selected before; nullptr (failure) for a null bitmap.
    Bitmap* SelectObject(Bitmap* bitmap);
    Bitmap* bitmap() const { return selected_; }

    // Both return the previous colour.
    ColorRef SetBkColor(ColorRef colour);
    ColorRef SetTextColor(ColorRef colour);
    ColorRef bkColor() const { return bkColour_; }
    ColorRef textColor() const { return textColour_; }

private:
    Bitmap stock_{1, 1, 1};
    Bitmap* selected_ = &stock_;
    ColorRef bkColour_ = kWhite;
    ColorRef textColour_ = kBlack;
};

// One colour-table entry as it is stored in a file: blue, green, red, reserved.
struct RgbQuad {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;

    bool operator==(const RgbQuad&) const = default;
};

// The 40-byte bitmap-information header, field for field.
struct BitmapInfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0; // positive: bottom row first
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};
inline constexpr std::size_t kBitmapInfoHeaderBytes = 40;

// A header followed by room for the largest colour table.
struct BitmapInfo {
    BitmapInfoHeader header;
    std::array<RgbQuad, 256> colours{};
};

// Creating the objects, as the graphics calls do. Each returns nullptr where the call fails.

// A memory context; "compatible with" is accepted for the shape of the calls but changes nothing.
std::unique_ptr<DeviceContext> CreateCompatibleDC(const DeviceContext* like);

// A 24-bit colour bitmap of the header's width and height, all black. Needs size 40, planes 1,
// 24 bits, no compression and a positive width and nonzero height.
std::unique_ptr<Bitmap> CreateDIBSection(const BitmapInfoHeader& header);

// A monochrome bitmap (1 plane, 1 bit per pixel), all 0. Other shapes are refused.
std::unique_ptr<Bitmap> CreateBitmap(int width, int height, int planes, int bitsPerPixel);

} // namespace gg
