// Saving when things go wrong: a failure that every further icon would meet, a name refused, what a
// killed save left behind; and the report a failed icon gives.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "extraction/gallery_model.h"
#include "icons/errno_text.h"
#include "saving/save_report.h"
#include "saving/save_run.h"
#include "support/failing_calls.h"
#include "support/window_harness.h"
#include "support/recording_reporter.h"

namespace {

QImage plainIcon()
{
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(QColor(20, 140, 60));
    return icon;
}

struct FailingSave : ::testing::Test {
    gg::test::WindowHarness h;
    QTemporaryDir out;
    gg::MainWindow* form = nullptr;

    void SetUp() override
    {
        form = &h.open();
        form->outputFolderEdit->setText(out.path() + "/");
        h.boxes.boxes.clear();
    }
    void add(const QString& caption, int count)
    {
        for (int i = 0; i < count; ++i)
            form->galleryModel->add(plainIcon(), caption);
        form->galleryModel->addItems();
    }
    QStringList files() const { return QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
};

TEST_F(FailingSave, ANameTooLongForTheFolderIsReportedOnceAndEndsTheRun)
{
    // The first icon's name is 255 bytes long, just within the limit; the next would be 256.
    const QString base(251, u'n');
    add(base + ".dll", 4);
    add("after.dll", 1);
    form->saveAllIcons();

    ASSERT_EQ(h.boxes.boxes.size(), 1u) << "one report, and no \"Done.\"";
    EXPECT_EQ(h.boxes.boxes[0].title, QStringLiteral("Application Error"));
    EXPECT_TRUE(h.boxes.boxes[0].text.startsWith(QStringLiteral("File name too long\r\n")))
        << h.boxes.boxes[0].text.toStdString();
    EXPECT_EQ(files(), QStringList{base + ".ico"});
    EXPECT_EQ(form->mousePointer(), gg::kPointerDefault);
    EXPECT_FALSE(form->runs.saving());
}

TEST_F(FailingSave, AFileSizeLimitIsReportedOnceAndEndsTheRun)
{
    add("a.dll", 3);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN); // as the program has it
    rlimit limit = saved;
    limit.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    form->saveAllIcons();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    ASSERT_EQ(h.boxes.boxes.size(), 1u);
    EXPECT_TRUE(h.boxes.boxes[0].text.startsWith(QStringLiteral("File too large\r\n")));
    EXPECT_TRUE(files().isEmpty()) << "nothing half written";
}

TEST_F(FailingSave, WhatAKilledSaveLeftInTheFolderGoesWithTheNextSave)
{
    for (const char* name : {".glimmer-31337.4.tmp", ".a.ico.31337-5.tmp"}) {
        QFile stale(out.filePath(name));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(1200, 'x'));
    }
    add("a.dll", 1);
    form->saveAllIcons();
    EXPECT_EQ(files(), QStringList{"a.ico"});
}

TEST(SaveRunFailures, AFullDiskEndsTheRunARefusedNameOnlyItsIcon)
{
    using When = gg::test::FailingCall::When;
    const struct {
        const char* what;
        std::vector<gg::test::FailingCall> calls;
        std::size_t reports;
        bool done;
    } failures[] = {
        // The file's bytes do not fit (writes of a few bytes are the toolkit's wake-ups).
        {"a full disk", {{SYS_write, ENOSPC, When::Above, 2, 8}}, 1, false},
        // A name the file system will not take (as FAT does with "?"), for every icon here.
        {"a refused name", {{SYS_linkat, EINVAL}}, 3, true},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        QTemporaryDir out;
        bool filtered = false;
        gg::test::RecordingReporter reporter;
        gg::RecordingMessageBoxes boxes;
        // The run in a thread of its own, the only one whose calls fail.
        std::thread run([&] {
            gg::ScriptedDialogs dialogs;
            gg::GalleryModel images;
            for (const char* caption : {"a.dll", "b?.dll", "c.dll"})
                images.add(plainIcon(), QString::fromLatin1(caption));
            images.addItems();
            gg::SaveRun saving;
            gg::RunState runs;
            const gg::CommandContext context{reporter, boxes, dialogs, nullptr, QStringLiteral("Glimmer"),
                                             [] { return 0; }, [](int) {}};
            filtered = gg::test::failCalls(failure.calls);
            if (filtered)
                saving.saveAllIcons(context, runs, images, [&] { return out.path() + u'/'; });
        });
        run.join();
        if (!filtered)
            GTEST_SKIP() << "system calls cannot be made to fail here";
        EXPECT_EQ(reporter.reports.size(), failure.reports);
        EXPECT_EQ(boxes.boxes.size(), failure.done ? 1u : 0u);
        if (failure.done && !boxes.boxes.empty())
            EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Done."));
        EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}

TEST(SaveReport, EachFailedStepGivesItsWritersLineAndTheSystemsWords)
{
    gg::IconPicture picture;
    const struct {
        int depth;
        gg::FileOutcome outcome;
        const char* routine;
        int line;
    } cases[] = {
        {1, {gg::FileStep::Open, ENOENT, 0, {}}, "SaveIcon1Bit", 126},
        {4, {gg::FileStep::Open, EACCES, 0, {}}, "SaveIcon4Bit", 118},
        {8, {gg::FileStep::Open, ENOENT, 0, {}}, "SaveIcon8Bit", 122},
        {24, {gg::FileStep::Open, ENOENT, 0, {}}, "SaveIcon24Bit", 122},
        // A write names the piece it stopped in: the directory, the header, the colour table (the
        // four blanks at 24 bits), the colour bits, the mask.
        {24, {gg::FileStep::Write, ENOSPC, 21, {}}, "SaveIcon24Bit", 124},
        {24, {gg::FileStep::Write, ENOSPC, 22, {}}, "SaveIcon24Bit", 126},
        {24, {gg::FileStep::Write, ENOSPC, 65, {}}, "SaveIcon24Bit", 130},
        {24, {gg::FileStep::Write, EFBIG, 1000, {}}, "SaveIcon24Bit", 132},
        {24, {gg::FileStep::Write, ENOSPC, 3138, {}}, "SaveIcon24Bit", 136},
        {8, {gg::FileStep::Write, ENOSPC, 1085, {}}, "SaveIcon8Bit", 130},
        {4, {gg::FileStep::Place, EISDIR, 766, {}}, "SaveIcon4Bit", 134},
        {24, {gg::FileStep::Place, EINVAL, 3266, {}}, "SaveIcon24Bit", 138},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        gg::test::RecordingReporter reporter;
        gg::reportFailedSave(reporter, c.depth, *gg::encodeIco(picture, c.depth), c.outcome);
        ASSERT_EQ(reporter.reports.size(), 1u);
        EXPECT_EQ(reporter.reports[0].label, std::string("in Glintwork2021/08/31.WriteIcon.") + c.routine + " ");
        EXPECT_EQ(reporter.reports[0].line, c.line);
        EXPECT_EQ(reporter.reports[0].description, gg::errnoText(c.outcome.error));
    }
    EXPECT_EQ(gg::errnoText(EFBIG), "File too large");
    gg::test::RecordingReporter quiet;
    gg::reportFailedSave(quiet, 24, *gg::encodeIco(picture, 24), gg::FileOutcome{});
    EXPECT_TRUE(quiet.reports.empty());
}

} // namespace
