#include "icons/saved_picture.h"

#include "icons/colour_blend.h"

#include <algorithm>

namespace gg {

IconPicture savedPicture(const RgbaImage& galleryImage)
{
    IconPicture picture;
    picture.pixels.fill(kKeyColour);
    for (int y = 0; y < std::min(kIcoSide, galleryImage.height); ++y)
        for (int x = 0; x < std::min(kIcoSide, galleryImage.width); ++x)
            picture.set(x, y, overOpaque(galleryImage.at(x, y), kKeyColour));
    return picture;
}

} // namespace gg
