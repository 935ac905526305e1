// glimmer-extract thumbnail as file managers run it: the picture goes into the OUTPUT they named
// and may hold open, whole or not at all.
#include "tool/tool_run.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace gg::test;

namespace {

QByteArray readThrough(int fd)
{
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    return bytes;
}

} // namespace

TEST(ThumbnailCommand, ThePictureIsReadBackThroughAHandleOpenedBeforeTheRun)
{
    QTemporaryDir dir;
    const QString output = dir.filePath("t.png");
    writeFile(output, {});
    const int held = ::open(QFile::encodeName(output).constData(), O_RDONLY);
    ASSERT_GE(held, 0);
    const ToolRun run = runTool({"thumbnail", "-s", "64", fixture("tool32.exe"), output});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    const QByteArray seen = readThrough(held);
    ::close(held);
    EXPECT_EQ(QImage::fromData(seen, "PNG").size(), QSize(64, 64)) << seen.size() << " bytes";

    // Over a longer file the picture is all that is left; through a link, the link's file takes it.
    writeFile(output, QByteArray(100000, 'x'));
    ASSERT_TRUE(QFile::link(output, dir.filePath("link.png")));
    EXPECT_EQ(runTool({"thumbnail", "-s", "32", fixture("tool32.exe"), dir.filePath("link.png")}).code, 0);
    EXPECT_TRUE(QFileInfo(dir.filePath("link.png")).isSymLink());
    EXPECT_EQ(QImage::fromData(contents(output), "PNG").size(), QSize(32, 32));
}

TEST(ThumbnailCommand, AnyFailureLeavesOutputAsItWas)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath("kept.png"), missing = dir.filePath("missing.png");
    writeFile(kept, "the caller's bytes");
    for (const QString& output : {kept, missing}) {
        EXPECT_EQ(runTool({"thumbnail", "-s", "64", fixture("noicons.dll"), output}).code, 1);
        // Bigger than the file may grow: the write fails halfway and what was there comes back.
        const ToolRun tooBig = runTool({"thumbnail", "-s", "256", fixture("icons64.dll"), output}, {}, [] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1000, 1000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        EXPECT_EQ(tooBig.code, 1);
        EXPECT_TRUE(tooBig.err.contains(output)) << tooBig.err.toStdString();
    }
    EXPECT_EQ(contents(kept), QByteArray("the caller's bytes"));
    EXPECT_FALSE(QFile::exists(missing));

    // Not a regular file: refused at once (a FIFO would otherwise wait for a reader).
    const QString fifo = dir.filePath("fifo.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& output : {fifo, dir.path()}) {
        const ToolRun run = runTool({"thumbnail", "-s", "64", fixture("tool32.exe"), output});
        EXPECT_EQ(run.code, 1) << output.toStdString();
        EXPECT_TRUE(run.err.startsWith("glimmer-extract: " + output + ": ")) << run.err.toStdString();
    }
}
