// The bytes of written files: whole files at 24 bits, header fields, sizes and offsets at 1, 4, 8.

#include "icons/write_icon.h"
#include "icons/raster_ops.h"
#include "writer_test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>

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
std::vector<std::uint8_t> expected24(const Bitmap& picture)
{
    std::vector<std::uint8_t> bytes = kHead24;
    for (int row = 0; row < 32; ++row) {
        const int y = 31 - row;
        for (int x = 0; x < 32; ++x) {
            const ColorRef c = picture.pixel(x, y) == kKey ? 0 : picture.pixel(x, y);
            bytes.push_back(static_cast<std::uint8_t>(BlueOf(c)));
            bytes.push_back(static_cast<std::uint8_t>(GreenOf(c)));
            bytes.push_back(static_cast<std::uint8_t>(RedOf(c)));
        }
    }
    for (int row = 0; row < 32; ++row) {
        const int y = 31 - row;
        for (int byte = 0; byte < 4; ++byte) {
            std::uint8_t value = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (picture.pixel(byte * 8 + bit, y) == kKey)
                    value = static_cast<std::uint8_t>(value | (0x80 >> bit));
            bytes.push_back(value);
        }
    }
    return bytes;
}

class WriterFiles : public ::testing::Test {
protected:
    std::string pathFor(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    std::vector<std::uint8_t> save(const Bitmap& picture, int depth, const std::string& name = "icon.ico")
    {
        const std::string path = pathFor(name);
        SaveIcon(reporter, path, picture, depth);
        EXPECT_TRUE(reporter.reports.empty()) << reporter.reports.front().label << reporter.reports.front().line;
        return readBytes(path);
    }

    QTemporaryDir dir;
    RecordingReporter reporter;
};

const Bitmap kNoKey = makePicture([](int x, int y) { return Rgb(x * 8, y * 8, (x + y) * 4); });
const Bitmap kOnlyKey = makePicture([](int, int) { return kKey; });
const Bitmap kGradient = makePicture([](int x, int y) {
    return (x == y) ? kKey : Rgb(255 - x * 8, 255 - y * 8, x * y % 256);
});

} // namespace

TEST_F(WriterFiles, Golden24BitPicturesMatchByteForByte)
{
    // Near-key colours, black and white stay opaque.
    const Bitmap mixed = makePicture([](int x, int y) {
        switch ((x + 3 * y) % 5) {
        case 0: return kKey;
        case 1: return Rgb(197, 197, 198);
        case 2: return kBlack;
        case 3: return kWhite;
        default: return Rgb(196, 197, 197);
        }
    });
    for (const Bitmap* picture : {&kNoKey, &kOnlyKey, &kGradient, &mixed}) {
        const auto bytes = save(*picture, 24);
        ASSERT_EQ(bytes.size(), 3266u);
        EXPECT_EQ(bytes, expected24(*picture));
    }
}

TEST_F(WriterFiles, NoKeyGivesClearMaskAndOnlyKeyGivesBlackAndFullMask)
{
    auto bytes = save(kNoKey, 24);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 128, bytes.end()), std::vector<std::uint8_t>(128, 0x00));

    bytes = save(kOnlyKey, 24);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 66, bytes.begin() + 3138), std::vector<std::uint8_t>(3072, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 128, bytes.end()), std::vector<std::uint8_t>(128, 0xFF));
}

TEST_F(WriterFiles, TopLeftPixelIsStoredInTheLastRows)
{
    Bitmap picture(32, 32);
    picture.setPixel(0, 0, 10, 20, 30);
    auto bytes = save(picture, 24);
    EXPECT_EQ(bytes[3042], 30);
    EXPECT_EQ(bytes[3043], 20);
    EXPECT_EQ(bytes[3044], 10);
    EXPECT_EQ(bytes[3262], 0x00);

    picture.setPixel(0, 0, kKey);
    bytes = save(picture, 24);
    EXPECT_EQ(bytes[3042] | bytes[3043] | bytes[3044], 0);
    EXPECT_EQ(bytes[3262], 0x80);
    EXPECT_EQ(bytes[3263], 0x00);
    EXPECT_EQ(bytes[3138], 0x00); // the bottom row comes first
}

TEST_F(WriterFiles, LowerDepthFieldsSizesAndOffsets)
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
    Bitmap picture(32, 32);
    picture.setPixel(0, 0, kWhite);
    picture.setPixel(1, 0, kKey);

    for (const Expect& e : cases) {
        SCOPED_TRACE(e.depth);
        const auto b = save(picture, e.depth);
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
        const auto palette = PaletteForDepth(e.depth);
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

TEST_F(WriterFiles, EightBitIndicesReachBeyondTheSixteenVgaColours)
{
    // Colours of the colour cube and the grey ramp, each with its index in the 8-bit table.
    struct Entry {
        ColorRef colour;
        std::uint8_t index;
    };
    const Entry entries[] = {
        {Rgb(51, 102, 153), 67},  {Rgb(204, 153, 51), 179}, {Rgb(0, 51, 0), 22},   {Rgb(255, 204, 255), 225},
        {Rgb(153, 0, 204), 128},  {Rgb(18, 18, 18), 233},    {Rgb(238, 238, 238), 255}, {Rgb(255, 0, 0), 9},
    };
    const Bitmap picture = makePicture([&](int x, int y) { return entries[(x + y) % 8].colour; });
    const auto b = save(picture, 8);
    ASSERT_EQ(b.size(), 2238u);
    for (const Entry& e : entries) {
        const std::size_t at = 62 + 4 * std::size_t{e.index};
        EXPECT_EQ(b[at], BlueOf(e.colour));
        EXPECT_EQ(b[at + 1], GreenOf(e.colour));
        EXPECT_EQ(b[at + 2], RedOf(e.colour));
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(b[1086 + (31 - y) * 32 + x], entries[(x + y) % 8].index) << x << "," << y;
}

TEST_F(WriterFiles, SavingTwiceKeepsOnlyTheSecondPicture)
{
    save(kNoKey, 24, "same.ico");
    const auto second = save(kGradient, 24, "same.ico");
    EXPECT_EQ(second, expected24(kGradient));
    // Nothing else (no leftover temporary file) is in the folder.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path().toStdString()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(WriterFiles, OtherDepthsWriteNothingAndReportNothing)
{
    for (int depth : {0, 2, 16, 32, -1}) {
        const std::string path = pathFor("d" + std::to_string(depth) + ".ico");
        SaveIcon(reporter, path, kNoKey, depth);
        EXPECT_FALSE(std::filesystem::exists(path)) << depth;
    }
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path().toStdString()));
}

TEST_F(WriterFiles, OnlyTopLeft32x32OfALargerPictureIsUsedAndASmallerOneIsPaddedBlack)
{
    Bitmap large(40, 36);
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 40; ++x)
            large.setPixel(x, y, x < 32 && y < 32 ? kNoKey.pixel(x, y) : kKey);
    EXPECT_EQ(save(large, 24), expected24(kNoKey));

    Bitmap small(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            small.setPixel(x, y, (x + y) % 2 ? kKey : kWhite);
    const Bitmap padded = makePicture([&](int x, int y) { return x < 8 && y < 8 ? small.pixel(x, y) : kBlack; });
    EXPECT_EQ(save(small, 24), expected24(padded));
}
