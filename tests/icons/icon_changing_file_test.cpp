// Files that another program shrinks, grows or rewrites while the reader has them open: the
// icons still in them, or none, never a crash (a mapped file would end the process here).
#include "icon_test_files.h"

#include "icons/icon_extractor.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace gg;
using namespace gg::test;

namespace {

void writeBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Another program writing over the file in place: same file, new bytes.
void rewriteInPlace(const std::string& path, const Bytes& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// Takes every icon the way the extraction run does; each must be a whole 32 x 32 image.
std::vector<RgbaImage> takeAll(const IconSource& source)
{
    std::vector<RgbaImage> icons;
    const int count = source.count();
    for (int i = 0; i < count; ++i) {
        icons.push_back(source.icon(i));
        EXPECT_TRUE(icons.back().width == 32 && icons.back().height == 32) << "icon " << i;
    }
    EXPECT_TRUE(source.icon(count).isNull());
    return icons;
}

const char* const kFixtures[] = {"sizes.ico", "pointer.cur", "spinner.ani", "icons32.dll", "tool.exe", "shapes.icl"};

class ChangingFile : public ::testing::Test {
protected:
    std::string path(const char* name) { return dir.filePath(name); }
    TempDir dir;
};

} // namespace

TEST_F(ChangingFile, CutBetweenOpeningAndReading)
{
    for (const char* name : kFixtures) {
        const Bytes bytes = readFile(dataPath(name));
        const std::size_t all = takeAll(IconSource::fromBytes(bytes)).size();
        const std::string file = path(name);
        // Cuts through the headers, the directory and the images alike.
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 37) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(cut));
            writeBytes(file, bytes);
            const IconSource source = IconSource::open(file);
            ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(cut)), 0);
            EXPECT_LE(takeAll(source).size(), all);
        }
    }
}

TEST_F(ChangingFile, CutBetweenIcons)
{
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        const Bytes bytes = readFile(dataPath(name));
        const std::vector<RgbaImage> all = takeAll(IconSource::fromBytes(bytes));
        const std::string file = path(name);

        // After count() every icon is decoded: the cut takes none of them away.
        writeBytes(file, bytes);
        IconSource counted = IconSource::open(file);
        ASSERT_EQ(counted.count(), static_cast<int>(all.size()));
        ASSERT_EQ(::truncate(file.c_str(), 0), 0);
        EXPECT_EQ(takeAll(counted), all);

        // After the first icon the rest are read from what is left.
        for (std::size_t cut : {std::size_t{0}, bytes.size() / 2, bytes.size() - 1}) {
            writeBytes(file, bytes);
            IconSource source = IconSource::open(file);
            const RgbaImage first = source.icon(0);
            ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(cut)), 0);
            const std::vector<RgbaImage> rest = takeAll(source);
            ASSERT_FALSE(rest.empty());
            EXPECT_EQ(rest.front(), first);
            EXPECT_LE(rest.size(), all.size());
        }
    }
}

TEST_F(ChangingFile, ImageCutAfterTheDirectoryWasReadGivesNoIcon)
{
    struct Row {
        const char* what;
        int side;          // a 32-bit image: 9448 bytes at 48, 16936 at 64
        std::size_t at;    // where it starts
        off_t cut;         // where the file ends when the image is read
    };
    const Row rows[] = {
        {"an image inside a block, cut in its middle", 48, 17000, 20000},
        {"an image across two blocks, cut at the second", 48, 12000, 16384},
        {"an image longer than a block, cut in its middle", 64, 1000, 9000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Bytes image = solidDib({row.side, row.side, 32, argb(0, 90, 200, 255)});
        Bytes bytes = iconFileOfImages({image});
        bytes.resize(row.at, 0);
        append(bytes, image);
        put32(bytes, 6 + 12, static_cast<std::uint32_t>(row.at));
        const std::string file = path("cut.ico");
        writeBytes(file, bytes);
        ASSERT_EQ(IconSource::open(file).count(), 1);

        const IconSource source = IconSource::open(file);
        ASSERT_EQ(source.kind(), FileKind::Icon); // the directory is read, the image not yet
        ASSERT_EQ(::truncate(file.c_str(), row.cut), 0);
        EXPECT_EQ(source.count(), 0);
    }
}

TEST_F(ChangingFile, GrownOrRewritten)
{
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        const Bytes bytes = readFile(dataPath(name));
        const std::vector<RgbaImage> all = takeAll(IconSource::fromBytes(bytes));
        const std::string file = path(name);

        // Bytes appended meanwhile change nothing.
        writeBytes(file, bytes);
        IconSource grown = IconSource::open(file);
        Bytes longer = bytes;
        longer.resize(bytes.size() + 100000, 0xA5);
        rewriteInPlace(file, longer);
        EXPECT_EQ(takeAll(grown), all);

        // Another file's bytes written over it, before the first read and between icons.
        for (const char* other : kFixtures) {
            SCOPED_TRACE(other);
            const Bytes replacement = readFile(dataPath(other));
            writeBytes(file, bytes);
            IconSource before = IconSource::open(file);
            rewriteInPlace(file, replacement);
            takeAll(before);

            writeBytes(file, bytes);
            IconSource between = IconSource::open(file);
            between.icon(0);
            rewriteInPlace(file, replacement);
            takeAll(between);
        }
    }
}
