#include "icons/icon_theme.h"

#include "icons/icon_groups.h"
#include "icons/image_scaling.h"
#include "icons/png_encoder.h"

#include <algorithm>

namespace gg {
namespace {

constexpr int kSmallestSide = kThemeSides.front();
constexpr int kLargestSide = kThemeSides.back();
constexpr std::size_t kMaxNameBytes = 200;

// The largest theme size not above side; 0 below the smallest.
int themeSideFor(int side)
{
    int chosen = 0;
    for (const int s : kThemeSides)
        if (s <= side)
            chosen = s;
    return chosen;
}

struct Candidate {
    std::size_t index;
    int target;
    int side; // the longer side
    bool square;
    int depth;
};

// Best first: the least scaling (none for an image of the target's size), square before not,
// deeper, earlier.
bool better(const Candidate& a, const Candidate& b)
{
    if (a.side != b.side)
        return a.side < b.side;
    if (a.square != b.square)
        return a.square;
    return a.depth > b.depth;
}

// "The file holds no icons." -> "the file holds no icons"
std::string clause(ReadError error)
{
    std::string text = describeReadError(error);
    if (text.ends_with('.'))
        text.pop_back();
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

ThemeImages themeImages(const IconGroup& group)
{
    std::vector<Candidate> candidates;
    const std::vector<IconImageInfo> shapes = describeImages(group);
    for (std::size_t i = 0; i < shapes.size() && i < kMaxImagesPerGroup; ++i) {
        const IconImageInfo& shape = shapes[i];
        const int side = std::max(shape.width, shape.height);
        const int target = themeSideFor(std::min(side, kLargestSide));
        if (shape.width == 0 || target == 0)
            continue;
        const bool square = shape.width == shape.height;
        // Past 32 bits (16-bit PNG channels) nothing more shows on screen.
        candidates.push_back({i, target, side, square, std::min(shape.depth, 32)});
    }
    ThemeImages result;
    if (candidates.empty()) {
        result.problem = shapes.empty() ? "the icon has no images"
                                        : "the icon has no image of " + std::to_string(kSmallestSide) + " x " +
                                              std::to_string(kSmallestSide) + " or larger";
        return result;
    }
    std::stable_sort(candidates.begin(), candidates.end(), better);
    ReadFailure lastFailure = fail(ReadError::NoUsableImage);
    for (const int target : kThemeSides) {
        for (const Candidate& c : candidates) {
            if (c.target != target)
                continue;
            const ByteRange& data = group.images[c.index].data;
            if (!spendPixels(data, std::uint64_t(c.side) * std::uint64_t(c.side))) {
                result.images.clear();
                result.problem = clause(ReadError::TooMuchWork);
                return result;
            }
            Result<ByteReader> bytes = data.slice(0, std::min(data.size(), kMaxImageBytes));
            Result<RgbaImage> decoded = bytes ? decodeIconImage(*bytes) : Result<RgbaImage>(bytes.failure());
            if (!decoded) {
                lastFailure = decoded.failure();
                continue;
            }
            std::optional<std::vector<std::uint8_t>> png = encodePng(fittedToSquare(*decoded, target));
            if (!png) {
                result.problem = "the PNG encoder failed";
                result.images.clear();
                return result;
            }
            result.images.push_back({target, std::move(*png)});
            break;
        }
    }
    if (result.images.empty())
        result.problem = clause(lastFailure.error);
    return result;
}

std::string cleanIconName(std::string_view text)
{
    std::string name;
    for (const char c : lowerAscii(text)) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
        // Other bytes (spaces, a UTF-8 letter) are dashes, and a run of dashes one.
        if (kept)
            name += c;
        else if (name.empty() || name.back() != '-')
            name += '-';
    }
    // A theme name carries no suffix: "icon.png" is looked up as "icon".
    for (const std::string_view suffix : {".png", ".svg", ".xpm"})
        if (name.ends_with(suffix))
            name.resize(name.size() - suffix.size());
    if (name.size() > kMaxNameBytes)
        name.resize(kMaxNameBytes);
    // A leading dash reads as an option to other tools, a leading dot hides the file.
    const std::size_t first = name.find_first_not_of("-.");
    const std::size_t last = name.find_last_not_of("-.");
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    return name.empty() ? std::string("icon") : name;
}

std::string iconNameForFile(std::string_view path)
{
    std::string_view leaf = path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
    const std::size_t dot = leaf.rfind('.');
    if (dot != std::string_view::npos)
        leaf = leaf.substr(0, dot);
    return cleanIconName(leaf);
}

} // namespace gg
