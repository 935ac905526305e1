// Inputs that each take the reader down one path of its own: shared resource directories,
// name strings out of order, gaps in icon ids, padded RIFF chunks, non-square images, 5-6-5
// bitmaps, PNG depths and sections whose virtual size differs from their raw size.
#include "icon_test_files.h"

#include "icons/icon_extractor.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>

using namespace gg;
using namespace gg::test;

namespace {

const Argb kColours[] = {argb(200, 0, 0),   argb(0, 160, 0),   argb(0, 0, 220),   argb(200, 200, 0),
                         argb(0, 180, 180), argb(170, 0, 170), argb(90, 90, 90)};

Argb centre(const RgbaImage& icon) { return icon.isNull() ? 0 : pixelAt(icon, 16, 16); }

// The centre colour of every icon of the file, in order.
std::vector<Argb> centres(const IconSource& source)
{
    std::vector<Argb> out;
    const int count = source.count();
    for (int i = 0; i < count; ++i)
        out.push_back(centre(source.icon(i)));
    return out;
}

bool reported(const IconSource& source, ReadError error)
{
    for (const ReadFailure& f : source.problems())
        if (f.error == error)
            return true;
    return false;
}

// Groups with ids 1..n, each one 24-bit image of its own colour.
std::vector<PeGroup> numberedGroups(std::size_t n)
{
    std::vector<PeGroup> groups;
    for (std::size_t i = 0; i < n; ++i)
        groups.push_back({"", static_cast<std::uint32_t>(i + 1), {{32, 32, 24, kColours[i]}}});
    return groups;
}

// Where a group's language directory lies in the resource section, as its entries point at it.
std::uint32_t languageDirectoryOf(const PeOptions& o, std::size_t group)
{
    return 0x80000000u | static_cast<std::uint32_t>(o.groupLanguageEntryAt[group] - 16 - 0x400);
}

} // namespace

TEST(PeModule, GroupsSharingALanguageDirectoryEachGiveTheirIcon)
{
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        PeOptions o;
        o.pe32Plus = plus;
        Bytes b = peModule(numberedGroups(7), o);
        // Ids 4 and 6 point at the language directories of ids 2 and 1.
        put32(b, o.groupEntryAt[3] + 4, languageDirectoryOf(o, 1));
        put32(b, o.groupEntryAt[5] + 4, languageDirectoryOf(o, 0));
        const IconSource source = IconSource::fromBytes(b);
        EXPECT_EQ(centres(source), (std::vector<Argb>{kColours[0], kColours[1], kColours[2], kColours[1], kColours[4],
                                                      kColours[0], kColours[6]}));
        EXPECT_TRUE(source.problems().empty());

        // A "language directory" that is the group type's own directory is a loop: that group
        // is passed over and the walk ends.
        put32(b, o.groupEntryAt[2] + 4, 0x80000000u | static_cast<std::uint32_t>(get32(b, o.groupTypeEntryAt + 4)));
        const IconSource looped = IconSource::fromBytes(b);
        EXPECT_EQ(looped.count(), 6);
        EXPECT_TRUE(reported(looped, ReadError::ResourceLoop));

        // The group type's directory being the root again: one loop, reported once.
        Bytes rooted = peModule(numberedGroups(3), o);
        put32(rooted, o.groupTypeEntryAt + 4, 0x80000000u);
        const IconSource none = IconSource::fromBytes(rooted);
        EXPECT_EQ(none.count(), 0);
        ASSERT_EQ(none.problems().size(), 1u);
        EXPECT_EQ(none.problems()[0].error, ReadError::ResourceLoop);
    }
}

TEST(PeModule, NamedGroupsComeInDirectoryOrderWhereverTheirNamesAreStored)
{
    const std::vector<PeGroup> groups{{"ZETA", 0, {{32, 32, 24, kColours[0]}}},
                                      {"ALPHA", 0, {{32, 32, 24, kColours[1]}}},
                                      {"MID", 0, {{32, 32, 24, kColours[2]}}},
                                      {"", 5, {{32, 32, 24, kColours[3]}}}};
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "name strings in reverse order" : "name strings in entry order");
        PeOptions o;
        o.namesReversed = reversed;
        EXPECT_EQ(centres(IconSource::fromBytes(peModule(groups, o))),
                  (std::vector<Argb>{kColours[0], kColours[1], kColours[2], kColours[3]}));
    }
}

