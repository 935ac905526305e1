// The encoder's bytes: whole files at 24 bits, header fields, sizes and offsets at 1, 4, 8, the
// colour tables; and the picture the save commands hand it.

#include "encoder_test_support.h"
#include "icons/saved_picture.h"

#include <gtest/gtest.h>

#include <random>

using namespace gg;
using namespace gg::test;

namespace {

// The first 66 bytes of every 24-bit file.
const std::vector<std::uint8_t> kHead24{
    0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x20, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xac, 0x0c,
    0x00, 0x00, 0x16, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x40, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x81, 0x04, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x20,
    0x20, 0x20,
};

// The whole 24-bit file stated independently: bottom row first, blue-green-red, key colour
// black in the colour bitmap and 1 in the mask.
std::vector<std::uint8_t> expected24(const IconPicture& picture)
{
    std::vector<std::uint8_t> bytes = kHead24;
    for (int row = 0; row < 32; ++row) {
        const int y = 31 - row;
        for (int x = 0; x < 32; ++x) {
            const std::uint32_t c = picture.at(x, y) == kKey ? 0 : picture.at(x, y);
            bytes.push_back(static_cast<std::uint8_t>(blueOf(c)));
            bytes.push_back(static_cast<std::uint8_t>(greenOf(c)));
            bytes.push_back(static_cast<std::uint8_t>(redOf(c)));
        }
    }
    for (int row = 0; row < 32; ++row) {
        const int y = 31 - row;
        for (int byte = 0; byte < 4; ++byte) {
            std::uint8_t value = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (picture.at(byte * 8 + bit, y) == kKey)
                    value = static_cast<std::uint8_t>(value | (0x80 >> bit));
            bytes.push_back(value);
        }
    }
    return bytes;
}

const IconPicture kNoKey = makePicture([](int x, int y) { return rgb(x * 8, y * 8, (x + y) * 4); });
const IconPicture kOnlyKey = makePicture([](int, int) { return kKey; });
const IconPicture kGradient = makePicture([](int x, int y) {
    return (x == y) ? kKey : rgb(255 - x * 8, 255 - y * 8, x * y % 256);
});

} // namespace

TEST(IcoEncoder, Golden24BitPicturesMatchByteForByte)
{
    // Near-key colours, black and white stay opaque.
    const IconPicture mixed = makePicture([](int x, int y) {
        switch ((x + 3 * y) % 5) {
        case 0: return kKey;
        case 1: return rgb(197, 197, 198);
        case 2: return kBlack;
        case 3: return kWhite;
        default: return rgb(196, 197, 197);
        }
    });
    for (const IconPicture* picture : {&kNoKey, &kOnlyKey, &kGradient, &mixed}) {
        const auto bytes = encoded(*picture, 24);
        ASSERT_EQ(bytes.size(), 3266u);
        EXPECT_EQ(bytes, expected24(*picture));
    }
}

TEST(IcoEncoder, NoKeyGivesClearMaskAndOnlyKeyGivesBlackAndFullMask)
{
    auto bytes = encoded(kNoKey, 24);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 128, bytes.end()), std::vector<std::uint8_t>(128, 0x00));

    bytes = encoded(kOnlyKey, 24);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 66, bytes.begin() + 3138), std::vector<std::uint8_t>(3072, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 128, bytes.end()), std::vector<std::uint8_t>(128, 0xFF));
}

TEST(IcoEncoder, TopLeftPixelIsStoredInTheLastRows)
{
    IconPicture picture;
    picture.set(0, 0, rgb(10, 20, 30));
    auto bytes = encoded(picture, 24);
    EXPECT_EQ(bytes[3042], 30);
    EXPECT_EQ(bytes[3043], 20);
    EXPECT_EQ(bytes[3044], 10);
    EXPECT_EQ(bytes[3262], 0x00);

    picture.set(0, 0, kKey);
    bytes = encoded(picture, 24);
    EXPECT_EQ(bytes[3042] | bytes[3043] | bytes[3044], 0);
    EXPECT_EQ(bytes[3262], 0x80);
    EXPECT_EQ(bytes[3263], 0x00);
    EXPECT_EQ(bytes[3138], 0x00); // the bottom row comes first
}

