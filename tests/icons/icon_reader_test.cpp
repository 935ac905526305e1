// Golden fixtures per format: counts, order and pixels.
#include "icon_test_files.h"

#include "icons/icon_extractor.h"
#include "icons/icon_formats.h"
#include "icons/icon_image.h"
#include "icons/icon_png.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace gg;
using namespace gg::test;

namespace {

// Pixels must match, each channel within `tolerance`; where both are fully transparent the
// colour does not matter.
::testing::AssertionResult samePixels(const RgbaImage& actual, const RgbaImage& expected, int tolerance = 0)
{
    if (actual.isNull() || expected.isNull())
        return ::testing::AssertionFailure() << "no image";
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure() << "size differs";
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x) {
            Argb a = pixelAt(actual, x, y), e = pixelAt(expected, x, y);
            if (alphaOf(a) == 0 && alphaOf(e) == 0)
                continue;
            const bool near = std::abs(redOf(a) - redOf(e)) <= tolerance && std::abs(greenOf(a) - greenOf(e)) <= tolerance &&
                              std::abs(blueOf(a) - blueOf(e)) <= tolerance && std::abs(alphaOf(a) - alphaOf(e)) <= tolerance;
            if (!near)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << a
                                                     << " instead of " << e;
        }
    return ::testing::AssertionSuccess();
}

RgbaImage expectedImage(const std::string& name) { return readPng(dataPath(name)); }
RgbaImage iconOf(const std::string& name) { return IconSource::open(dataPath(name)).icon(0); }

Argb centre(const RgbaImage& image) { return pixelAt(image, 16, 16); }

} // namespace

TEST(IconFile, EveryDepthDecodesToTheDrawnPixels)
{
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        IconSource source = IconSource::open(dataPath("depth-" + std::to_string(bits) + ".ico"));
        EXPECT_EQ(source.kind(), FileKind::Icon);
        ASSERT_EQ(source.count(), 1);
        EXPECT_TRUE(samePixels(source.icon(0), expectedImage("depth-" + std::to_string(bits) + ".expected.png")));
        EXPECT_TRUE(source.icon(1).isNull());
        EXPECT_TRUE(source.icon(-1).isNull());
    }
}

TEST(IconFile, Exact32At32BitsWinsOverEarlierEntries)
{
    EXPECT_TRUE(samePixels(iconOf("sizes.ico"), expectedImage("sizes.expected.png")));
}

TEST(IconFile, ChoiceRuleSizeThenDepthThenOrder)
{
    const Argb red = argb(255, 0, 0), green = argb(0, 200, 0), blue = argb(0, 0, 255);
    auto chosen = [](const std::vector<ImageSpec>& images) {
        return centre(IconSource::fromBytes(iconFile(images)).icon(0));
    };
    // Exact size beats any other size; then depth closest to 32; then directory order.
    EXPECT_EQ(chosen({{48, 48, 32, red}, {32, 32, 8, green}, {16, 16, 32, blue}}), green);
    EXPECT_EQ(chosen({{32, 32, 8, red}, {32, 32, 24, green}, {32, 32, 4, blue}}), green);
    EXPECT_EQ(chosen({{32, 32, 24, red}, {32, 32, 24, green}}), red);
    // No 32 x 32: the smallest larger one, even a PNG; else the largest smaller one.
    EXPECT_EQ(chosen({{16, 16, 32, red}, {64, 64, 32, green}, {48, 48, 32, blue}}), blue);
    EXPECT_EQ(chosen({{16, 16, 32, red}, {256, 256, 32, green, true}}), green);
    EXPECT_EQ(chosen({{16, 16, 32, red}, {24, 24, 32, green}, {20, 20, 32, blue}}), green);
}