TEST(Modules, GroupNamingAMissingIdBelowTheLargestGetsNoNeighbouringImage)
{
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        PeOptions o;
        o.pe32Plus = plus;
        Bytes b = peModule(numberedGroups(3), o);
        put32(b, o.iconEntryAt[1], 9); // icon 2 is now 9: group 2 names an id that is not there
        const IconSource source = IconSource::fromBytes(b);
        EXPECT_EQ(centres(source), (std::vector<Argb>{kColours[0], kColours[2]}));
        EXPECT_TRUE(reported(source, ReadError::MissingImage));
    }
    {
        SCOPED_TRACE("NE");
        Bytes b = readFile(dataPath("shapes.icl"));
        const IconSource original = IconSource::fromBytes(b);
        ASSERT_EQ(original.count(), 3);
        // The first group's only image is icon 1; icon 1 becomes 100.
        const std::size_t ne = get32(b, 0x3C);
        const std::size_t table = ne + get16(b, ne + 0x24);
        ASSERT_EQ(get16(b, table + 2), 0x8003u);
        ASSERT_EQ(get16(b, table + 2 + 8 + 6), 0x8001u);
        put16(b, table + 2 + 8 + 6, 0x8000 | 100);
        const IconSource source = IconSource::fromBytes(b);
        ASSERT_EQ(source.count(), 2);
        EXPECT_EQ(source.icon(0), original.icon(1));
        EXPECT_EQ(source.icon(1), original.icon(2));
        EXPECT_TRUE(reported(source, ReadError::MissingImage));
    }
}

TEST(AnimatedCursor, FrameListAfterOddSizedChunksIsFound)
{
    const Bytes frame = iconFile({{32, 32, 32, kColours[4]}}, 2);
    const std::vector<std::vector<Bytes>> before{
        {riffChunk("IART", Bytes(5, 'a'))},
        {riffChunk("IART", Bytes(1, 'a')), riffChunk("INAM", Bytes(3, 'n'))},
        {riffChunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'})},
    };
    for (std::size_t row = 0; row < before.size(); ++row) {
        SCOPED_TRACE(row);
        const IconSource source = IconSource::fromBytes(aniFile({frame, iconFile({{32, 32, 32, kColours[5]}}, 2)}, before[row]));
        EXPECT_EQ(source.kind(), FileKind::AnimatedCursor);
        EXPECT_EQ(centres(source), (std::vector<Argb>{kColours[4]}));
    }
}

TEST(IconFile, NonSquareImagesRankByTheirOwnWidthAndHeight)
{
    const Argb chosen = kColours[0], other = kColours[1];
    struct Row {
        ImageSpec first, second;
        Argb expected;
    };
    const Row rows[] = {
        {{32, 16, 32, chosen}, {32, 32, 8, other}, other}, // only a square 32 x 32 is exact
        {{16, 32, 32, chosen}, {32, 32, 8, other}, other},
        {{64, 16, 32, chosen}, {48, 48, 32, other}, other}, // larger on one side only is not larger
        {{16, 64, 32, chosen}, {48, 48, 32, other}, other},
        {{64, 32, 32, chosen}, {48, 48, 32, other}, chosen}, // the smaller of the larger ones by area
        {{32, 64, 32, chosen}, {48, 48, 32, other}, chosen},
        {{16, 48, 32, chosen}, {24, 24, 32, other}, chosen}, // the larger of the smaller ones by area
        {{48, 16, 32, chosen}, {24, 24, 32, other}, chosen},
        {{64, 32, 32, chosen, true}, {48, 48, 32, other}, chosen}, // sizes from a PNG's header
        {{32, 64, 32, chosen, true}, {48, 48, 32, other}, chosen},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.first.width << " x " << row.first.height << (row.first.png ? " PNG" : ""));
        EXPECT_EQ(centre(IconSource::fromBytes(iconFile({row.first, row.second})).icon(0)), row.expected);
    }
}

