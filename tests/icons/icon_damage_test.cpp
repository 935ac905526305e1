// One test per kind of damage: which error comes back, and what still comes out.
#include "icon_test_files.h"

#include "icons/icon_extractor.h"
#include "icons/icon_formats.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace gg;
using namespace gg::test;

namespace {

bool reported(const IconSource& source, ReadError error)
{
    for (const ReadFailure& f : source.problems())
        if (f.error == error)
            return true;
    return false;
}

// Counts first, so that every group has been looked at; a source that keeps no pictures numbers
// the same icons and finds the same problems.
::testing::AssertionResult gives(const Bytes& bytes, int icons, ReadError error)
{
    IconSource source = IconSource::fromBytes(bytes);
    const int count = source.count();
    if (count != icons)
        return ::testing::AssertionFailure() << count << " icons instead of " << icons;
    IconSource groupsOnly = IconSource::fromBytes(bytes, IconSource::Icons::NotKept);
    if (groupsOnly.count() != icons || groupsOnly.problems().size() != source.problems().size())
        return ::testing::AssertionFailure() << "without pictures: " << groupsOnly.count() << " icons, "
                                             << groupsOnly.problems().size() << " problems";
    if (!reported(source, error)) {
        auto failure = ::testing::AssertionFailure() << "missing \"" << describeReadError(error) << "\"; got:";
        for (const ReadFailure& f : source.problems())
            failure << " \"" << describeReadError(f.error) << "\" at " << f.offset << ";";
        return failure;
    }
    return ::testing::AssertionSuccess();
}

const Argb kRed = argb(255, 0, 0), kGreen = argb(0, 200, 0), kBlue = argb(0, 0, 255);

std::vector<PeGroup> threeGroups()
{
    return {{"", 1, {{32, 32, 24, kRed}}}, {"", 2, {{32, 32, 24, kGreen}}}, {"", 3, {{32, 32, 24, kBlue}}}};
}

} // namespace

TEST(IconFileDamage, AFileTooShortForTheHeaderIsAnIconFileOnlyWhenItBeginsLikeOne)
{
    // Short text says what a longer one says; the start of a real header is a damaged icon.
    for (const Bytes& text : {Bytes{'h'}, Bytes{'h', 'i', '\n'}, Bytes{0, 0, 'x'}, Bytes{'1', '2', '3', '4', '5'}})
        EXPECT_TRUE(gives(text, 0, ReadError::UnknownFormat)) << text.size();
    for (const Bytes& start : {Bytes{0}, Bytes{0, 0, 1}, Bytes{0, 0, 2, 0, 1}})
        EXPECT_TRUE(gives(start, 0, ReadError::Truncated)) << start.size();
}

TEST(IconFileDamage, DirectoryAndImages)
{
    const Bytes good = iconFile({{32, 32, 8, kRed}});
    ASSERT_EQ(IconSource::fromBytes(good).count(), 1);

    Bytes b = good;
    put16(b, 4, 0); // no entries
    EXPECT_TRUE(gives(b, 0, ReadError::NoIcons));
    b = good;
    put16(b, 4, 5000); // more entries than the file holds
    EXPECT_TRUE(gives(b, 0, ReadError::BadIconDirectory));
    b = good;
    put32(b, 6 + 12, 0x7FFFFFF0); // image offset past the end
    EXPECT_TRUE(gives(b, 0, ReadError::Truncated));
    b = good;
    b.resize(b.size() - 600); // colour bits cut short
    EXPECT_TRUE(gives(b, 0, ReadError::Truncated));
    b = good;
    put32(b, 6 + 8, 100); // byte count smaller than the image: the count is the limit
    EXPECT_TRUE(gives(b, 0, ReadError::Truncated));
    b = good;
    put16(b, 22 + 14, 7); // bits per pixel
    EXPECT_TRUE(gives(b, 0, ReadError::UnsupportedBitmap));
    b = good;
    put32(b, 22 + 16, 1); // run-length compression
    EXPECT_TRUE(gives(b, 0, ReadError::UnsupportedBitmap));
    b = good;
    put32(b, 22 + 4, 100000); // width
    EXPECT_TRUE(gives(b, 0, ReadError::ImageTooLarge));
    b = good;
    put32(b, 22 + 8, 0xFFFFFFC0); // negative height
    EXPECT_TRUE(gives(b, 0, ReadError::BadBitmapHeader));
    b = good;
    put32(b, 22 + 32, 100000); // colours used
    EXPECT_TRUE(gives(b, 0, ReadError::BadBitmapHeader));
    b = good;
    put32(b, 22, 12); // header too small to be a BITMAPINFOHEADER
    EXPECT_TRUE(gives(b, 0, ReadError::BadBitmapHeader));
}

