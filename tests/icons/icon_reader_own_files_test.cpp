// The reader opens the files our own writer makes, at every depth it writes.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "icons/write_icon.h"
#include "icons/icon_extractor.h"

namespace {

struct QuietReporter : gg::ErrorReporter {
    void ReportError(const std::string&, int, const std::string& d) override { ADD_FAILURE() << d; }
};

class OwnFiles : public ::testing::TestWithParam<int> {};

TEST_P(OwnFiles, ReadBackShowsThePictureAndTheKeyColourAsTransparent)
{
    const int depth = GetParam();
    // Colours every fixed table holds exactly, so no depth changes them.
    const gg::ColorRef colours[] = {gg::kBlack, gg::kWhite};
    gg::Bitmap picture(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            picture.setPixel(x, y, (x + y) % 5 == 0 ? gg::kKeyColour : colours[(x / 4 + y / 4) % 2]);

    QTemporaryDir dir;
    const std::string path = QFile::encodeName(dir.filePath("own.ico")).toStdString();
    QuietReporter reporter;
    gg::SaveIcon(reporter, path, picture, depth);

    const gg::IconSource source = gg::IconSource::open(path);
    ASSERT_EQ(source.count(), 1);
    const gg::RgbaImage back = source.icon(0);
    ASSERT_TRUE(back.width == 32 && back.height == 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const gg::ColorRef c = picture.pixel(x, y);
            const gg::Rgba got = back.at(x, y);
            if (c == gg::kKeyColour) {
                EXPECT_EQ(got.a, 0) << x << "," << y;
            } else {
                EXPECT_EQ(got, (gg::Rgba{static_cast<std::uint8_t>(gg::RedOf(c)), static_cast<std::uint8_t>(gg::GreenOf(c)),
                                         static_cast<std::uint8_t>(gg::BlueOf(c)), 255})) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, OwnFiles, ::testing::Values(1, 4, 8, 24),
                         [](const auto& info) { return std::to_string(info.param) + "bits"; });

} // namespace