TEST(IconFile, ScaledImagesFillTheIconSize)
{
    for (const char* name : {"no-32.ico", "small-only.ico", "png-256.ico"}) {
        SCOPED_TRACE(name);
        RgbaImage icon = iconOf(name);
        ASSERT_EQ(icon.width, 32);
        ASSERT_EQ(icon.height, 32);
        EXPECT_EQ(alphaOf(pixelAt(icon, 0, 0)), 0); // our shapes leave the corners clear
    }
    // A wide image keeps its proportions, centred.
    RgbaImage wide = IconSource::fromBytes(iconFile({{64, 32, 32, argb(0, 0, 255)}})).icon(0);
    EXPECT_EQ(alphaOf(pixelAt(wide, 16, 2)), 0);
    EXPECT_EQ(pixelAt(wide, 16, 16), argb(0, 0, 255));
    // Doubled, a small wide image stays centred; a size that does not divide 32 is scaled to fill it.
    RgbaImage doubled = IconSource::fromBytes(iconFile({{16, 8, 24, argb(0, 0, 255)}})).icon(0);
    EXPECT_EQ(alphaOf(pixelAt(doubled, 16, 7)), 0);
    EXPECT_EQ(pixelAt(doubled, 16, 8), argb(0, 0, 255));
    EXPECT_EQ(pixelAt(doubled, 16, 23), argb(0, 0, 255));
    EXPECT_EQ(alphaOf(pixelAt(doubled, 16, 24)), 0);
    RgbaImage twelve = IconSource::fromBytes(iconFile({{12, 12, 24, argb(0, 0, 255)}})).icon(0);
    EXPECT_EQ(pixelAt(twelve, 0, 0), argb(0, 0, 255));
    EXPECT_EQ(pixelAt(twelve, 31, 31), argb(0, 0, 255));
}

TEST(IconFile, AlphaOrMaskDecidesTransparency)
{
    // 32-bit with alpha: alpha rules.
    RgbaImage half = IconSource::fromBytes(iconFile({{32, 32, 32, argb(10, 20, 30, 128)}})).icon(0);
    EXPECT_EQ(pixelAt(half, 3, 3), argb(10, 20, 30, 128));
    // 32-bit with all-zero alpha: the mask, all opaque here.
    RgbaImage noAlpha = IconSource::fromBytes(iconFile({{32, 32, 32, argb(10, 20, 30, 0)}})).icon(0);
    EXPECT_EQ(pixelAt(noAlpha, 3, 3), argb(10, 20, 30));
    // Mask bits set: transparent.
    Bytes masked = iconFile({{32, 32, 24, argb(1, 2, 3)}});
    std::fill(masked.end() - 4 * 32, masked.end(), 0xFF);
    RgbaImage clear = IconSource::fromBytes(masked).icon(0);
    EXPECT_EQ(alphaOf(pixelAt(clear, 3, 3)), 0);
}

TEST(IconFile, WholeFactorEnlargementKeepsPixelsSharp)
{
    // A 16 x 16 whose left half is masked out: doubled, every pixel is fully clear or fully set.
    Bytes b = iconFile({{16, 16, 24, argb(0, 90, 200)}});
    const std::size_t mask = b.size() - 4 * 16;
    for (std::size_t row = 0; row < 16; ++row)
        b[mask + row * 4] = 0xFF;
    const RgbaImage icon = IconSource::fromBytes(b).icon(0);
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(pixelAt(icon, x, y), x < 16 ? argb(0, 0, 0, 0) : argb(0, 90, 200)) << x << "," << y;
}

