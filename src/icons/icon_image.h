// Icon images inside icon files and resources: which one a group offers, and its pixels.
#pragma once

#include "icons/byte_reader.h"

#include "icons/rgba_image.h"

#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace gg {

// Largest side we decode; real icons stop at 256 (1024 leaves room for odd large ones).
inline constexpr int kMaxIconSide = 1024;
// A group lists at most this many images we look at; real groups hold a dozen or two.
inline constexpr std::size_t kMaxImagesPerGroup = 512;
// The most bytes read for one image: a 1024 x 1024 32-bit DIB with its mask, its header and
// colours. A larger declared size is an overstatement (or a PNG no icon would carry).
inline constexpr std::uint64_t kMaxImageBytes = 1024u * 1024u * 4u + 1024u * 1024u / 8u + 4096u;

struct ImageCandidate {
    ByteRange data;     // the image's bytes: a DIB (header, colours, XOR, AND) or a PNG stream
    int hotX = 0;       // cursors only
    int hotY = 0;
};

// A group's resource name or number in a module; icon and cursor files have neither.
struct GroupIdentity {
    enum class Kind { None, Number, Name };
    Kind kind = Kind::None;
    std::uint32_t number = 0;
    std::u16string name; // as a PE module stores it; an NE module's 8-bit name widened byte by byte
};

// One icon: the images of an icon group, or of an icon or cursor file, in directory order.
struct IconGroup {
    std::vector<ImageCandidate> images;
    // --- What the icon library's groups need beyond the gallery (icon_groups.h) ---
    GroupIdentity identity;
    std::uint16_t directoryType = 1; // 1 icon, 2 cursor: cursor entries hold a hot spot
    // Each image's directory entry as stored, parallel to images: 14 bytes in a group resource
    // (ending in the icon's id), 16 in an icon or cursor file (ending in the image's offset).
    std::vector<std::array<std::uint8_t, 16>> entries;
    // ---
};

struct ImageShape {
    int width = 0;
    int height = 0;
    int depth = 0; // bits per pixel as the image itself declares them
    bool png = false;
};

Result<ImageShape> peekImageShape(const ByteReader& data);

// The image at its own size, transparency from alpha or the AND mask.
Result<RgbaImage> decodeIconImage(const ByteReader& data);

struct ChosenImage {
    RgbaImage image;   // 32 x 32
    std::size_t index; // which candidate gave it
    int sourceWidth;
    int sourceHeight;
};

// Decoded 32 x 32 images by where their bytes lie, for groups that share images.
struct DecodedImage {
    Result<RgbaImage> icon;
    int sourceWidth = 0;
    int sourceHeight = 0;
};
using DecodeCache = std::map<std::pair<std::uint64_t, std::uint64_t>, DecodedImage>;

// Asks the budget of the file the image lies in for `pixels` of work before it is decoded or
// drawn; false, and nothing spent, once that budget has run out.
bool spendPixels(const ByteRange& image, std::uint64_t pixels);

// Whether decodeGroup brings the chosen image to 32 x 32, or only decodes it to learn that it
// can be (and gives a null image); both spend the same work budget.
enum class Fit { ToIcon, DecodeOnly };

// Picks the best image of the group (see the rule in icon_image.cpp), decodes it and brings
// it to 32 x 32; when the best cannot be decoded the next best is tried. Reads the start of
// each image and the whole of the ones it decodes. TooMuchWork once the file's budget is spent.
// A cache is only ever used with one kind of fit.
Result<ChosenImage> decodeGroup(const IconGroup& group, DecodeCache* cache = nullptr, Fit fit = Fit::ToIcon);

} // namespace gg
