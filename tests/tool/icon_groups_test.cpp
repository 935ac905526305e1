// The icon library's groups: the rebuilt .ico against icoutils' wrestool, and the picture rule.
#include "icons/icon_test_files.h"
#include "tool/wrestool_files.h"

#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"

#include <gtest/gtest.h>

#include <memory>

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

using namespace gg;
using namespace gg::test;

namespace {

std::string wrestoolName(const GroupIdentity& identity)
{
    if (identity.kind == GroupIdentity::Kind::Number)
        return std::to_string(identity.number);
    return QString::fromStdU16String(identity.name).toStdString();
}

} // namespace

TEST(RebuiltGroup, EqualsWrestoolsFileForEveryIconAndCursorGroupOfThePeAndNeFixtures)
{
    const QString wrestool = QStandardPaths::findExecutable("wrestool");
    if (wrestool.isEmpty())
        GTEST_SKIP() << "wrestool (icoutils) is not installed";
    const QStringList modules = QDir(GG_TEST_DATA).entryList({"*.dll", "*.exe", "*.icl"}, QDir::Files);
    int compared = 0, cursors = 0;
    for (const QString& module : modules) {
        for (const bool cursor : {false, true}) {
            SCOPED_TRACE(module.toStdString() + (cursor ? " cursors" : " icons"));
            QTemporaryDir out;
            QProcess process;
            process.start(wrestool, {"-x", cursor ? "-t12" : "-t14", "-o", out.path() + "/", QDir(GG_TEST_DATA).filePath(module)});
            ASSERT_TRUE(process.waitForFinished(30000));
            const IconSource source = IconSource::open(dataPath(module.toStdString()));
            const int count = cursor ? source.cursorCount() : source.count();
            // Every group of the fixtures is sound, so our groups are wrestool's.
            EXPECT_EQ(count, static_cast<int>(QDir(out.path()).entryList(QDir::Files).size()));
            for (int i = 0; i < count; ++i) {
                const IconGroup& group = cursor ? *source.cursorGroup(i) : *source.group(i);
                const std::string name = module.toStdString() + (cursor ? "_12_" : "_14_") + wrestoolName(group.identity) +
                                         (cursor ? ".cur" : ".ico");
                SCOPED_TRACE(name);
                Result<Bytes> ours = rebuildIconFile(group);
                ASSERT_TRUE(ours.ok());
                EXPECT_TRUE(sameAsWrestools(*ours, readFile(out.filePath(QString::fromStdString(name)).toStdString())));
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
    const QStringList files = QDir(GG_TEST_DATA).entryList({"*.ico", "*.cur"}, QDir::Files);
    ASSERT_GE(files.size(), 10);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const Bytes file = readFile(dataPath(name.toStdString()));
        Result<Bytes> rebuilt = rebuildIconFile(*IconSource::open(dataPath(name.toStdString())).group(0));
        ASSERT_TRUE(rebuilt.ok());
        EXPECT_EQ(*rebuilt, file);
    }
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
    MadeGroup& dib(int side, int bits, QRgb colour) { return add(solidDib({side, side, bits, colour, false})); }
    MadeGroup& png(const QImage& image)
    {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return add(Bytes(out.begin(), out.end()));
    }
};

// One-pixel black and white squares.
QImage checkerboard(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return image;
}

bool pure(QRgb p) { return p == qRgb(0, 0, 0) || p == qRgb(255, 255, 255); }

double pureShare(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += pure(image.pixel(x, y)) ? 1 : 0;
    return double(count) / (image.width() * image.height());
}

bool allOf(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour)
                return false;
    return true;
}

QImage pictureOf(const IconGroup& group, int side)
{
    Result<QImage> picture = pictureAt(group, side);
    if (!picture)
        return {};
    EXPECT_EQ(picture->size(), QSize(side, side));
    EXPECT_EQ(picture->format(), QImage::Format_ARGB32);
    return *picture;
}

} // namespace