TEST(PngImage, EveryColourTypeDepthAndInterlaceMatchesLibspng)
{
    struct Kind {
        int colorType, bitDepth, width, height;
        bool interlaced, transparency;
    };
    const Kind kinds[] = {{6, 8, 13, 11, false, false}, {6, 16, 7, 5, false, false}, {2, 8, 13, 11, false, true},
                          {2, 16, 6, 4, false, false},  {0, 1, 13, 3, false, true},  {0, 2, 9, 3, false, true},
                          {0, 4, 7, 3, false, true},    {0, 8, 5, 4, false, true},   {0, 16, 5, 4, false, true},
                          {4, 8, 6, 5, false, false},   {4, 16, 6, 5, false, false}, {3, 1, 11, 3, false, false},
                          {3, 2, 9, 4, false, false},   {3, 4, 7, 4, false, false},  {3, 8, 6, 6, false, true},
                          {6, 8, 13, 11, true, false},  {3, 2, 9, 7, true, true},    {0, 1, 5, 3, true, false}};
    for (const Kind& k : kinds) {
        SCOPED_TRACE(testing::Message() << "colour type " << k.colorType << ", " << k.bitDepth << " bits"
                                        << (k.interlaced ? ", interlaced" : ""));
        PngSpec p{k.width, k.height, k.colorType, k.bitDepth, k.interlaced, {}, {}, {}};
        const int channels = k.colorType == 2 ? 3 : k.colorType == 4 ? 2 : k.colorType == 6 ? 4 : 1;
        const std::uint32_t limit = (1u << k.bitDepth) - 1;
        for (int y = 0; y < k.height; ++y) {
            p.samples.emplace_back();
            for (int i = 0; i < k.width * channels; ++i)
                p.samples.back().push_back(static_cast<std::uint16_t>(((y * 7919u + i * 104729u) ^ (i * 31u)) % (limit + 1)));
        }
        if (k.colorType == 3)
            for (std::uint32_t i = 0; i <= limit; ++i)
                append(p.palette, {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i * 11),
                                   static_cast<std::uint8_t>(i * 5)});
        if (k.transparency) {
            if (k.colorType == 3)
                p.transparency = {0, 128, 255, 7};
            else // the second row's first pixel is the transparent one: not 0, so its depth matters
                for (int c = 0; c < channels; ++c)
                    append(p.transparency, {static_cast<std::uint8_t>(p.samples[1][static_cast<std::size_t>(c)] >> 8),
                                            static_cast<std::uint8_t>(p.samples[1][static_cast<std::size_t>(c)])});
        }
        const Bytes png = pngStream(p);
        const RgbaImage expected = pngBySpng(png);
        Result<RgbaImage> decoded = decodeIconImage(ByteReader(png));
        ASSERT_TRUE(decoded) << describeReadError(decoded.failure().error);
        // 16-bit samples: libspng keeps their high byte, we round, as the toolkit did.
        EXPECT_TRUE(samePixels(*decoded, expected, k.bitDepth == 16 ? 1 : 0));
    }
}

// Row 4 is Paeth-filtered (pngStream filters row r with type r % 5). Its second pixel meets a
// tie of left and upper left, its fourth a tie of up and upper left: the predictor takes left,
// then up, before upper left.
TEST(PngImage, PaethTiesPreferLeftThenUp)
{
    PngSpec p{4, 5, 0, 8, false, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}, {10, 12, 10, 6}, {6, 100, 12, 200}}, {}, {}};
    const Bytes png = pngStream(p);
    const RgbaImage expected = pngBySpng(png);
    Result<RgbaImage> decoded = decodeIconImage(ByteReader(png));
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(samePixels(*decoded, expected));
}

