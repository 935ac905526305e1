#include "icons/png_encoder.h"

#include "icons/c_libraries.h"

#include <cstdlib>
#include <memory>

namespace gg {

std::optional<std::vector<std::uint8_t>> encodePng(const RgbaImage& image, PngCompression compression)
{
    if (image.isNull())
        return std::nullopt;
    const Libspng& spng = libspng();
    const std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> context(spng.contextNew(SPNG_CTX_ENCODER), spng.contextFree);
    if (!context)
        return std::nullopt;
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(image.width);
    header.height = static_cast<std::uint32_t>(image.height);
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    // Fast: zlib's fastest level with a small window and table, and the rows left unfiltered:
    // trying every filter takes four fifths of the time at 256 x 256, and even one filter alone
    // (the row above) half of it, for files only a tenth or so smaller. A 16 KB window still reaches back
    // a dozen 256-pixel rows, so the repeated rows of icons enlarged by whole factors still cost
    // next to nothing.
    const bool fast = compression == PngCompression::Fast;
    if (fast && (spng.setOption(context.get(), SPNG_IMG_WINDOW_BITS, 14) != 0 ||
                 spng.setOption(context.get(), SPNG_IMG_MEM_LEVEL, 6) != 0))
        return std::nullopt;
    if (spng.setOption(context.get(), SPNG_ENCODE_TO_BUFFER, 1) != 0 || spng.setHeader(context.get(), &header) != 0 ||
        spng.setOption(context.get(), SPNG_IMG_COMPRESSION_LEVEL, fast ? 1 : 6) != 0 ||
        spng.setOption(context.get(), SPNG_FILTER_CHOICE, fast ? SPNG_FILTER_CHOICE_NONE : SPNG_FILTER_CHOICE_ALL) != 0 ||
        spng.encodeImage(context.get(), image.pixels.data(), image.pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
        return std::nullopt;
    std::size_t size = 0;
    int error = 0;
    const std::unique_ptr<void, void (*)(void*)> png(spng.pngBuffer(context.get(), &size, &error), std::free);
    if (!png || error != 0)
        return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(png.get());
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

} // namespace gg