TEST(IcoEncoder, LowerDepthFieldsSizesAndOffsets)
{
    struct Expect {
        int depth;
        std::uint8_t colourCount;
        std::uint16_t entryPlanes, entryBits;
        std::uint32_t bytesInImage, imageSize, coloursUsed;
        std::size_t bitsAt, rowBytes, maskAt, fileSize;
    };
    const Expect cases[] = {
        {1, 0, 5, 7, 304, 128, 0, 70, 4, 198, 326},
        {4, 16, 0, 0, 744, 2, 0, 126, 16, 638, 766},
        {8, 0, 0, 0, 2216, 1152, 256, 1086, 32, 2110, 2238},
    };
    // Top-left white, the pixel beside it the key colour, the rest black.
    IconPicture picture;
    picture.set(0, 0, kWhite);
    picture.set(1, 0, kKey);

    for (const Expect& e : cases) {
        SCOPED_TRACE(e.depth);
        const auto b = encoded(picture, e.depth);
        ASSERT_EQ(b.size(), e.fileSize);
        EXPECT_EQ(u16At(b, 0), 0);
        EXPECT_EQ(u16At(b, 2), 1);
        EXPECT_EQ(u16At(b, 4), 1);
        EXPECT_EQ(b[6], 32);
        EXPECT_EQ(b[7], 32);
        EXPECT_EQ(b[8], e.colourCount);
        EXPECT_EQ(b[9], 0);
        EXPECT_EQ(u16At(b, 10), e.entryPlanes);
        EXPECT_EQ(u16At(b, 12), e.entryBits);
        EXPECT_EQ(u32At(b, 14), e.bytesInImage);
        EXPECT_EQ(u32At(b, 14) + 22, b.size());
        EXPECT_EQ(u32At(b, 18), 22u);
        EXPECT_EQ(u32At(b, 22), 40u);
        EXPECT_EQ(u32At(b, 26), 32u);
        EXPECT_EQ(u32At(b, 30), 64u);
        EXPECT_EQ(u16At(b, 34), 1);
        EXPECT_EQ(u16At(b, 36), e.depth);
        EXPECT_EQ(u32At(b, 38), 0u);
        EXPECT_EQ(u32At(b, 42), e.imageSize);
        EXPECT_EQ(u32At(b, 46), 0u);
        EXPECT_EQ(u32At(b, 50), 0u);
        EXPECT_EQ(u32At(b, 54), e.coloursUsed);
        EXPECT_EQ(u32At(b, 58), 0u);

        // The colour table holds the depth's fixed table, blue-green-red-reserved.
        const auto palette = icoPalette(e.depth);
        ASSERT_EQ(e.bitsAt - 62, palette.size() * 4);
        for (std::size_t i = 0; i < palette.size(); ++i) {
            EXPECT_EQ(b[62 + 4 * i], palette[i].blue);
            EXPECT_EQ(b[62 + 4 * i + 1], palette[i].green);
            EXPECT_EQ(b[62 + 4 * i + 2], palette[i].red);
            EXPECT_EQ(b[62 + 4 * i + 3], 0);
        }

        // Last colour row holds the top row: white then black (the key became black), index 0 being black.
        const std::size_t top = e.bitsAt + 31 * e.rowBytes;
        switch (e.depth) {
        case 1: EXPECT_EQ(b[top], 0x80); break;
        case 4: EXPECT_EQ(b[top], 0xF0); break; // white is entry 15
        case 8: EXPECT_EQ(b[top], 15); EXPECT_EQ(b[top + 1], 0); break;
        }
        for (std::size_t i = e.bitsAt; i < top; ++i)
            ASSERT_EQ(b[i], 0) << i;

        // Mask: the key pixel at x = 1 of the top row, in the last mask row.
        EXPECT_EQ(e.maskAt + 128, b.size());
        EXPECT_EQ(b[e.maskAt + 124], 0x40);
        for (std::size_t i = e.maskAt; i < e.maskAt + 124; ++i)
            ASSERT_EQ(b[i], 0) << i;
    }
}