TEST(IconFileDamage, BrokenPngStreams)
{
    Bytes b = iconFile({{48, 48, 32, kRed, true}});
    const std::size_t png = 6 + 16;
    Bytes corrupt = b;
    for (std::size_t i = png + 40; i < corrupt.size() - 12; ++i)
        corrupt[i] ^= 0x5A; // inside IDAT
    EXPECT_TRUE(gives(corrupt, 0, ReadError::BadPng));
    Bytes huge = b;
    put32(huge, png + 16, 0x00010000); // IHDR width 65536 (big-endian bytes 00 01 00 00)
    std::swap(huge[png + 16], huge[png + 19]);
    std::swap(huge[png + 17], huge[png + 18]);
    EXPECT_TRUE(gives(huge, 0, ReadError::ImageTooLarge));
}

TEST(IconFileDamage, BestImageBrokenFallsBackToTheNext)
{
    // The 32-bit image keeps a sound header but loses its pixels; the 8-bit one stands in.
    Bytes b = iconFile({{32, 32, 32, kRed}, {32, 32, 8, kGreen}});
    put32(b, 6 + 8, 60);
    EXPECT_EQ(pixelAt(IconSource::fromBytes(b).icon(0), 16, 16), kGreen);
    // Its header claims 3 bits per pixel: it is not even a candidate.
    b = iconFile({{32, 32, 32, kRed}, {32, 32, 8, kGreen}});
    put16(b, 6 + 32 + 14, 3);
    EXPECT_EQ(pixelAt(IconSource::fromBytes(b).icon(0), 16, 16), kGreen);
}

TEST(PeDamage, Headers)
{
    PeOptions o;
    const Bytes good = peModule(threeGroups(), o);
    ASSERT_EQ(IconSource::fromBytes(good).count(), 3);

    Bytes b = good;
    put32(b, 0x3C, 0xFFFFFF00); // new header offset outside the file
    EXPECT_TRUE(gives(b, 0, ReadError::UnknownFormat));
    b = good;
    put16(b, 0x80 + 24, 0x0107); // optional header magic
    EXPECT_TRUE(gives(b, 0, ReadError::BadPeHeader));
    b = good;
    put16(b, 0x80 + 6, 0xFFFF); // section count beyond the file
    EXPECT_TRUE(gives(b, 0, ReadError::BadPeHeader));
    b = good;
    put32(b, o.resourceDirAt, 0x9000); // resource RVA in no section
    EXPECT_TRUE(gives(b, 0, ReadError::BadPeHeader));
    b = good;
    put32(b, o.resourceDirAt, 0);
    EXPECT_TRUE(gives(b, 0, ReadError::NoIcons));
    b = good;
    put16(b, 0x80 + 20, 8); // optional header too short to hold the data directories
    EXPECT_TRUE(gives(b, 0, ReadError::NoIcons));
}

TEST(PeDamage, ResourceTree)
{
    PeOptions o;
    const Bytes good = peModule(threeGroups(), o);

    Bytes b = good;
    put32(b, o.groupTypeEntryAt + 4, 0x80000000u); // group type directory is the root again
    EXPECT_TRUE(gives(b, 0, ReadError::ResourceLoop));
    b = good;
    put32(b, o.groupTypeEntryAt + 4, 0x8FFFFFF0u); // subdirectory outside the section
    EXPECT_TRUE(gives(b, 0, ReadError::BadResourceTree));
    b = good;
    put16(b, 0x400 + 14, 0xFFFF); // root claims 65535 entries
    EXPECT_TRUE(gives(b, 0, ReadError::BadResourceTree));
    b = good;
    // The second group's language entry points at a directory: one level too deep.
    put32(b, o.groupLanguageEntryAt[1] + 4, 0x80000000u | (get32(b, o.groupLanguageEntryAt[0] + 4)));
    EXPECT_TRUE(gives(b, 2, ReadError::ResourceTooDeep));
    b = good;
    put32(b, o.groupLanguageEntryAt[1] + 4, 0x7FFFFFF0u); // data entry outside the section
    EXPECT_TRUE(gives(b, 2, ReadError::BadResourceTree));
}

