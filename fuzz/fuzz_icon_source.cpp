// The whole reader: bytes in, every icon's pixels out.
#include "icons/icon_extractor.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gg::IconSource source = gg::IconSource::fromBytes(std::vector<std::uint8_t>(data, data + size));
    const int count = source.count();
    for (int i = 0; i <= count; ++i) {
        const gg::RgbaImage icon = source.icon(i);
        if (i < count && (icon.width != 32 || icon.height != 32))
            std::abort(); // every counted icon must be a 32 x 32 image
        if (i == count && !icon.isNull())
            std::abort();
    }
    return 0;
}
