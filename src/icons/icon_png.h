// PNG streams inside icons (the 256 x 256 images of today's icons are stored as PNG).
#pragma once

#include "icons/byte_reader.h"

#include "icons/rgba_image.h"

namespace gg {

// The image at its own size. Every colour type, bit depth and interlacing;
// chunk checksums and the stream's checksum are checked, ancillary chunks other than tRNS are
// passed over (colours are taken as stored, like the toolkit's own reader does by default).
// Checked: every check of a decode, but no pixels made; a null image when the stream is whole.
enum class PngPixels { Made, Checked };
Result<RgbaImage> decodePngStream(const ByteReader& data, PngPixels pixels = PngPixels::Made);

} // namespace gg