TEST(PeDamage, DamagedGroupIsPassedOverAndLaterGroupsMoveUp)
{
    PeOptions o;
    Bytes b = peModule(threeGroups(), o);
    put16(b, o.groupBodyAt[1] + 6 + 12, 77); // the middle group names an icon that is not there
    EXPECT_TRUE(gives(b, 2, ReadError::MissingImage));
    IconSource source = IconSource::fromBytes(b);
    EXPECT_EQ(pixelAt(source.icon(0), 16, 16), kRed);
    EXPECT_EQ(pixelAt(source.icon(1), 16, 16), kBlue);
    EXPECT_TRUE(source.icon(2).isNull());
    IconSource groupsOnly = IconSource::fromBytes(b, IconSource::Icons::NotKept);
    ASSERT_NE(groupsOnly.group(1), nullptr);
    EXPECT_EQ(groupsOnly.group(1)->identity.number, 3);
    EXPECT_EQ(groupsOnly.group(2), nullptr);
    EXPECT_TRUE(groupsOnly.icon(0).isNull());

    b = peModule(threeGroups(), o);
    put16(b, o.groupBodyAt[0] + 4, 400); // group count beyond its data
    EXPECT_TRUE(gives(b, 2, ReadError::BadIconDirectory));

    b = peModule(threeGroups(), o);
    put32(b, o.iconBodyAt[2] + 4, 64); // the last group's only image now has a short header field
    put32(b, o.iconBodyAt[2] + 8, 128);
    put16(b, o.iconBodyAt[2] + 14, 32);
    EXPECT_TRUE(gives(b, 2, ReadError::Truncated));
}

TEST(PeDamage, PeThirtyTwoPlusReadsTheSame)
{
    PeOptions o;
    o.pe32Plus = true;
    Bytes b = peModule(threeGroups(), o);
    IconSource source = IconSource::fromBytes(b);
    EXPECT_EQ(source.kind(), FileKind::Pe32Plus);
    EXPECT_EQ(source.count(), 3);
}

TEST(NeDamage, ResourceTable)
{
    const Bytes good = readFile(dataPath("shapes.icl"));
    ASSERT_EQ(IconSource::fromBytes(good).count(), 3);
    const std::size_t ne = get32(good, 0x3C);
    const std::size_t table = ne + get16(good, ne + 0x24);

    Bytes b = good;
    put16(b, table, 40); // alignment shift
    EXPECT_TRUE(gives(b, 0, ReadError::BadNeHeader));
    b = good;
    put16(b, table + 2 + 2, 0x7FFF); // icon count runs past the file
    EXPECT_TRUE(gives(b, 0, ReadError::BadNeHeader));
    b = good;
    b.resize(ne + 0x20); // NE header cut short
    EXPECT_TRUE(gives(b, 0, ReadError::BadNeHeader));
    b = good;
    put16(b, ne + 0x24, get16(b, ne + 0x26)); // empty resource table
    EXPECT_TRUE(gives(b, 0, ReadError::NoIcons));

    // The first group's first entry names a missing icon; its other entries are absent too, so
    // the group is passed over and the two after it move up.
    const std::size_t iconCount = get16(good, table + 2 + 2);
    const std::size_t groupInfo = table + 2 + 8 + 12 * iconCount;
    const std::size_t firstGroup = std::size_t{get16(good, groupInfo + 8)} << get16(good, table);
    b = good;
    put16(b, firstGroup + 6 + 12, 999);
    EXPECT_TRUE(gives(b, 2, ReadError::MissingImage));
    EXPECT_EQ(IconSource::fromBytes(b).icon(0), IconSource::open(dataPath("shapes.icl")).icon(1));
}

TEST(NeDamage, ImageLengthIsTheSmallerOfGroupAndTable)
{
    Bytes b = readFile(dataPath("shapes.icl"));
    const std::size_t ne = get32(b, 0x3C);
    const std::size_t table = ne + get16(b, ne + 0x24);
    // The table says the first icon is 16 bytes long: its group's larger byte count must not win.
    put16(b, table + 2 + 8 + 2, 1);
    EXPECT_TRUE(gives(b, 2, ReadError::Truncated));
}

TEST(AniDamage, NoFrameList)
{
    Bytes b = readFile(dataPath("spinner.ani"));
    auto at = std::search(b.begin(), b.end(), std::begin("fram"), std::end("fram") - 1);
    ASSERT_NE(at, b.end());
    *at = 'x';
    EXPECT_TRUE(gives(b, 0, ReadError::BadAniFile));
    // A RIFF size far beyond the file does not matter: the bytes present are read.
    b = readFile(dataPath("spinner.ani"));
    put32(b, 4, 0xFFFFFFF0);
    EXPECT_EQ(IconSource::fromBytes(b).count(), 1);
}

TEST(ReadErrorText, EveryCodeHasASentence)
{
    for (int e = static_cast<int>(ReadError::Truncated); e <= static_cast<int>(ReadError::NoUsableImage); ++e) {
        std::string text = describeReadError(static_cast<ReadError>(e));
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '.');
        EXPECT_NE(text, "Unknown error.");
    }
}