// Encoders that write spare rows or bytes after the image: the image is what its rows give,
// as libspng reads it; a stream short of the rows is still refused.
TEST(PngImage, StreamHoldingMoreThanTheImageNeedsGivesTheImage)
{
    struct Case {
        const char* what;
        int colorType;
        bool interlaced;
        std::size_t extra, cut;
        bool decodes;
    };
    const Case cases[] = {{"three spare rows", 6, false, 3 * (1 + 9 * 4), 0, true},
                          {"a spare byte", 2, false, 1, 0, true},
                          {"a megabyte of zeros", 6, true, 1 << 20, 0, true},
                          {"one byte short", 6, false, 0, 1, false},
                          {"a row short", 2, true, 0, 1 + 9 * 3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PngSpec p{9, 7, c.colorType, 8, c.interlaced, {}, {}, {}};
        for (int y = 0; y < p.height; ++y) {
            p.samples.emplace_back();
            for (int i = 0; i < p.width * (c.colorType == 6 ? 4 : 3); ++i)
                p.samples.back().push_back(static_cast<std::uint16_t>((y * 53 + i * 29) % 256));
        }
        p.rawAfter = Bytes(c.extra, 0);
        for (std::size_t i = 0; i < c.extra && i < 64; ++i)
            p.rawAfter[i] = static_cast<std::uint8_t>(i * 7); // filter types out of range among them
        p.rawCut = c.cut;
        const Bytes png = pngStream(p);
        Result<RgbaImage> decoded = decodeIconImage(ByteReader(png));
        ASSERT_EQ(decoded.ok(), c.decodes);
        EXPECT_EQ(decodePngStream(ByteReader(png), PngPixels::Checked).ok(), c.decodes); // checking alone
        if (!c.decodes)
            continue;
        p.rawAfter.clear();
        EXPECT_TRUE(samePixels(*decoded, pngBySpng(pngStream(p))));
        EXPECT_TRUE(samePixels(*decoded, pngBySpng(png))); // libspng takes the longer stream as the same image
    }
}

// Checking a stream without making its pixels refuses a row whose filter is out of range, as decoding does.
TEST(PngImage, CheckingAloneRefusesAnUnknownRowFilter)
{
    // Six rows written, a seventh after them by hand, and the header made to say seven.
    PngSpec p{9, 6, 6, 8, false, {}, {}, {}};
    p.samples.assign(6, std::vector<std::uint16_t>(9 * 4, 200));
    p.rawAfter = Bytes(1 + 9 * 4, 0);
    for (const std::uint8_t filter : {4, 5}) {
        p.rawAfter[0] = filter;
        Bytes png = pngStream(p);
        png[8 + 8 + 7] = 7; // IHDR height, and its checksum
        const std::uint32_t crc = libdeflate_crc32(0, png.data() + 12, 4 + 13);
        for (int i = 0; i < 4; ++i)
            png[8 + 8 + 13 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        EXPECT_EQ(decodePngStream(ByteReader(png)).ok(), filter <= 4);
        Result<RgbaImage> checked = decodePngStream(ByteReader(png), PngPixels::Checked);
        EXPECT_EQ(checked.ok(), filter <= 4);
        EXPECT_TRUE(!checked || checked->isNull());
    }
}

// A damaged checksum on a chunk the image does not need is passed over; on one it needs, the
// image is refused.
TEST(PngImage, DamagedChecksumCountsOnlyOnCriticalChunks)
{
    struct Case {
        const char* chunk;
        bool decodes;
    };
    const Case cases[] = {{"tEXt", true}, {"pHYs", true}, {"iCCP", true}, {"IHDR", false}, {"PLTE", false}, {"IDAT", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunk);
        PngSpec p{4, 2, 3, 8, false, {{0, 1, 2, 3}, {3, 2, 1, 0}}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}};
        p.ancillary = {{"tEXt", {'a', 0, 'b'}}, {"pHYs", Bytes(9, 1)}, {"iCCP", {'p', 0, 0, 0x78, 0x9C}}};
        Bytes png = pngStream(p);
        const auto type = std::search(png.begin(), png.end(), c.chunk, c.chunk + 4);
        ASSERT_NE(type, png.end());
        const std::size_t length = get32(Bytes{type[-1], type[-2], type[-3], type[-4]}, 0);
        png[static_cast<std::size_t>(type - png.begin()) + 4 + length] ^= 0x01; // first byte of its CRC
        EXPECT_EQ(decodeIconImage(ByteReader(png)).ok(), c.decodes);
    }
}

TEST(CursorFile, GivesImageAndHotSpot)
{
    IconSource source = IconSource::open(dataPath("pointer.cur"));
    EXPECT_EQ(source.kind(), FileKind::Cursor);
    EXPECT_EQ(source.count(), 1);
    std::optional<CursorImage> cursor = readCursorFile(dataPath("pointer.cur"));
    ASSERT_TRUE(cursor);
    EXPECT_TRUE(samePixels(cursor->image, expectedImage("pointer.expected.png")));
    EXPECT_EQ(cursor->hotX, 9);
    EXPECT_EQ(cursor->hotY, 1);
    // A 64 x 64 cursor is brought to 32 x 32 and its hot spot with it.
    TempDir dir;
    const std::string big = dir.filePath("big.cur");
    Bytes bytes = iconFile({{64, 64, 32, argb(9, 9, 9)}}, 2, 40, 20);
    std::ofstream(big, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    cursor = readCursorFile(big);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->hotX, 20);
    EXPECT_EQ(cursor->hotY, 10);
    // A cursor that is not square is centred, and its hot spot moves with it.
    for (bool wide : {true, false}) {
        bytes = iconFile({{wide ? 64 : 32, wide ? 32 : 64, 32, argb(9, 9, 9)}}, 2, wide ? 40 : 20, wide ? 20 : 40);
        std::ofstream(big, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        cursor = readCursorFile(big);
        ASSERT_TRUE(cursor);
        EXPECT_EQ(cursor->hotX, wide ? 20 : 18);
        EXPECT_EQ(cursor->hotY, wide ? 18 : 20);
    }
    // The window's hand pointer, hot spot on the finger tip.
    cursor = readCursorFile(GG_SOURCE_DIR "/res/HAND-M.CUR");
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->hotX, 9);
    EXPECT_EQ(cursor->hotY, 0);
    EXPECT_GT(alphaOf(pixelAt(cursor->image, 9, 2)), 0);
    EXPECT_FALSE(readCursorFile(dataPath("icons32.dll")));
    EXPECT_FALSE(readCursorFile(dataPath("missing.cur")));
}

TEST(AnimatedCursor, FirstFrameIsTheIcon)
{
    IconSource source = IconSource::open(dataPath("spinner.ani"));
    EXPECT_EQ(source.kind(), FileKind::AnimatedCursor);
    ASSERT_EQ(source.count(), 1);
    EXPECT_TRUE(samePixels(source.icon(0), expectedImage("spinner.expected.png")));
    std::optional<CursorImage> cursor = readCursorFile(dataPath("spinner.ani"));
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->hotX, 16);
}

