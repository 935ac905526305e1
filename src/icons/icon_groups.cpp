#include "icons/icon_groups.h"

#include "icons/image_scaling.h"

#include <algorithm>
#include <cstring>

namespace gg {
namespace {

// ICONDIR and its entries as an icon file stores them.
namespace icondir {
constexpr std::uint64_t kSize = 6;           // u16 reserved, u16 type, u16 count
constexpr std::uint64_t kEntrySize = 16;
constexpr std::size_t kEntryCopied = 8;      // width, height, colours, reserved, u16 planes, u16 bit count
} // namespace icondir

void put16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    put16(out, value & 0xFFFFu);
    put16(out, value >> 16);
}

// Enough of an image for its header: a DIB's BITMAPV5HEADER, or a PNG's signature and IHDR.
constexpr std::uint64_t kImageHeadBytes = 256;

Result<ImageShape> shapeOf(const ByteRange& data)
{
    Result<ByteReader> head = data.slice(0, std::min(data.size(), kImageHeadBytes));
    if (!head)
        return head.failure();
    return peekImageShape(*head);
}

} // namespace

std::vector<IconImageInfo> describeImages(const IconGroup& group)
{
    std::vector<IconImageInfo> images;
    images.reserve(group.images.size());
    for (const ImageCandidate& candidate : group.images) {
        IconImageInfo info;
        info.bytes = candidate.data.size();
        if (Result<ImageShape> shape = shapeOf(candidate.data)) {
            info.width = shape->width;
            info.height = shape->height;
            info.depth = shape->depth;
            info.png = shape->png;
        }
        images.push_back(info);
    }
    return images;
}

int largestSide(const IconGroup& group)
{
    int largest = 0;
    for (const IconImageInfo& image : describeImages(group))
        largest = std::max({largest, image.width, image.height});
    return largest;
}

Result<std::vector<std::uint8_t>> rebuildIconFile(const IconGroup& group)
{
    const std::size_t count = group.images.size();
    if (count == 0 || group.entries.size() != count || count > 0xFFFF)
        return fail(ReadError::BadIconDirectory);
    std::uint64_t total = icondir::kSize + icondir::kEntrySize * count;
    for (const ImageCandidate& image : group.images)
        total += image.data.size();
    if (total > kMaxRebuiltBytes)
        return fail(ReadError::ImageTooLarge);

    std::vector<std::uint8_t> file;
    file.reserve(static_cast<std::size_t>(total));
    put16(file, 0); // reserved
    put16(file, group.directoryType);
    put16(file, static_cast<std::uint32_t>(count));
    auto offset = static_cast<std::uint32_t>(icondir::kSize + icondir::kEntrySize * count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto& entry = group.entries[i];
        file.insert(file.end(), entry.begin(), entry.begin() + icondir::kEntryCopied);
        // The byte count is what follows, even where the group's entry claimed more than the file held.
        const auto size = static_cast<std::uint32_t>(group.images[i].data.size());
        put32(file, size);
        put32(file, offset);
        offset += size;
    }
    for (const ImageCandidate& image : group.images) {
        // A file that shrank since it was listed no longer holds the whole group.
        Result<ByteReader> bytes = image.data.slice(0, image.data.size());
        if (!bytes)
            return bytes.failure();
        file.insert(file.end(), bytes->bytes().begin(), bytes->bytes().end());
    }
    return file;
}

Result<RgbaImage> pictureAt(const IconGroup& group, int side)
{
    if (side < 1 || side > kMaxPictureSide)
        return fail(ReadError::ImageTooLarge);
    struct Ranked {
        std::size_t index;
        int tier;          // 0 the exact size, 1 larger, 2 the rest
        std::int64_t area; // smallest first; negated for the rest, so the largest of those comes first
        int depth;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(std::min(group.images.size(), kMaxImagesPerGroup));
    ReadFailure lastFailure = fail(ReadError::NoUsableImage);
    for (std::size_t i = 0; i < group.images.size() && i < kMaxImagesPerGroup; ++i) {
        Result<ImageShape> shape = shapeOf(group.images[i].data);
        if (!shape) {
            lastFailure = shape.failure();
            continue;
        }
        const int w = shape->width, h = shape->height;
        const int tier = w == side && h == side ? 0 : (w >= side && h >= side ? 1 : 2);
        const std::int64_t area = std::int64_t{w} * h;
        // Past 32 bits (16-bit PNG channels) nothing more shows on screen.
        ranked.push_back(Ranked{i, tier, tier == 2 ? -area : area, std::min(shape->depth, 32)});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.tier != b.tier)
            return a.tier < b.tier;
        if (a.area != b.area)
            return a.area < b.area;
        return a.depth > b.depth;
    });
    for (const Ranked& r : ranked) {
        const ByteRange& data = group.images[r.index].data;
        // Decoding the image, and drawing the picture from it.
        const std::uint64_t area = static_cast<std::uint64_t>(r.tier == 2 ? -r.area : r.area);
        if (!spendPixels(data, std::max(area, std::uint64_t(side) * std::uint64_t(side))))
            return fail(ReadError::TooMuchWork, data.base());
        Result<ByteReader> bytes = data.slice(0, std::min(data.size(), kMaxImageBytes));
        Result<RgbaImage> decoded = bytes ? decodeIconImage(*bytes) : Result<RgbaImage>(bytes.failure());
        if (!decoded) {
            lastFailure = decoded.failure();
            continue;
        }
        return fittedToSquare(*decoded, side);
    }
    return lastFailure;
}

} // namespace gg
