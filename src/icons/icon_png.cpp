#include "icons/icon_png.h"

#include "icons/c_libraries.h"
#include "icons/icon_image.h"
#include "icons/packed_pixels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include <sys/mman.h>

// Inflating is most of the cost of a PNG icon. libdeflate inflates a whole buffer several
// times faster than zlib's streaming inflate that the toolkit's reader goes through, which
// is why the chunks, filters and pixel formats are handled here.

namespace gg {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// A chunk: u32 big-endian data length, 4-byte type, the data, u32 CRC of type and data.
constexpr std::uint64_t kChunkHeader = 8;
constexpr std::uint64_t kChunkOverhead = 12;
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;

// IHDR data.
namespace ihdr {
constexpr std::uint64_t kWidth = 0;       // u32 big-endian
constexpr std::uint64_t kHeight = 4;      // u32 big-endian
constexpr std::uint64_t kBitDepth = 8;    // u8
constexpr std::uint64_t kColorType = 9;   // u8
constexpr std::uint64_t kCompression = 10; // u8, 0
constexpr std::uint64_t kFilter = 11;     // u8, 0
constexpr std::uint64_t kInterlace = 12;  // u8, 0 none, 1 Adam7
constexpr std::uint64_t kSize = 13;
} // namespace ihdr

enum ColorType : int { Gray = 0, Rgb = 2, Palette = 3, GrayAlpha = 4, Rgba = 6 };

struct Header {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int channels = 0;
    bool interlaced = false;
};

bool validDepth(int colorType, int bitDepth)
{
    switch (colorType) {
    case Gray: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case Palette: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case Rgb: case GrayAlpha: case Rgba: return bitDepth == 8 || bitDepth == 16;
    default: return false;
    }
}

int channelsOf(int colorType)
{
    switch (colorType) {
    case Rgb: return 3;
    case GrayAlpha: return 2;
    case Rgba: return 4;
    default: return 1;
    }
}

// What tRNS says is transparent: palette alphas, or the one grey or RGB value that is.
struct Transparency {
    std::array<std::uint8_t, 256> paletteAlpha;
    bool hasKey = false;
    std::array<std::uint32_t, 3> key{}; // samples at the image's bit depth
    Transparency() { paletteAlpha.fill(0xFF); }
};

// The first outSize bytes of a stream that holds more, inflated as a stream: what follows
// them is not inflated, so neither its amount nor its checksum matters.
bool inflateFirstBytes(std::span<const std::uint8_t> in, std::uint8_t* out, std::size_t outSize)
{
    const Zlib& library = zlib();
    z_stream stream{};
    if (library.startStream(&stream, ZLIB_VERSION, static_cast<int>(sizeof stream)) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(in.data()); // zlib's interface; it only reads them
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(outSize);
    int status = Z_OK;
    while (status == Z_OK && stream.avail_out != 0)
        status = library.inflateStream(&stream, Z_SYNC_FLUSH);
    const bool filled = stream.avail_out == 0 && (status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR);
    library.endStream(&stream);
    return filled;
}

// The image's filtered rows: the first outSize bytes of the stream. Some encoders write more
// (spare rows, trailing bytes); the toolkit's and other readers take those images, and so do we,
// using what the image needs. A stream that ends before it, or is damaged, fails.
// Inflation through one decompressor per thread; readers on several threads stay apart.
bool inflateZlib(std::span<const std::uint8_t> in, std::uint8_t* out, std::size_t outSize)
{
    const Libdeflate& library = libdeflate();
    struct Free {
        void operator()(libdeflate_decompressor* d) const { libdeflate().freeDecompressor(d); }
    };
    thread_local std::unique_ptr<libdeflate_decompressor, Free> decompressor(library.allocDecompressor());
    if (!decompressor)
        return false;
    std::size_t produced = 0;
    switch (library.zlibDecompress(decompressor.get(), in.data(), in.size(), out, outSize, &produced)) {
    case LIBDEFLATE_SUCCESS: return produced == outSize;
    // libdeflate inflates whole buffers only, and keeps nothing of one that overflows.
    case LIBDEFLATE_INSUFFICIENT_SPACE: return inflateFirstBytes(in, out, outSize);
    default: return false;
    }
}

// Room for an image's filtered rows. A large one is mapped with its pages in one call: a 256 x 256
// image's quarter megabyte would otherwise be faulted in a page at a time as the inflater writes it,
// which costs more than the inflating where page faults are dear (virtual machines). Each thread keeps
// its pages of up to a megabyte for the next image, so a run over many files maps them once; a thread
// decodes one image at a time, so they are never lent twice.
class RowBuffer {
public:
    explicit RowBuffer(std::size_t size)
    {
        if (size > kKeptAtMost) {
            own_ = Pages(size);
            bytes_ = own_.bytes;
        } else if (size >= kMappedFrom) {
            if (kept.size < size)
                kept = Pages(size);
            bytes_ = kept.bytes;
        }
        if (!bytes_) { // small, or the pages could not be mapped
            heap_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            bytes_ = heap_.get();
        }
    }
    RowBuffer(const RowBuffer&) = delete;
    RowBuffer& operator=(const RowBuffer&) = delete;
    std::uint8_t* get() const { return bytes_; }

private:
    struct Pages {
        std::uint8_t* bytes = nullptr;
        std::size_t size = 0;
        Pages() = default;
        explicit Pages(std::size_t wanted)
        {
            void* mapped = ::mmap(nullptr, wanted, PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
            if (mapped != MAP_FAILED) {
                bytes = static_cast<std::uint8_t*>(mapped);
                size = wanted;
            }
        }
        Pages(Pages&& other) noexcept : bytes(std::exchange(other.bytes, nullptr)), size(std::exchange(other.size, 0)) {}
        Pages& operator=(Pages&& other) noexcept
        {
            std::swap(bytes, other.bytes);
            std::swap(size, other.size);
            return *this;
        }
        ~Pages()
        {
            if (bytes)
                ::munmap(bytes, size);
        }
    };
    // Below this the C library's heap serves as well; above the second, pages are not kept.
    static constexpr std::size_t kMappedFrom = 128 * 1024;
    static constexpr std::size_t kKeptAtMost = 1024 * 1024;
    static thread_local Pages kept;

    Pages own_;
    std::unique_ptr<std::uint8_t[]> heap_;
    std::uint8_t* bytes_ = nullptr;
};

thread_local RowBuffer::Pages RowBuffer::kept;

std::uint8_t paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<std::uint8_t>(a);
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Undoes the filter of one row in place; `previous` is the row above, unfiltered (zeros
// above the first row). `bpp` is the bytes per whole pixel, at least 1.
bool unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous, std::size_t length, std::size_t bpp)
{
    switch (filter) {
    case 0: return true;
    case 1: // Sub
        for (std::size_t i = bpp; i < length; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
        return true;
    case 2: // Up
        for (std::size_t i = 0; i < length; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + previous[i]);
        return true;
    case 3: // Average
        for (std::size_t i = 0; i < length; ++i) {
            const int left = i >= bpp ? row[i - bpp] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + ((left + previous[i]) >> 1));
        }
        return true;
    case 4: // Paeth
        for (std::size_t i = 0; i < length; ++i) {
            const int left = i >= bpp ? row[i - bpp] : 0;
            const int upLeft = i >= bpp ? previous[i - bpp] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + paeth(left, previous[i], upLeft));
        }
        return true;
    default: return false;
    }
}

// Sample `i` of a row of samples `bitDepth` bits wide, most significant bits first.
std::uint32_t sample(const std::uint8_t* row, std::size_t i, int bitDepth)
{
    switch (bitDepth) {
    case 16: return (std::uint32_t{row[2 * i]} << 8) | row[2 * i + 1];
    case 8: return row[i];
    default: {
        const std::size_t bit = i * static_cast<std::size_t>(bitDepth);
        const int shift = 8 - bitDepth - static_cast<int>(bit % 8);
        return (row[bit / 8] >> shift) & ((1u << bitDepth) - 1);
    }
    }
}

// A sample widened or narrowed to 8 bits.
std::uint32_t to8(std::uint32_t value, int bitDepth)
{
    if (bitDepth == 8)
        return value;
    if (bitDepth == 16)
        return (value * 255 + 32767) / 65535;
    return value * 255 / ((1u << bitDepth) - 1);
}

// One unfiltered row of `count` pixels to RGBA, pixel i going to out[i * step].
void convertRow(const Header& h, const std::uint8_t* row, std::size_t count, const std::array<PackedPixel, 256>& palette,
                const Transparency& trns, PackedPixel* out, std::size_t step)
{
    const int depth = h.bitDepth;
    if (h.colorType == Rgba && depth == 8 && step == 1) {
        std::memcpy(out, row, count * 4); // the usual PNG icon: already our byte order
        return;
    }
    const std::size_t n = static_cast<std::size_t>(h.channels);
    for (std::size_t i = 0; i < count; ++i) {
        PackedPixel px = 0;
        switch (h.colorType) {
        case Gray: {
            const std::uint32_t v = sample(row, i, depth), g = to8(v, depth);
            const bool clear = trns.hasKey && v == trns.key[0];
            px = packRgba(g, g, g, clear ? 0 : 255);
            break;
        }
        case Rgb: {
            const std::uint32_t r = sample(row, i * 3, depth), g = sample(row, i * 3 + 1, depth),
                                b = sample(row, i * 3 + 2, depth);
            const bool clear = trns.hasKey && r == trns.key[0] && g == trns.key[1] && b == trns.key[2];
            px = packRgba(to8(r, depth), to8(g, depth), to8(b, depth), clear ? 0 : 255);
            break;
        }
        case Palette: px = palette[sample(row, i, depth)]; break;
        case GrayAlpha: {
            const std::uint32_t g = to8(sample(row, i * 2, depth), depth);
            px = packRgba(g, g, g, to8(sample(row, i * 2 + 1, depth), depth));
            break;
        }
        case Rgba:
            px = packRgba(to8(sample(row, i * n, depth), depth), to8(sample(row, i * n + 1, depth), depth),
                          to8(sample(row, i * n + 2, depth), depth), to8(sample(row, i * n + 3, depth), depth));
            break;
        }
        out[i * step] = px;
    }
}

std::size_t rowBytes(const Header& h, std::size_t pixels)
{
    return (pixels * static_cast<std::size_t>(h.channels * h.bitDepth) + 7) / 8;
}

// The seven passes of Adam7: first column and row, then the steps between them.
struct Pass {
    int x, y, dx, dy;
};
constexpr std::array<Pass, 7> kAdam7{{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

struct PassSize {
    std::size_t width = 0;
    std::size_t height = 0;
};

PassSize passSize(const Header& h, const Pass& p)
{
    PassSize s;
    if (h.width > p.x)
        s.width = static_cast<std::size_t>((h.width - p.x + p.dx - 1) / p.dx);
    if (h.height > p.y)
        s.height = static_cast<std::size_t>((h.height - p.y + p.dy - 1) / p.dy);
    return s;
}

} // namespace

namespace {

// What the chunks before the image data say, and where that data lies.
struct PngChunks {
    Header header;
    std::array<PackedPixel, 256> palette;
    std::size_t paletteSize = 0;
    Transparency trns;
    std::vector<ByteReader> idat;
    std::uint64_t idatBytes = 0;
};

Result<Header> readHeaderChunk(const ByteReader& body, std::uint32_t length)
{
    if (length != ihdr::kSize)
        return fail(ReadError::BadPng, body.base());
    const std::uint32_t width = body.u32be(ihdr::kWidth), height = body.u32be(ihdr::kHeight);
    if (width == 0 || height == 0)
        return fail(ReadError::BadPng, body.base());
    if (width > kMaxIconSide || height > kMaxIconSide)
        return fail(ReadError::ImageTooLarge, body.base());
    Header h;
    h.width = static_cast<int>(width);
    h.height = static_cast<int>(height);
    h.bitDepth = body.u8(ihdr::kBitDepth);
    h.colorType = body.u8(ihdr::kColorType);
    const int interlace = body.u8(ihdr::kInterlace);
    if (!validDepth(h.colorType, h.bitDepth) || body.u8(ihdr::kCompression) != 0 ||
        body.u8(ihdr::kFilter) != 0 || interlace > 1)
        return fail(ReadError::BadPng, body.base());
    h.channels = channelsOf(h.colorType);
    h.interlaced = interlace == 1;
    return h;
}

// One chunk after IHDR: the palette, the transparency, or a part of the image data.
Result<bool> readOtherChunk(const ByteReader& chunk, const ByteReader& body, std::uint32_t length, bool intact,
                            PngChunks& png)
{
    const Header& h = png.header;
    if (chunk.startsWith(0, "PLTE", 4)) {
        if (length % 3 != 0 || length / 3 > 256 || length == 0)
            return fail(ReadError::BadPng, body.base());
        png.paletteSize = length / 3;
        for (std::size_t i = 0; i < png.paletteSize; ++i)
            png.palette[i] = packRgba(body.u8(i * 3), body.u8(i * 3 + 1), body.u8(i * 3 + 2));
    } else if (chunk.startsWith(0, "tRNS", 4) && intact) {
        if (h.colorType == Palette) {
            for (std::size_t i = 0; i < length && i < 256; ++i)
                png.trns.paletteAlpha[i] = body.u8(i);
        } else if ((h.colorType == Gray && length >= 2) || (h.colorType == Rgb && length >= 6)) {
            png.trns.hasKey = true;
            for (std::size_t c = 0; c < (h.colorType == Rgb ? 3u : 1u); ++c)
                png.trns.key[c] = body.u16be(c * 2);
        }
    } else if (chunk.startsWith(0, "IDAT", 4)) {
        png.idat.push_back(body);
        png.idatBytes += length;
    } else if (chunk.startsWith(0, "IEND", 4)) {
        return false;
    }
    return true;
}

Result<PngChunks> readChunks(const ByteReader& data)
{
    PngChunks png;
    png.palette.fill(packRgba(0, 0, 0));
    bool seenHeader = false;
    for (std::uint64_t at = kSignature.size(); data.has(at, kChunkOverhead);) {
        const std::uint32_t length = data.u32be(at);
        if (length > kMaxChunkLength)
            return fail(ReadError::BadPng, data.base() + at);
        Result<ByteReader> chunk = data.slice(at + 4, 4 + std::uint64_t{length}); // type and data
        if (!chunk)
            return fail(ReadError::BadPng, data.base() + at);
        const std::uint64_t crcAt = at + kChunkHeader + length;
        const bool intact = data.has(crcAt, 4) &&
                            libdeflate().crc32(0, chunk->bytes().data(), chunk->bytes().size()) == data.u32be(crcAt);
        const bool critical = (chunk->u8(0) & 0x20) == 0;
        if (!intact && critical)
            return fail(ReadError::BadPng, data.base() + at);
        const ByteReader body = chunk->clipped(4, length);
        at = crcAt + 4;

        if (chunk->startsWith(0, "IHDR", 4)) {
            if (seenHeader)
                return fail(ReadError::BadPng, body.base());
            Result<Header> header = readHeaderChunk(body, length);
            if (!header)
                return header.failure();
            png.header = *header;
            seenHeader = true;
        } else if (!seenHeader) {
            return fail(ReadError::BadPng, body.base()); // IHDR comes first
        } else {
            Result<bool> goOn = readOtherChunk(*chunk, body, length, intact, png);
            if (!goOn)
                return goOn.failure();
            if (!*goOn)
                break;
        }
    }
    if (!seenHeader || png.idat.empty() || (png.header.colorType == Palette && png.paletteSize == 0))
        return fail(ReadError::BadPng, data.base());
    if (png.header.colorType == Palette)
        for (std::size_t i = 0; i < 256; ++i)
            png.palette[i] = (png.palette[i] & ~kOpaque) | (PackedPixel{png.trns.paletteAlpha[i]} << 24);
    return png;
}

// The filtered rows, each led by its filter type byte; passes follow one another.
std::size_t filteredSize(const Header& h)
{
    if (!h.interlaced)
        return static_cast<std::size_t>(h.height) * (1 + rowBytes(h, static_cast<std::size_t>(h.width)));
    std::size_t rawSize = 0;
    for (const Pass& p : kAdam7) {
        const PassSize s = passSize(h, p);
        if (s.width != 0)
            rawSize += s.height * (1 + rowBytes(h, s.width));
    }
    return rawSize;
}

} // namespace

Result<RgbaImage> decodePngStream(const ByteReader& data, PngPixels pixels)
{
    if (!data.startsWith(0, kSignature))
        return fail(ReadError::BadPng, data.base());
    Result<PngChunks> chunks = readChunks(data);
    if (!chunks)
        return chunks.failure();
    const PngChunks& png = *chunks;
    const Header& h = png.header;

    const std::size_t rawSize = filteredSize(h);
    std::span<const std::uint8_t> compressed = png.idat.front().bytes();
    std::vector<std::uint8_t> joined;
    if (png.idat.size() > 1) {
        joined.reserve(png.idatBytes);
        for (const ByteReader& part : png.idat)
            joined.insert(joined.end(), part.bytes().begin(), part.bytes().end());
        compressed = joined;
    }
    const RowBuffer raw(rawSize);
    if (!inflateZlib(compressed, raw.get(), rawSize))
        return fail(ReadError::BadPng, png.idat.front().base());

    const bool make = pixels == PngPixels::Made;
    RgbaImage image = make ? RgbaImage(h.width, h.height) : RgbaImage();
    const std::size_t bpp = std::max<std::size_t>(1, static_cast<std::size_t>(h.channels * h.bitDepth) / 8);
    std::uint8_t* at = raw.get();
    auto decodePass = [&](const Pass& p, const PassSize& s) {
        const std::size_t length = rowBytes(h, s.width);
        const std::vector<std::uint8_t> zeros(length, 0);
        const std::uint8_t* previous = zeros.data();
        for (std::size_t y = 0; y < s.height; ++y) {
            const std::uint8_t filter = *at;
            std::uint8_t* row = at + 1;
            // A row's filter is the only thing about it that can be wrong.
            if (!make && filter > 4)
                return false;
            if (!make) {
                at += 1 + length;
                continue;
            }
            if (!unfilter(filter, row, previous, length, bpp))
                return false;
            PackedPixel* out = packedRow(image, p.y + static_cast<int>(y) * p.dy) + p.x;
            convertRow(h, row, s.width, png.palette, png.trns, out, static_cast<std::size_t>(p.dx));
            previous = row;
            at += 1 + length;
        }
        return true;
    };
    if (!h.interlaced) {
        const Pass whole{0, 0, 1, 1};
        if (!decodePass(whole, PassSize{static_cast<std::size_t>(h.width), static_cast<std::size_t>(h.height)}))
            return fail(ReadError::BadPng, data.base());
        return image;
    }
    for (const Pass& p : kAdam7) {
        const PassSize s = passSize(h, p);
        if (s.width != 0 && s.height != 0 && !decodePass(p, s))
            return fail(ReadError::BadPng, data.base());
    }
    return image;
}

} // namespace gg
