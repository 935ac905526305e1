// The icon library's groups: the rebuilt .ico against icoutils' wrestool, and the picture rule.
#include "icons/icon_test_files.h"
#include "tool/wrestool_files.h"

#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "tool/text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace gg;
using namespace gg::test;

namespace {

std::string wrestoolName(const GroupIdentity& identity)
{
    if (identity.kind == GroupIdentity::Kind::Number)
        return std::to_string(identity.number);
    return tool::utf8FromUtf16(identity.name);
}

} // namespace

TEST(RebuiltGroup, EqualsWrestoolsFileForEveryIconAndCursorGroupOfThePeAndNeFixtures)
{
    if (std::system("command -v wrestool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "wrestool (icoutils) is not installed";
    int compared = 0, cursors = 0;
    for (const auto& entry : std::filesystem::directory_iterator(GG_TEST_DATA)) {
        const std::string suffix = entry.path().extension().string(), module = entry.path().filename().string();
        if (suffix != ".dll" && suffix != ".exe" && suffix != ".icl")
            continue;
        for (const bool cursor : {false, true}) {
            SCOPED_TRACE(module + (cursor ? " cursors" : " icons"));
            TempDir out;
            const std::string command = std::string("wrestool -x ") + (cursor ? "-t12" : "-t14") + " -o '" + out.path() +
                                        "/' '" + entry.path().string() + "'";
            ASSERT_EQ(std::system(command.c_str()), 0);
            const IconSource source = IconSource::open(entry.path().string());
            const int count = cursor ? source.cursorCount() : source.count();
            // Every group of the fixtures is sound, so our groups are wrestool's.
            const auto written = std::distance(std::filesystem::directory_iterator(out.path()), std::filesystem::directory_iterator());
            EXPECT_EQ(count, static_cast<int>(written));
            for (int i = 0; i < count; ++i) {
                const IconGroup& group = cursor ? *source.cursorGroup(i) : *source.group(i);
                const std::string name = module + (cursor ? "_12_" : "_14_") + wrestoolName(group.identity) +
                                         (cursor ? ".cur" : ".ico");
                SCOPED_TRACE(name);
                Result<Bytes> ours = rebuildIconFile(group);
                ASSERT_TRUE(ours.ok());
                EXPECT_TRUE(sameAsWrestools(*ours, readFile(out.filePath(name))));
                ++compared;
                cursors += cursor;
            }
        }
    }
    EXPECT_GE(compared, 26);
    EXPECT_GE(cursors, 6);
}

TEST(RebuiltGroup, IconAndCursorFilesAreTheirOwnDirectoryAndImages)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(GG_TEST_DATA)) {
        const std::string suffix = entry.path().extension().string();
        if (suffix != ".ico" && suffix != ".cur")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().string());
        const Bytes file = readFile(entry.path().string());
        Result<Bytes> rebuilt = rebuildIconFile(*IconSource::open(entry.path().string()).group(0));
        ASSERT_TRUE(rebuilt.ok());
        EXPECT_EQ(*rebuilt, file);
    }
    EXPECT_GE(files, 10);
    // An animated cursor's icon is its first frame, a whole cursor file inside the RIFF chunks.
    const Bytes ani = readFile(dataPath("spinner.ani"));
    Result<Bytes> frame = rebuildIconFile(*IconSource::open(dataPath("spinner.ani")).group(0));
    ASSERT_TRUE(frame.ok());
    EXPECT_EQ(get16(*frame, 2), 2u) << "a cursor";
    EXPECT_NE(std::search(ani.begin(), ani.end(), frame->begin(), frame->end()), ani.end());
}

namespace {

// A group of images made here; the bytes live as long as the group.
struct MadeGroup {
    std::vector<std::unique_ptr<Bytes>> images;
    std::vector<std::unique_ptr<MemorySource>> sources;
    IconGroup group;

    MadeGroup& add(Bytes bytes)
    {
        images.push_back(std::make_unique<Bytes>(std::move(bytes)));
        sources.push_back(std::make_unique<MemorySource>(std::span<const std::uint8_t>(*images.back())));
        group.images.push_back(ImageCandidate{ByteRange(*sources.back()), 0, 0});
        group.entries.assign(images.size(), {});
        return *this;
    }
    MadeGroup& dib(int side, int bits, Argb colour) { return add(solidDib({side, side, bits, colour, false})); }
    MadeGroup& png(const RgbaImage& image) { return add(pngOf(image)); }
};

// One-pixel black and white squares.
RgbaImage checkerboard(int side)
{
    RgbaImage image(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const auto v = static_cast<std::uint8_t>((x + y) % 2 ? 255 : 0);
            image.set(x, y, {v, v, v, 255});
        }
    return image;
}

bool pure(Argb p) { return p == argb(0, 0, 0) || p == argb(255, 255, 255); }

double pureShare(const RgbaImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            count += pure(pixelAt(image, x, y)) ? 1 : 0;
    return double(count) / (image.width * image.height);
}

bool allOf(const RgbaImage& image, Argb colour)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (pixelAt(image, x, y) != colour)
                return false;
    return true;
}