TEST(IconFile, PngDepthComesFromItsColourTypeAndBitDepth)
{
    // A 32 x 32 PNG of one colour type (8 bits a sample) beside a bitmap of some depth: the
    // depth closer to 32 wins. The one that should lose comes first, as a tie goes to it.
    auto png = [](int colorType, Argb colour) {
        PngSpec p{32, 32, colorType, 8, false, {}, {}, {}};
        const std::vector<std::uint16_t> pixel =
            colorType == 6   ? std::vector<std::uint16_t>{static_cast<std::uint16_t>(redOf(colour)),
                                                          static_cast<std::uint16_t>(greenOf(colour)),
                                                          static_cast<std::uint16_t>(blueOf(colour)), 255}
            : colorType == 2 ? std::vector<std::uint16_t>{static_cast<std::uint16_t>(redOf(colour)),
                                                          static_cast<std::uint16_t>(greenOf(colour)),
                                                          static_cast<std::uint16_t>(blueOf(colour))}
            : colorType == 4 ? std::vector<std::uint16_t>{static_cast<std::uint16_t>((redOf(colour) * 11 + greenOf(colour) * 16 + blueOf(colour) * 5) / 32), 255}
                             : std::vector<std::uint16_t>{0};
        if (colorType == 3)
            p.palette = {static_cast<std::uint8_t>(redOf(colour)), static_cast<std::uint8_t>(greenOf(colour)),
                         static_cast<std::uint8_t>(blueOf(colour))};
        for (int y = 0; y < 32; ++y) {
            p.samples.emplace_back();
            for (int x = 0; x < 32; ++x)
                p.samples.back().insert(p.samples.back().end(), pixel.begin(), pixel.end());
        }
        return pngStream(p);
    };
    const Argb fromPng = kColours[2], fromBitmap = argb(255, 255, 0); // held exactly at 16 bits too
    struct Row {
        int colorType, bitmapBits;
        bool pngWins;
    };
    const Row rows[] = {{6, 24, true}, {2, 32, false}, {3, 16, false}, {4, 24, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "colour type " << row.colorType << " beside " << row.bitmapBits << " bits");
        const Bytes image = png(row.colorType, fromPng), bitmap = solidDib({32, 32, row.bitmapBits, fromBitmap});
        const Bytes file = row.pngWins ? iconFileOfImages({bitmap, image}) : iconFileOfImages({image, bitmap});
        const Argb got = centre(IconSource::fromBytes(file).icon(0));
        if (row.pngWins)
            EXPECT_EQ(got, fromPng);
        else
            EXPECT_EQ(got, fromBitmap);
    }
}

TEST(Bitmap, SixteenBitsWithFiveSixFiveMasks)
{
    // BI_BITFIELDS with red 0xF800, green 0x07E0, blue 0x001F, the usual way to store 5-6-5:
    // the masks follow a 40-byte header, or sit inside a larger one.
    struct Colour {
        std::uint32_t red5, green6, blue5;
        Argb expected;
    };
    const Colour colours[] = {{31, 63, 0, argb(255, 255, 0)}, {16, 32, 8, argb(132, 130, 66)}, {0, 1, 1, argb(0, 4, 8)}};
    for (std::uint32_t headerSize : {40u, 56u, 108u})
        for (const Colour& c : colours) {
            SCOPED_TRACE(testing::Message() << headerSize << "-byte header, " << c.red5 << "/" << c.green6 << "/" << c.blue5);
            Bytes dib(headerSize, 0);
            put32(dib, 0, headerSize);
            put32(dib, 4, 32);
            put32(dib, 8, 64);
            put16(dib, 12, 1);
            put16(dib, 14, 16);
            put32(dib, 16, 3); // BI_BITFIELDS
            // Right after a 40-byte header, or in the same place inside a larger one.
            put32(dib, 40, 0xF800);
            put32(dib, 44, 0x07E0);
            put32(dib, 48, 0x001F);
            const std::uint32_t pixel = (c.red5 << 11) | (c.green6 << 5) | c.blue5;
            for (int i = 0; i < 32 * 32; ++i)
                put16(dib, dib.size(), pixel);
            dib.resize(dib.size() + 4 * 32, 0); // AND mask: all opaque
            const RgbaImage icon = IconSource::fromBytes(iconFileOfImages({dib})).icon(0);
            EXPECT_EQ(pixelAt(icon, 5, 7), c.expected);
            EXPECT_EQ(pixelAt(icon, 0, 31), c.expected); // the first pixel stored
        }
}

