// Failures: what is reported (label, line), and that the old file and the folder survive.

#include "icons/write_icon.h"
#include "icons/raster_ops.h"
#include "writer_test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace gg;
using namespace gg::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> folderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

const Bitmap kPicture = makePicture([](int x, int y) { return (x + y) % 4 ? Rgb(x * 8, y * 8, 77) : kKey; });

// Lowers the file-size limit for one test so that writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

} // namespace

TEST(WriterFailures, UnopenablePathGivesOneReportForTheOpenAndLeavesNothing)
{
    struct Case {
        int depth;
        const char* routine;
        int openLine;
    };
    for (const Case& c : {Case{1, "SaveIcon1Bit", 126}, Case{4, "SaveIcon4Bit", 118}, Case{8, "SaveIcon8Bit", 122},
                          Case{24, "SaveIcon24Bit", 122}}) {
        SCOPED_TRACE(c.depth);
        QTemporaryDir dir;
        RecordingReporter reporter;
        const fs::path target = fs::path(dir.path().toStdString()) / "missing" / "icon.ico";
        SaveIcon(reporter, target.string(), kPicture, c.depth);

        ASSERT_EQ(reporter.reports.size(), 1u);
        EXPECT_EQ(reporter.reports[0].label, writerLabel(c.routine));
        EXPECT_EQ(reporter.reports[0].line, c.openLine);
        EXPECT_EQ(reporter.reports[0].description, "No such file or directory");
        EXPECT_FALSE(fs::exists(target.parent_path()));
        EXPECT_TRUE(folderEntries(dir.path().toStdString()).empty());
    }
}

TEST(WriterFailures, FailedWriteKeepsTheOldFileUntouchedAndRemovesTheTemporaryFile)
{
    QTemporaryDir dir;
    const fs::path target = fs::path(dir.path().toStdString()) / "old.ico";
    RecordingReporter reporter;
    SaveIcon(reporter, target.string(), kPicture, 8);
    const auto oldBytes = readBytes(target.string());
    ASSERT_EQ(oldBytes.size(), 2238u);

    {
        // Room for the directory, header and part of the colour bits only.
        FileSizeLimit limit(1000);
        SaveIcon(reporter, target.string(), makePicture([](int, int) { return kWhite; }), 24);
    }
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].label, writerLabel("SaveIcon24Bit"));
    EXPECT_EQ(reporter.reports[0].line, 132); // the colour bits
    EXPECT_EQ(reporter.reports[0].description, "File too large");
    EXPECT_EQ(readBytes(target.string()), oldBytes);
    EXPECT_EQ(folderEntries(dir.path().toStdString()), std::vector<std::string>{"old.ico"});
}

TEST(WriterFailures, TargetThatCannotBeReplacedIsReportedAtCloseWithoutAStrayFile)
{
    QTemporaryDir dir;
    const fs::path target = fs::path(dir.path().toStdString()) / "taken.ico";
    fs::create_directory(target);
    fs::create_directory(target / "keep");
    RecordingReporter reporter;
    SaveIcon(reporter, target.string(), kPicture, 4);

    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].label, writerLabel("SaveIcon4Bit"));
    EXPECT_EQ(reporter.reports[0].line, 134);
    EXPECT_TRUE(fs::is_directory(target / "keep"));
    EXPECT_EQ(folderEntries(dir.path().toStdString()), std::vector<std::string>{"taken.ico"});
}

TEST(WriterFailures, LongFileNameStillGetsATemporaryNameWithinTheLimit)
{
    QTemporaryDir dir;
    const fs::path target = fs::path(dir.path().toStdString()) / (std::string(251, 'n') + ".ico");
    RecordingReporter reporter;
    SaveIcon(reporter, target.string(), kPicture, 24);
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_EQ(fs::file_size(target), 3266u);
    EXPECT_EQ(folderEntries(dir.path().toStdString()).size(), 1u);
}

TEST(WriterRoutines, ChangePixelsReplacesOnlyTheColourInsideTheRectangle)
{
    Bitmap picture = makePicture([](int x, int y) { return (x + y) % 3 == 0 ? kKey : Rgb(x, y, 9); });
    picture.setPixel(5, 5, Rgb(197, 197, 196));
    Bitmap target = makePicture([](int, int) { return Rgb(1, 2, 3); });
    DeviceContext source, destination;
    source.SelectObject(&picture);
    destination.SelectObject(&target);
    RecordingReporter reporter;

    EXPECT_TRUE(ChangePixels(reporter, source, 4, 2, 10, 20, kKey, Rgb(10, 200, 30), destination));
    EXPECT_TRUE(reporter.reports.empty());
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 4 && x < 14 && y >= 2 && y < 22;
            const ColorRef want = !inside ? Rgb(1, 2, 3) : picture.pixel(x, y) == kKey ? Rgb(10, 200, 30)
                                                                                       : picture.pixel(x, y);
            ASSERT_EQ(target.pixel(x, y), want) << x << "," << y;
        }
    // The source context's background colour is given back.
    EXPECT_EQ(source.bkColor(), kWhite);
}

TEST(WriterRoutines, ChangePixelsOnAnImpossibleSizeAnswersNoAndLeavesTheDestination)
{
    Bitmap picture(32, 32), target(32, 32);
    target.setPixel(0, 0, kWhite);
    const Bitmap before = target;
    DeviceContext source, destination;
    source.SelectObject(&picture);
    destination.SelectObject(&target);
    RecordingReporter reporter;

    EXPECT_FALSE(ChangePixels(reporter, source, 0, 0, -4, 32, kKey, kBlack, destination));
    EXPECT_EQ(target, before);
    ASSERT_FALSE(reporter.reports.empty());
    for (const auto& report : reporter.reports)
        EXPECT_EQ(report.label, writerLabel("ChangePixels"));
}

TEST(WriterRoutines, CreateMaskMarksExactlyTheKeyColour)
{
    Bitmap picture = makePicture([](int x, int y) {
        return x == y ? kKey : x == 31 - y ? Rgb(197, 197, 198) : kBlack;
    });
    Bitmap mask(32, 32, 1);
    DeviceContext source, maskDc;
    source.SelectObject(&picture);
    maskDc.SelectObject(&mask);
    RecordingReporter reporter;

    EXPECT_TRUE(CreateMask(reporter, source, 0, 0, 32, 32, maskDc, kKey));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(mask.pixel(x, y), x == y ? 1u : 0u);
}

TEST(WriterRoutines, GetIconBitsLeavesTheColourTableAt24BitsAndReportsATooSmallArray)
{
    Bitmap picture = makePicture([](int x, int) { return Rgb(x, 0, 0); });
    DeviceContext dc;
    dc.SelectObject(&picture);
    RecordingReporter reporter;

    std::vector<std::uint8_t> bits(3072);
    std::vector<std::uint32_t> table(4, 0xDEADBEEF);
    GetIconBits(reporter, bits, 24, &dc, &picture, table);
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_EQ(table, std::vector<std::uint32_t>(4, 0xDEADBEEF));
    EXPECT_EQ(bits[3 * 5 + 2], 5); // red of x = 5 on the bottom row

    std::vector<std::uint8_t> small(100, 0x55);
    GetIconBits(reporter, small, 8, &dc, &picture, table);
    ASSERT_EQ(reporter.reports.size(), 2u); // the read, then the table copy into 4 entries
    EXPECT_EQ(reporter.reports[0].label, writerLabel("GetIconBits"));
    EXPECT_EQ(small, std::vector<std::uint8_t>(100, 0x55));
}