TEST(IcoEncoder, EightBitIndicesReachBeyondTheSixteenVgaColours)
{
    // Colours of the colour cube and the grey ramp, each with its index in the 8-bit table.
    struct Entry {
        std::uint32_t colour;
        std::uint8_t index;
    };
    const Entry entries[] = {
        {rgb(51, 102, 153), 67},  {rgb(204, 153, 51), 179}, {rgb(0, 51, 0), 22},   {rgb(255, 204, 255), 225},
        {rgb(153, 0, 204), 128},  {rgb(18, 18, 18), 233},    {rgb(238, 238, 238), 255}, {rgb(255, 0, 0), 9},
    };
    const IconPicture picture = makePicture([&](int x, int y) { return entries[(x + y) % 8].colour; });
    const auto b = encoded(picture, 8);
    ASSERT_EQ(b.size(), 2238u);
    for (const Entry& e : entries) {
        const std::size_t at = 62 + 4 * std::size_t{e.index};
        EXPECT_EQ(b[at], blueOf(e.colour));
        EXPECT_EQ(b[at + 1], greenOf(e.colour));
        EXPECT_EQ(b[at + 2], redOf(e.colour));
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(b[1086 + (31 - y) * 32 + x], entries[(x + y) % 8].index) << x << "," << y;
}

TEST(IcoEncoder, OtherDepthsGiveNothing)
{
    for (int depth : {0, 2, 16, 32, -1})
        EXPECT_FALSE(encodeIco(kNoKey, depth).has_value()) << depth;
}

TEST(IcoEncoder, EveryColourTakesTheNearestEntryOfItsDepthsTable)
{
    for (int depth : {1, 4, 8}) {
        ASSERT_EQ(icoPalette(depth).size(), depth == 1 ? 2u : depth == 4 ? 16u : 256u);
        EXPECT_EQ(icoPalette(depth)[0].red + icoPalette(depth)[0].green + icoPalette(depth)[0].blue, 0) << "black first";
    }
    EXPECT_TRUE(icoPalette(24).empty());

    // Random colours, each pixel's index checked against every entry of the table; a few colours
    // with a known entry: a near-key silver, a cube colour, and a tie that the lower index wins.
    std::mt19937 random(7);
    IconPicture picture = makePicture([&](int, int) { return random() & 0xFFFFFF; });
    picture.set(0, 31, rgb(197, 197, 196));
    picture.set(1, 31, rgb(204, 102, 51));
    picture.set(2, 31, rgb(100, 100, 100));
    for (int depth : {1, 4, 8}) {
        SCOPED_TRACE(depth);
        const auto b = encoded(picture, depth);
        const auto table = icoPalette(depth);
        const std::size_t bitsAt = 62 + 4 * table.size();
        auto indexAt = [&](int x, int y) -> std::size_t {
            const std::size_t row = bitsAt + static_cast<std::size_t>(31 - y) * static_cast<std::size_t>(depth * 4);
            const std::size_t bit = static_cast<std::size_t>(x * depth);
            return (b[row + bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
        };
        auto distance = [](std::uint32_t c, const PaletteEntry& q) {
            const int dr = redOf(c) - q.red, dg = greenOf(c) - q.green, db = blueOf(c) - q.blue;
            return dr * dr + dg * dg + db * db;
        };
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const std::uint32_t c = picture.at(x, y);
                const int chosen = distance(c, table[indexAt(x, y)]);
                for (const PaletteEntry& q : table)
                    ASSERT_LE(chosen, distance(c, q)) << x << "," << y;
            }
        if (depth == 4)
            EXPECT_EQ(indexAt(0, 31), 7u); // silver
        if (depth == 8) {
            EXPECT_EQ(indexAt(1, 31), 16u + 36 * 4 + 6 * 2 + 1);
            // Cube grey 102 and ramp grey 98 are equally near: the lower index wins.
            EXPECT_EQ(indexAt(2, 31), 16u + 36 * 2 + 6 * 2 + 2);
        }
    }
}

TEST(SavedPicture, TheIconsTopLeftOverTheKeyColour)
{
    // Larger than 32 x 32: its top-left square; opaque, clear and half-clear pixels.
    RgbaImage icon(40, 36);
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x)
            icon.set(x, y, {10, 200, 30, 255});
    icon.set(0, 0, {0, 0, 0, 0});
    icon.set(1, 0, {0, 0, 255, 128});
    icon.set(33, 33, {0, 0, 0, 0});
    const IconPicture picture = savedPicture(icon);
    EXPECT_EQ(picture.at(0, 0), kKey);
    EXPECT_EQ(picture.at(1, 0), rgb(98, 98, 226)) << "blended over the key colour";
    EXPECT_EQ(picture.at(31, 31), rgb(10, 200, 30));

    // Smaller: the key colour around it, so the rest comes out transparent.
    RgbaImage small(8, 8);
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            small.set(x, y, {255, 255, 255, 255});
    const IconPicture padded = savedPicture(small);
    EXPECT_EQ(padded.at(7, 7), kWhite);
    EXPECT_EQ(padded.at(8, 0), kKey);
    EXPECT_EQ(padded.at(31, 31), kKey);
}
