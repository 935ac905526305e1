// Saving when things go wrong or get crowded: another saver in the same folder, a failure that
// every further icon would meet, what a killed save left behind.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "extraction/gallery_model.h"
#include "icons/atomic_file.h"
#include "icons/write_icon.h"
#include "icons/save_names.h"
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
            form->galleryImages->add(plainIcon(), caption);
        form->galleryImages->addItems();
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
    EXPECT_FALSE(form->saveRun.saving);
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
            const gg::CommandContext context{reporter, boxes, dialogs, nullptr, QStringLiteral("Glimmer"),
                                             [] { return 0; }, [](int) {}};
            filtered = gg::test::failCalls(failure.calls);
            if (filtered)
                saving.saveAllIcons(context, images, [&] { return out.path() + u'/'; }, false);
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

TEST(SaveRace, TwoSaveRunsIntoOneFolderKeepEveryIconAndTheUsersFile)
{
    QTemporaryDir out;
    const std::string folder = QFile::encodeName(out.path()).toStdString();
    {
        QFile users(out.filePath("a.ico"));
        ASSERT_TRUE(users.open(QIODevice::WriteOnly));
        users.write("mine");
    }
    constexpr int kEach = 200;
    // Each run knows nothing of the other: its own names, its own reports.
    auto run = [&](int who, int& reports) {
        gg::FreeIconNames names;
        gg::test::RecordingReporter reporter;
        for (int i = 0; i < kEach; ++i) {
            gg::Bitmap picture(32, 32);
            picture.setPixel(0, 31, who, i & 0xFF, i >> 8); // marks the icon in the file's first pixel
            auto probe = names.probe("a");
            if (!gg::SaveNewIcon(reporter, folder, std::ref(probe), picture, 24).name.empty())
                probe.taken();
        }
        reports = static_cast<int>(reporter.reports.size());
    };
    int reportsA = -1, reportsB = -1;
    std::thread a(run, 1, std::ref(reportsA)), b(run, 2, std::ref(reportsB));
    a.join();
    b.join();
    EXPECT_EQ(reportsA, 0);
    EXPECT_EQ(reportsB, 0);

    const QStringList written = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(written.size(), 1 + 2 * kEach);
    std::set<int> icons;
    for (const QString& name : written) {
        QFile f(out.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        if (name == "a.ico") {
            EXPECT_EQ(bytes, QByteArray("mine"));
            continue;
        }
        ASSERT_EQ(bytes.size(), 3266) << name.toStdString();
        // Bottom row first, blue-green-red.
        const auto byte = [&](int at) { return static_cast<std::uint8_t>(bytes[at]); };
        icons.insert(byte(68) * 1000000 + byte(67) + byte(66) * 256);
    }
    EXPECT_EQ(icons.size(), std::size_t{2 * kEach}) << "every icon of both runs has its own file";
}

} // namespace
