// Files read back by decoders that share no code with the encoder: icotool (icoutils),
// ImageMagick and Qt's own .ico reader.

#include "icons/encoder_test_support.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

using namespace gg;
using namespace gg::test;

namespace {

// Pictures whose colours all stand in the depth's table, with key-coloured pixels among them,
// so that what a decoder shows is exactly the picture.
IconPicture pictureFor(int depth)
{
    const std::uint32_t vga[] = {rgb(0, 0, 0),       rgb(128, 0, 0),   rgb(0, 128, 0),   rgb(128, 128, 0),
                                 rgb(0, 0, 128),     rgb(128, 0, 128), rgb(0, 128, 128), rgb(192, 192, 192),
                                 rgb(128, 128, 128), rgb(255, 0, 0),   rgb(0, 255, 0),   rgb(255, 255, 0),
                                 rgb(0, 0, 255),     rgb(255, 0, 255), rgb(0, 255, 255), rgb(255, 255, 255)};
    return makePicture([&](int x, int y) -> std::uint32_t {
        if ((x * 7 + y * 3) % 11 == 0 || (x == 0 && y == 0))
            return kKey;
        switch (depth) {
        case 1: return (x / 3 + y / 2) % 2 ? kWhite : kBlack;
        case 24: return rgb(x * 8 + 3, y * 8 + 1, 255 - x * y % 256);
        default: return vga[(x / 2 + y * 3) % 16];
        }
    });
}

std::string describePixel(QRgb p)
{
    return QString::asprintf("#%08x", p).toStdString();
}

// Every pixel: transparent where the key colour was, else opaque and the picture's colour.
void expectShows(const QImage& decoded, const IconPicture& picture, const char* decoder)
{
    SCOPED_TRACE(decoder);
    ASSERT_EQ(decoded.width(), 32);
    ASSERT_EQ(decoded.height(), 32);
    const QImage image = decoded.convertToFormat(QImage::Format_ARGB32);
    int mismatches = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb got = image.pixel(x, y);
            const std::uint32_t want = picture.at(x, y);
            const bool ok = want == kKey ? qAlpha(got) == 0
                                         : qAlpha(got) == 255 && qRed(got) == redOf(want)
                                               && qGreen(got) == greenOf(want) && qBlue(got) == blueOf(want);
            if (!ok && ++mismatches <= 3)
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << describePixel(got);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

std::optional<QImage> runToPng(const QString& program, const QStringList& arguments, const QString& outputDir)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
        return std::nullopt;
    }
    const QStringList pngs = QDir(outputDir).entryList({"*.png"}, QDir::Files);
    if (pngs.size() != 1) {
        ADD_FAILURE() << program.toStdString() << " gave " << pngs.size() << " images";
        return std::nullopt;
    }
    return QImage(QDir(outputDir).filePath(pngs.front()));
}

class ReadBack : public ::testing::TestWithParam<int> {
protected:
    QString save(const IconPicture& picture)
    {
        const QString path = dir.filePath(QString("icon%1.ico").arg(GetParam()));
        writeBytes(path.toStdString(), encoded(picture, GetParam()));
        return path;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_P(ReadBack, IcotoolListsOneEntryAndExtractsTheSamePictureAndMask)
{
    const QString icotool = QStandardPaths::findExecutable("icotool");
    if (icotool.isEmpty())
        GTEST_SKIP() << "icotool (icoutils) is not installed";
    const IconPicture picture = pictureFor(GetParam());
    const QString path = save(picture);

    QProcess list;
    list.start(icotool, {"-l", path});
    ASSERT_TRUE(list.waitForFinished(30000));
    ASSERT_EQ(list.exitCode(), 0);
    const QString listing = QString::fromUtf8(list.readAllStandardOutput()).trimmed();
    EXPECT_EQ(listing.count('\n'), 0) << listing.toStdString();
    EXPECT_TRUE(listing.contains("--width=32 --height=32")) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QString("--bit-depth=%1").arg(GetParam()))) << listing.toStdString();

    const QString out = dir.filePath("icotool-out");
    QDir().mkpath(out);
    if (auto image = runToPng(icotool, {"-x", "-o", out, path}, out))
        expectShows(*image, picture, "icotool");
}

TEST_P(ReadBack, ImageMagickShowsTheSamePictureAndMask)
{
    const QString convert = QStandardPaths::findExecutable("convert");
    if (convert.isEmpty())
        GTEST_SKIP() << "ImageMagick is not installed";
    const IconPicture picture = pictureFor(GetParam());
    const QString path = save(picture);
    const QString out = dir.filePath("magick-out");
    QDir().mkpath(out);
    if (auto image = runToPng(convert, {path, QDir(out).filePath("icon.png")}, out))
        expectShows(*image, picture, "ImageMagick");
}

TEST_P(ReadBack, QtReaderShowsTheSamePictureAndMask)
{
    // Qt's reader takes an entry with more than one plane for "not an icon" (the 1-bit layout
    // says planes 5), and reads 24-bit pixels straight after the header, not after the one-entry
    // colour table that the layout puts there. The other two decoders read those files.
    if (GetParam() == 1 || GetParam() == 24)
        GTEST_SKIP() << "Qt's .ico reader does not follow this layout at " << GetParam() << " bits";
    const IconPicture picture = pictureFor(GetParam());
    QImageReader reader(save(picture), "ico");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    expectShows(image, picture, "Qt");
}

INSTANTIATE_TEST_SUITE_P(Depths, ReadBack, ::testing::Values(1, 4, 8, 24),
                         [](const auto& info) { return std::to_string(info.param) + "bits"; });