TEST(PeModule, GroupsInDirectoryOrderNamedFirst)
{
    // Built from the script order ZAPP, 7, APPLE, 2, 300.
    const std::vector<std::string> order{"depth-8.ico", "sizes.ico", "depth-1.ico", "depth-24.ico", "no-32.ico"};
    for (auto [name, kind] : {std::pair{"icons32.dll", FileKind::Pe32}, std::pair{"icons64.dll", FileKind::Pe32Plus}}) {
        SCOPED_TRACE(name);
        IconSource source = IconSource::open(dataPath(name));
        EXPECT_EQ(source.kind(), kind);
        ASSERT_EQ(source.count(), 5);
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(samePixels(source.icon(i), iconOf(order[static_cast<std::size_t>(i)]))) << i;
        EXPECT_TRUE(source.icon(5).isNull());
    }
}

TEST(PeModule, NumericIdsAscendingWhateverTheStoredOrder)
{
    const Argb a = argb(200, 0, 0), b = argb(0, 200, 0), c = argb(0, 0, 200), d = argb(200, 200, 0);
    PeOptions o;
    Bytes pe = peModule({{"", 9, {{32, 32, 24, a}}}, {"", 3, {{32, 32, 24, b}}}, {"ONE", 0, {{32, 32, 24, c}}},
                         {"", 5, {{32, 32, 24, d}}}},
                        o);
    IconSource source = IconSource::fromBytes(pe);
    ASSERT_EQ(source.count(), 4);
    EXPECT_EQ(centre(source.icon(0)), c);
    EXPECT_EQ(centre(source.icon(1)), b);
    EXPECT_EQ(centre(source.icon(2)), d);
    EXPECT_EQ(centre(source.icon(3)), a);
}

TEST(PeModule, ExecutablesAndModulesWithoutIcons)
{
    IconSource tool = IconSource::open(dataPath("tool.exe"));
    EXPECT_EQ(tool.kind(), FileKind::Pe32Plus);
    ASSERT_EQ(tool.count(), 2);
    EXPECT_TRUE(samePixels(tool.icon(0), expectedImage("depth-32.expected.png")));
    EXPECT_TRUE(samePixels(tool.icon(1), iconOf("png-256.ico")));
    EXPECT_EQ(IconSource::open(dataPath("tool32.exe")).count(), 1);

    IconSource none = IconSource::open(dataPath("noicons.dll"));
    EXPECT_EQ(none.kind(), FileKind::Pe32);
    EXPECT_EQ(none.count(), 0);
    EXPECT_TRUE(none.icon(0).isNull());
}

TEST(PeModule, HundredsOfGroupsAllComeOut)
{
    IconSource source = IconSource::open(dataPath("many.dll"));
    ASSERT_EQ(source.count(), 320);
    // Group id g holds small icon g % 12.
    EXPECT_EQ(source.icon(0), source.icon(12));
    EXPECT_NE(source.icon(0), source.icon(1));
    EXPECT_FALSE(source.icon(319).isNull());
    EXPECT_TRUE(source.icon(320).isNull());
}