namespace {

// A bitmap laid out as some writers lay it out, and the picture it holds: every pixel differs from
// its neighbours, so a shifted row, a swapped nibble or a misplaced mask shows.
struct DibLayout {
    const char* what;
    int width, height, bits;
    std::uint32_t headerSize = 40;
    std::uint32_t coloursUsed = 0;  // the header's field
    std::uint32_t tableEntries = 0; // colours actually stored
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha of the pixels above 8 bits
    bool bitfields = true;                 // the masks are stored (BI_BITFIELDS), else BI_RGB
};

Argb tableColour(std::uint32_t i) { return argb(static_cast<int>(10 + 15 * i), static_cast<int>(250 - 9 * i), static_cast<int>(7 * i)); }

// Full or empty channels only, which every bit-field width holds exactly.
Argb trueColour(int x, int y, bool translucent)
{
    const int alpha = translucent && (x + y) % 3 == 0 ? 128 : 255;
    return argb((x % 2) * 255, (y % 2) * 255, ((x / 2 + y) % 2) * 255, alpha);
}

RgbaImage pictureOf(const DibLayout& l)
{
    RgbaImage image(l.width, l.height);
    const std::uint32_t colours = l.tableEntries;
    for (int y = 0; y < l.height; ++y)
        for (int x = 0; x < l.width; ++x)
        {
            const Argb c = l.bits <= 8 ? tableColour(static_cast<std::uint32_t>(x + 3 * y) % colours)
                                       : trueColour(x, y, l.masks[3] != 0);
            image.set(x, y, {static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                             static_cast<std::uint8_t>(blueOf(c)), static_cast<std::uint8_t>(alphaOf(c))});
        }
    return image;
}

Bytes dibOf(const DibLayout& l)
{
    Bytes b(l.headerSize, 0);
    put32(b, 0, l.headerSize);
    put32(b, 4, static_cast<std::uint32_t>(l.width));
    put32(b, 8, static_cast<std::uint32_t>(2 * l.height));
    put16(b, 12, 1);
    put16(b, 14, static_cast<std::uint32_t>(l.bits));
    const bool bitfields = l.bits > 8 && l.bitfields;
    put32(b, 16, bitfields ? 3 : 0);
    put32(b, 32, l.coloursUsed);
    if (bitfields) {
        // Inside a header of 52 bytes or more (alpha from 56), else right after it.
        const std::size_t at = l.headerSize >= 52 ? 40 : b.size();
        for (std::size_t i = 0; i < (l.headerSize >= 56 ? 4u : 3u); ++i)
            put32(b, at + 4 * i, l.masks[i]);
    }
    for (std::uint32_t i = 0; i < l.tableEntries; ++i)
        append(b, {static_cast<std::uint8_t>(blueOf(tableColour(i))), static_cast<std::uint8_t>(greenOf(tableColour(i))),
                   static_cast<std::uint8_t>(redOf(tableColour(i))), 0});
    auto packed = [&](Argb c) {
        std::uint32_t v = 0;
        const int channels[] = {redOf(c), greenOf(c), blueOf(c), alphaOf(c)};
        for (std::size_t i = 0; i < 4; ++i)
            if (l.masks[i] != 0) // a full channel sets its whole mask; alpha is 8 bits wide here
                v |= channels[i] == 255 ? l.masks[i] : (static_cast<std::uint32_t>(channels[i]) << std::countr_zero(l.masks[i]));
        return v;
    };
    const std::size_t stride = (static_cast<std::size_t>(l.width * l.bits) + 31) / 32 * 4;
    for (int y = l.height - 1; y >= 0; --y) { // bottom-up
        Bytes row(stride, 0);
        for (int x = 0; x < l.width; ++x) {
            const std::uint32_t index = static_cast<std::uint32_t>(x + 3 * y) % std::max(l.tableEntries, 1u);
            const Argb c = trueColour(x, y, l.masks[3] != 0);
            const auto ux = static_cast<std::size_t>(x);
            switch (l.bits) {
            case 1: row[ux / 8] |= static_cast<std::uint8_t>(index << (7 - ux % 8)); break;
            case 4: row[ux / 2] |= static_cast<std::uint8_t>(index << (ux % 2 ? 0 : 4)); break;
            case 8: row[ux] = static_cast<std::uint8_t>(index); break;
            case 16: put16(row, 2 * ux, packed(c)); break;
            case 24:
                put16(row, 3 * ux, packed(c) & 0xFFFF);
                row[3 * ux + 2] = static_cast<std::uint8_t>(packed(c) >> 16);
                break;
            case 32: put32(row, 4 * ux, packed(c)); break;
            }
        }
        append(b, row);
    }
    b.resize(b.size() + (static_cast<std::size_t>(l.width) + 31) / 32 * 4 * static_cast<std::size_t>(l.height), 0);
    return b;
}

} // namespace

