// An icon as glimmer-extract and the thumbnailer take it: its group's images as stored, the
// group rebuilt as an .ico file, and a picture of it at any size.
//
// A file's icons, in the gallery's order and count (damaged groups passed over), are
// IconSource::count() and IconSource::group(i); the functions here work on one such group.
#pragma once

#include "icons/byte_reader.h"
#include "icons/icon_image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace gg {

struct IconImageInfo {
    int width = 0; // 0 when the image's header cannot be read
    int height = 0;
    int depth = 0; // bits per pixel as the image declares them; a PNG's bit depth times its channels
    bool png = false;
    std::uint64_t bytes = 0; // how many the file holds for it
};

// The group's images in directory order.
std::vector<IconImageInfo> describeImages(const IconGroup& group);

// The longer side of the group's largest readable image; 0 when none can be read.
int largestSide(const IconGroup& group);

// A rebuilt group larger than this is refused: real ones stay far below it, while a hostile
// group can name one large image hundreds of times.
inline constexpr std::uint64_t kMaxRebuiltBytes = std::uint64_t{256} << 20;

// The group as a complete icon file (a cursor file for a cursor directory): the 6-byte header,
// one 16-byte entry per image that copies the group's entry (size, colours, planes or hot spot,
// bit count) and gives the image's byte count and its offset, each following the last, then the
// images' bytes unchanged, in group order.
Result<std::vector<std::uint8_t>> rebuildIconFile(const IconGroup& group);

inline constexpr int kMaxPictureSide = kMaxIconSide;

// The icon at side x side (1 to kMaxPictureSide). The image of exactly that size if there is one,
// of the best depth; else the smallest larger one, scaled down; else the largest, scaled up
// (fittedToSquare in image_scaling.h). An image that is not square keeps its proportions, centred
// on transparency. An image that cannot be decoded yields to the next best.
// TooMuchWork once the budget of the file the group lies in is spent.
Result<RgbaImage> pictureAt(const IconGroup& group, int side);

} // namespace gg