RgbaImage pictureOf(const IconGroup& group, int side)
{
    Result<RgbaImage> picture = pictureAt(group, side);
    if (!picture)
        return {};
    EXPECT_EQ(picture->width, side);
    EXPECT_EQ(picture->height, side);
    return *picture;
}

} // namespace

TEST(Picture, ExactSizeOfTheBestDepthElseWholeFactorUpFromTheLargest)
{
    const RgbaImage board = checkerboard(256);
    MadeGroup made;
    made.dib(16, 4, argb(0, 0, 255)).dib(16, 32, argb(0, 255, 0)).dib(48, 24, argb(255, 0, 0)).png(board);
    EXPECT_TRUE(allOf(pictureOf(made.group, 16), argb(0, 255, 0))) << "32 bits win over 4";
    EXPECT_TRUE(allOf(pictureOf(made.group, 48), argb(255, 0, 0)));
    EXPECT_EQ(pictureOf(made.group, 256), board);
    // Nothing reaches 512 or 1024: the 256 grows by exactly 2 or 4, every pixel a sharp block.
    for (int factor : {2, 4}) {
        SCOPED_TRACE(factor);
        const RgbaImage large = pictureOf(made.group, 256 * factor);
        ASSERT_FALSE(large.isNull());
        bool blocks = true;
        for (int y = 0; y < large.height && blocks; ++y)
            for (int x = 0; x < large.width && blocks; ++x)
                blocks = pixelAt(large, x, y) == pixelAt(board, x / factor, y / factor);
        EXPECT_TRUE(blocks);
    }
}

TEST(Picture, WithoutTheExactSizeTheSmallestLargerIsScaledDownElseTheLargestUp)
{
    MadeGroup made;
    Bytes cutShort = solidDib({48, 48, 32, argb(255, 0, 0), false});
    cutShort.resize(100); // its header promises a 48 x 48 the bytes do not hold
    made.dib(20, 32, argb(255, 255, 0)).add(cutShort).png(checkerboard(64));

    EXPECT_TRUE(allOf(pictureOf(made.group, 16), argb(255, 255, 0))) << "the 20, scaled down";
    // The damaged 48 yields to the 64 board, whose squares smoothing mixes into greys.
    const RgbaImage down = pictureOf(made.group, 48);
    EXPECT_LT(pureShare(down), 0.5);
    EXPECT_EQ(redOf(pixelAt(down, 24, 24)), greenOf(pixelAt(down, 24, 24))) << "grey, from the board";
    for (int side : {256, 1024}) {
        SCOPED_TRACE(side);
        const RgbaImage up = pictureOf(made.group, side);
        EXPECT_EQ(pureShare(up), 1.0) << "a whole factor up: no smoothing";
    }

    // 24 goes into 256 ten times (240); only the last step is smooth, so nearly all stays sharp,
    // where smoothing all the way would blur every edge.
    MadeGroup small;
    small.png(checkerboard(24));
    const RgbaImage up = pictureOf(small.group, 256);
    EXPECT_GT(pureShare(up), 0.7);
    EXPECT_LT(pureShare(up), 1.0);
}

TEST(Picture, NonSquareImagesKeepTheirProportionsOnTransparency)
{
    const RgbaImage wide = filled(64, 32, argb(0, 0, 255));
    MadeGroup made;
    made.png(wide);
    const RgbaImage picture = pictureOf(made.group, 32);
    EXPECT_EQ(pixelAt(picture, 16, 16), argb(0, 0, 255));
    EXPECT_EQ(alphaOf(pixelAt(picture, 16, 2)), 0);
    EXPECT_EQ(alphaOf(pixelAt(picture, 16, 29)), 0);

    // Larger on one side only is not larger: the 48 x 48 is scaled down, not the 64 x 16.
    MadeGroup mixed;
    mixed.add(solidDib({64, 16, 32, argb(255, 0, 0), false})).dib(48, 32, argb(0, 255, 0));
    EXPECT_TRUE(allOf(pictureOf(mixed.group, 32), argb(0, 255, 0)));
}

// Semi-transparent pixels keep their colours: exactly at the image's own size, and within a
// step or two when smoothing goes through premultiplied colours (at alpha 3, eight bits of
// premultiplied colour would leave a red of 200 at 170).
TEST(Picture, StraightAlphaKeepsItsColours)
{
    RgbaImage tall(3, 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 3; ++x)
            tall.set(x, y, {static_cast<std::uint8_t>(200 - 20 * y), static_cast<std::uint8_t>(37 * x),
                            static_cast<std::uint8_t>(90 + y), static_cast<std::uint8_t>(1 + 40 * y + x)});
    MadeGroup made;
    made.png(tall);
    const RgbaImage own = pictureOf(made.group, 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(own.at(x + 2, y), tall.at(x, y)) << x << "," << y;

    const RgbaImage faint = filled(12, 12, argb(200, 100, 50, 3));
    MadeGroup smooth;
    smooth.png(faint);
    const RgbaImage scaled = pictureOf(smooth.group, 17);
    int largest = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 17; ++x) {
            const Argb p = pixelAt(scaled, x, y);
            if (alphaOf(p) != 0)
                largest = std::max({largest, std::abs(redOf(p) - 200), std::abs(greenOf(p) - 100), std::abs(blueOf(p) - 50)});
        }
    EXPECT_LE(largest, 1);
}