TEST(Bitmap, LayoutsWritersUseDecodeToTheirPixels)
{
    constexpr std::array<std::uint32_t, 4> k555{0x7C00, 0x03E0, 0x001F, 0}, k565{0xF800, 0x07E0, 0x001F, 0},
                                           kRgb{0x00FF0000, 0x0000FF00, 0x000000FF, 0},
                                           kArgb{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    const DibLayout layouts[] = {
        {"1 bit, 15 wide", 15, 15, 1, 40, 0, 2},
        {"1 bit, 17 wide", 17, 17, 1, 40, 0, 2},
        {"4 bits, 15 wide", 15, 15, 4, 40, 0, 16},
        {"4 bits, 17 wide", 17, 17, 4, 40, 0, 16},
        {"4 bits, 5 colours used", 16, 16, 4, 40, 5, 5},
        {"8 bits, 20 colours used", 16, 16, 8, 40, 20, 20},
        {"16 bits, stray colours used", 16, 16, 16, 40, 3, 0, k555, false},
        {"24 bits, stray colours used", 16, 16, 24, 40, 16, 0, kRgb, false},
        {"32 bits, stray colours used", 16, 16, 32, 40, 7, 0, kRgb, false},
        {"16 bits 5-6-5 in a 52-byte header", 16, 16, 16, 52, 0, 0, k565},
        {"32 bits with its masks in a 52-byte header", 16, 16, 32, 52, 0, 0, kRgb},
        {"32 bits with alpha in a 56-byte header", 16, 16, 32, 56, 0, 0, kArgb},
    };
    for (const DibLayout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        const Bytes dib = dibOf(layout);
        Result<RgbaImage> decoded = decodeIconImage(ByteReader(dib));
        ASSERT_TRUE(decoded) << describeReadError(decoded.failure().error);
        EXPECT_EQ(*decoded, pictureOf(layout));
    }
}

TEST(PeModule, SectionLayoutsLinkersWrite)
{
    struct Row {
        const char* what;
        bool decoy;
        std::uint32_t slack;
        bool zeroVirtualSize;
        bool adjacent = false;
    };
    const Row rows[] = {
        // .rsrc lies inside the raw data of the section before it, past that one's virtual size.
        {"resource data past another section's virtual size", true, 0, false},
        {"raw size padded past the virtual size", false, 0x400, false},
        {"virtual size 0 stands for the raw size", false, 0, true},
        {"resources starting where the section before ends", false, 0, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        PeOptions o;
        o.decoySection = row.decoy;
        o.rawSlack = row.slack;
        o.adjacentSection = row.adjacent;
        Bytes b = peModule(numberedGroups(3), o);
        if (row.zeroVirtualSize)
            put32(b, o.sectionHeaderAt + 8, 0);
        EXPECT_EQ(centres(IconSource::fromBytes(b)), (std::vector<Argb>{kColours[0], kColours[1], kColours[2]}));
    }
}
