// One image on its own: the DIB and PNG decoders, with the group choice over a single image. A PNG
// that libspng decodes too must give the same pixels.
#include "icons/icon_image.h"

#include <spng.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// libspng's pixels for the stream, or nothing where it refuses it.
std::vector<std::uint8_t> bySpng(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> out;
    spng_ctx* context = spng_ctx_new(0);
    std::size_t length = 0;
    spng_ihdr header{};
    if (spng_set_png_buffer(context, data, size) == 0 && spng_get_ihdr(context, &header) == 0 &&
        header.width <= gg::kMaxIconSide && header.height <= gg::kMaxIconSide &&
        spng_decoded_image_size(context, SPNG_FMT_RGBA8, &length) == 0) {
        out.resize(length);
        if (spng_decode_image(context, out.data(), length, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
            out.clear();
    }
    spng_ctx_free(context);
    return out;
}

// Equal but where both are clear, and a step apart where 16-bit samples were rounded rather
// than cut to 8 bits.
bool samePixels(const gg::RgbaImage& ours, const std::vector<std::uint8_t>& theirs, int tolerance)
{
    if (theirs.size() != ours.pixels.size())
        return false;
    for (std::size_t i = 0; i < theirs.size(); i += 4) {
        if (ours.pixels[i + 3] == 0 && theirs[i + 3] == 0)
            continue;
        for (std::size_t c = 0; c < 4; ++c)
            if (std::abs(ours.pixels[i + c] - theirs[i + c]) > tolerance)
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gg::ByteReader bytes(std::span(data, size));
    gg::Result<gg::ImageShape> shape = gg::peekImageShape(bytes);
    gg::Result<gg::RgbaImage> image = gg::decodeIconImage(bytes);
    if (image && shape && (image->width != shape->width || image->height != shape->height))
        std::abort(); // the header's size must be the decoded size
    if (image && shape && shape->png) {
        const std::vector<std::uint8_t> theirs = bySpng(data, size);
        const bool sixteenBits = size > 24 && data[24] == 16;
        if (!theirs.empty() && !samePixels(*image, theirs, sixteenBits ? 1 : 0))
            std::abort(); // both decoders took the stream: the same picture
    }
    gg::MemorySource source(std::span(data, size));
    gg::IconGroup group;
    group.images.push_back(gg::ImageCandidate{gg::ByteRange(source), 0, 0});
    gg::Result<gg::ChosenImage> chosen = gg::decodeGroup(group);
    if (chosen && (chosen->image.width != 32 || chosen->image.height != 32))
        std::abort();
    return 0;
}