TEST(PeModule, ThousandsOfGroupsReadFromTheFileAllComeOut)
{
    // A resource directory of some 240 KiB, far more blocks than the reader keeps, read while the
    // section table (in the first block) is held throughout.
    std::vector<PeGroup> groups;
    auto colour = [](int i) { return argb(i % 256, i / 256 * 20, 100); };
    for (int i = 0; i < 2500; ++i)
        groups.push_back({"", static_cast<std::uint32_t>(i + 1), {{16, 16, 1, colour(i)}}});
    PeOptions o;
    const Bytes bytes = peModule(groups, o);
    TempDir dir;
    const std::string path = dir.filePath("large.dll");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    const IconSource source = IconSource::open(path);
    ASSERT_EQ(source.count(), 2500);
    EXPECT_EQ(centre(source.icon(0)), colour(0));
    EXPECT_EQ(centre(source.icon(2499)), colour(2499));
}

TEST(NeModule, GroupsInTableOrder)
{
    IconSource source = IconSource::open(dataPath("shapes.icl"));
    EXPECT_EQ(source.kind(), FileKind::Ne);
    ASSERT_EQ(source.count(), 3);
    EXPECT_TRUE(samePixels(source.icon(0), expectedImage("depth-4.expected.png")));
    EXPECT_TRUE(samePixels(source.icon(1), expectedImage("depth-32.expected.png")));
    EXPECT_TRUE(samePixels(source.icon(2), expectedImage("sizes.expected.png")));
}

TEST(IconSource, LazyIconsMatchCountFirst)
{
    IconSource lazy = IconSource::open(dataPath("icons64.dll"));
    RgbaImage third = lazy.icon(2);
    IconSource eager = IconSource::open(dataPath("icons64.dll"));
    ASSERT_EQ(eager.count(), 5);
    EXPECT_EQ(third, eager.icon(2));
    EXPECT_EQ(lazy.count(), 5);
    EXPECT_TRUE(eager.icon(5).isNull());
}

TEST(IconSource, EverySampleGivesIcons)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(GG_SOURCE_DIR "/Samples")) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.starts_with('.') || name.ends_with(".sh"))
            continue;
        SCOPED_TRACE(entry.path().string());
        EXPECT_GT(IconSource::open(entry.path().string()).count(), 0);
        ++files;
    }
    EXPECT_GE(files, 4);
}

TEST(IconSource, KindComesFromTheBytesNotTheName)
{
    TempDir dir;
    auto copyAs = [&](const std::string& from, const char* to) {
        std::string path = dir.filePath(to);
        Bytes bytes = readFile(dataPath(from));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    };
    EXPECT_EQ(IconSource::open(copyAs("icons32.dll", "looks-like.ico")).count(), 5);
    EXPECT_EQ(IconSource::open(copyAs("depth-8.ico", "LOOKS-LIKE.DLL")).count(), 1);
    std::string text = dir.filePath("notes.ico");
    std::ofstream(text) << "not an icon at all";
    EXPECT_EQ(IconSource::open(text).count(), 0);
    EXPECT_EQ(IconSource::open(text).kind(), FileKind::Unknown);
}

TEST(IconSource, OddPathsGiveNoIcon)
{
    TempDir dir;
    const std::string empty = dir.filePath("empty.ico");
    std::ofstream{empty};
    EXPECT_EQ(IconSource::open(empty).count(), 0);
    EXPECT_EQ(IconSource::open(dir.path()).count(), 0);
    EXPECT_EQ(IconSource::open(dir.filePath("absent.ico")).count(), 0);
    // A FIFO must not block the run.
    const std::string fifo = dir.filePath("pipe.exe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(IconSource::open(fifo).count(), 0);
    EXPECT_EQ(IconSource().count(), 0);
}

TEST(IconSource, HugeFileWithSmallIconIsCheap)
{
    // A 3 GB sparse file: the module at its start, nothing behind it but a hole. Reading it
    // whole would take far longer than this test runs.
    TempDir dir;
    const std::string path = dir.filePath("setup.exe");
    Bytes bytes = readFile(dataPath("tool.exe"));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(::truncate(path.c_str(), 3LL << 30), 0);
    IconSource source = IconSource::open(path);
    EXPECT_EQ(source.count(), 2);
}