TEST(Picture, ExactSizeOfTheBestDepthElseWholeFactorUpFromTheLargest)
{
    const QImage board = checkerboard(256);
    MadeGroup made;
    made.dib(16, 4, qRgb(0, 0, 255)).dib(16, 32, qRgb(0, 255, 0)).dib(48, 24, qRgb(255, 0, 0)).png(board);
    EXPECT_TRUE(allOf(pictureOf(made.group, 16), qRgb(0, 255, 0))) << "32 bits win over 4";
    EXPECT_TRUE(allOf(pictureOf(made.group, 48), qRgb(255, 0, 0)));
    EXPECT_EQ(pictureOf(made.group, 256), board);
    // Nothing reaches 512 or 1024: the 256 grows by exactly 2 or 4, every pixel a sharp block.
    for (int factor : {2, 4}) {
        SCOPED_TRACE(factor);
        const QImage large = pictureOf(made.group, 256 * factor);
        ASSERT_FALSE(large.isNull());
        bool blocks = true;
        for (int y = 0; y < large.height() && blocks; ++y)
            for (int x = 0; x < large.width() && blocks; ++x)
                blocks = large.pixel(x, y) == board.pixel(x / factor, y / factor);
        EXPECT_TRUE(blocks);
    }
}

TEST(Picture, WithoutTheExactSizeTheSmallestLargerIsScaledDownElseTheLargestUp)
{
    MadeGroup made;
    Bytes cutShort = solidDib({48, 48, 32, qRgb(255, 0, 0), false});
    cutShort.resize(100); // its header promises a 48 x 48 the bytes do not hold
    made.dib(20, 32, qRgb(255, 255, 0)).add(cutShort).png(checkerboard(64));

    EXPECT_TRUE(allOf(pictureOf(made.group, 16), qRgb(255, 255, 0))) << "the 20, scaled down";
    // The damaged 48 yields to the 64 board, whose squares smoothing mixes into greys.
    const QImage down = pictureOf(made.group, 48);
    EXPECT_LT(pureShare(down), 0.5);
    EXPECT_EQ(qRed(down.pixel(24, 24)), qGreen(down.pixel(24, 24))) << "grey, from the board";
    for (int side : {256, 1024}) {
        SCOPED_TRACE(side);
        const QImage up = pictureOf(made.group, side);
        EXPECT_EQ(pureShare(up), 1.0) << "a whole factor up: no smoothing";
    }

    // 24 goes into 256 ten times (240); only the last step is smooth, so nearly all stays sharp,
    // where smoothing all the way would blur every edge.
    MadeGroup small;
    small.png(checkerboard(24));
    const QImage up = pictureOf(small.group, 256);
    EXPECT_GT(pureShare(up), 0.7);
    EXPECT_LT(pureShare(up), 1.0);
}

TEST(Picture, NonSquareImagesKeepTheirProportionsOnTransparency)
{
    QImage wide(64, 32, QImage::Format_ARGB32);
    wide.fill(qRgb(0, 0, 255));
    MadeGroup made;
    made.png(wide);
    const QImage picture = pictureOf(made.group, 32);
    EXPECT_EQ(picture.pixel(16, 16), qRgb(0, 0, 255));
    EXPECT_EQ(qAlpha(picture.pixel(16, 2)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(16, 29)), 0);

    // Larger on one side only is not larger: the 48 x 48 is scaled down, not the 64 x 16.
    MadeGroup mixed;
    mixed.add(solidDib({64, 16, 32, qRgb(255, 0, 0), false})).dib(48, 32, qRgb(0, 255, 0));
    EXPECT_TRUE(allOf(pictureOf(mixed.group, 32), qRgb(0, 255, 0)));
}

// Semi-transparent pixels keep their colours: exactly at the image's own size, and within a
// step or two when smoothing goes through premultiplied colours (at alpha 3, eight bits of
// premultiplied colour would leave a red of 200 at 170).
TEST(Picture, StraightAlphaKeepsItsColours)
{
    QImage tall(3, 7, QImage::Format_ARGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 3; ++x)
            tall.setPixel(x, y, qRgba(200 - 20 * y, 37 * x, 90 + y, 1 + 40 * y + x));
    MadeGroup made;
    made.png(tall);
    const QImage own = pictureOf(made.group, 7);
    EXPECT_EQ(own.copy(2, 0, 3, 7), tall);

    QImage faint(12, 12, QImage::Format_ARGB32);
    faint.fill(qRgba(200, 100, 50, 3));
    MadeGroup smooth;
    smooth.png(faint);
    const QImage scaled = pictureOf(smooth.group, 17);
    int largest = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 17; ++x) {
            const QRgb p = scaled.pixel(x, y);
            if (qAlpha(p) != 0)
                largest = std::max({largest, std::abs(qRed(p) - 200), std::abs(qGreen(p) - 100), std::abs(qBlue(p) - 50)});
        }
    EXPECT_LE(largest, 1);
}
