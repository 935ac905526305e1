// Bringing an icon image to another size.
#pragma once

#include "icons/rgba_image.h"

namespace gg {

// The image at width x height (a side below 1 counts as 1). Each direction on its own: fewer
// pixels average the area each new pixel covers; a whole multiple repeats each pixel; any other
// enlargement interpolates linearly between the centres of the old pixels. Colours are weighted
// by their alpha, so a transparent pixel lends none of its colour to its neighbours.
RgbaImage scaled(const RgbaImage& image, int width, int height);

// The image made side x side, keeping its proportions: first enlarged by the largest whole factor
// that fits, so that pixel art stays crisp, then scaled the rest of the way; one that is not square
// ends up centred on transparency. An image already side x side comes back unchanged.
RgbaImage fittedToSquare(const RgbaImage& image, int side);

} // namespace gg
