// The icon library's groups: each icon's images, its group rebuilt as an .ico and read back, and
// its picture at several sizes.
#include "icons/icon_extractor.h"
#include "icons/icon_formats.h"
#include "icons/icon_groups.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gg::IconSource source = gg::IconSource::fromBytes(std::vector<std::uint8_t>(data, data + size));
    const int count = source.count();
    for (int i = 0; i <= count; ++i) {
        const gg::IconGroup* group = source.group(i);
        if ((group == nullptr) != (i == count))
            std::abort(); // a group for every icon, and none past them
        if (group == nullptr)
            break;
        gg::describeImages(*group);
        gg::Result<std::vector<std::uint8_t>> file = gg::rebuildIconFile(*group);
        if (!file)
            std::abort(); // small inputs stay far below the size limit
        gg::MemorySource rebuilt(*file);
        const gg::ParsedFile again = gg::parseIconContainer(gg::ByteRange(rebuilt));
        if (again.groups.size() != 1 || again.groups[0].images.images.size() != group->images.size())
            std::abort(); // the rebuilt file holds the group's images
        for (int side : {1, 16, 48, 256}) {
            gg::Result<gg::RgbaImage> picture = gg::pictureAt(*group, side);
            // The group gave the gallery an image, so it gives a picture at every size, unless
            // the file has spent the work it may cost.
            if (!picture && picture.failure().error == gg::ReadError::TooMuchWork && source.refusedRest())
                continue;
            if (!picture || picture->width != side || picture->height != side)
                std::abort();
        }
    }
    return 0;
}
