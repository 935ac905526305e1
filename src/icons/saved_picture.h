#pragma once
// The picture the save commands write for a gallery icon.

#include "icons/ico_encoder.h"
#include "icons/rgba_image.h"

namespace gg {

// The icon's top-left 32 x 32 pixels drawn over the key colour: what is transparent in the icon
// comes out transparent, what is translucent is blended with the key colour and comes out opaque.
IconPicture savedPicture(const RgbaImage& galleryImage);

} // namespace gg
