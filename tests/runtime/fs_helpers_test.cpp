#include "runtime/fs_helpers.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "runtime/message_boxes.h"
#include "sources/folder_list.h"
#include "sources/list_files.h"

namespace {

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

TEST(fixPathSlashes, CollapsesPairsLeftToRight)
{
    EXPECT_EQ(gg::fixPathSlashes("/home//user/icons/"), "/home/user/icons/");
    EXPECT_EQ(gg::fixPathSlashes("a///b"), "a//b") << "three in a row: one pair collapses";
    EXPECT_EQ(gg::fixPathSlashes("a////b"), "a//b");
    EXPECT_EQ(gg::fixPathSlashes(""), "");
    EXPECT_EQ(gg::fixPathSlashes("plain"), "plain");
}

TEST(fixPathSlashes, LeadingRunBecomesOneSeparator)
{
    EXPECT_EQ(gg::fixPathSlashes("//server/share//x"), "/server/share/x");
    EXPECT_EQ(gg::fixPathSlashes("/"), "/");
    EXPECT_EQ(gg::fixPathSlashes("////"), "/");
    EXPECT_EQ(gg::fixPathSlashes("/a///b"), "/a//b");
}

TEST(FileTests, ExistsAndIsFolder)
{
    QTemporaryDir dir;
    const QString file = write(dir, "f.txt", "x");
    EXPECT_TRUE(gg::fileExists(file));
    EXPECT_TRUE(gg::fileExists(dir.path()));
    EXPECT_FALSE(gg::fileExists(dir.filePath("missing")));
    EXPECT_FALSE(gg::fileExists(dir.filePath("missing/f.txt")));
    EXPECT_FALSE(gg::fileExists(""));
    EXPECT_FALSE(gg::isFolder(file));
    EXPECT_TRUE(gg::isFolder(dir.path()));
    EXPECT_TRUE(gg::isFolder(dir.path() + "/"));
    EXPECT_FALSE(gg::isFolder(dir.filePath("missing")));
    EXPECT_FALSE(gg::isFolder(""));
}

TEST(DesktopFolder, IsTheDesktopWithOneSeparator)
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    ASSERT_FALSE(desktop.isEmpty());
    EXPECT_EQ(gg::desktopFolder(), desktop + "/");
    EXPECT_EQ(gg::specialFolder(5), QString());
}

TEST(DesktopFolder, AHomeAtTheRootGivesOneSeparatorToo)
{
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", "/");
    const QString desktop = gg::desktopFolder();
    qputenv("HOME", home);
    EXPECT_EQ(desktop, QStringLiteral("/Desktop/"));
}

TEST(ListFileSplit, LineEndsOfEveryKind)
{
    using L = QStringList;
    EXPECT_EQ(gg::splitListFileBytes("a\r\nb\r\n"), (L{"a", "b"}));
    EXPECT_EQ(gg::splitListFileBytes("a\r\n\r\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(gg::splitListFileBytes("a\rb\r"), (L{"a", "b"}));
    EXPECT_EQ(gg::splitListFileBytes("a\nb\n"), (L{"a", "b"})) << "a final LF adds no empty entry";
    EXPECT_EQ(gg::splitListFileBytes("a\n\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(gg::splitListFileBytes("a\n\rb"), (L{"a", "", "b"}));
    EXPECT_EQ(gg::splitListFileBytes("\r\n"), (L{""}));
    EXPECT_EQ(gg::splitListFileBytes(""), L{});
    EXPECT_EQ(gg::splitListFileBytes(" /x/ \t"), (L{" /x/ \t"})) << "entries are not trimmed";
}

TEST(ListFileSplit, SurvivesBinaryAndInvalidUtf8)
{
    QByteArray bytes("ok\n\xff\xfe\x00z\n", 8);
    const QStringList entries = gg::splitListFileBytes(bytes);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0], "ok");
    EXPECT_TRUE(entries[1].contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(entries[1].contains(QChar(0)));

    QByteArray noise(1 << 20, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 24);
    EXPECT_GT(gg::splitListFileBytes(noise).size(), 0);

    const QByteArray longLine(8 << 20, 'x');
    const QStringList one = gg::splitListFileBytes(longLine);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].size(), longLine.size());
}

TEST(loadListFile, AppendsEveryLineOrSaysFileNotFound)
{
    QTemporaryDir dir;
    gg::FolderListModel list;
    list.append(QStringLiteral("/already"));
    gg::RecordingMessageBoxes boxes;
    gg::loadListFile(list, write(dir, "list.txt", "/a\r\n/b/\r\n"), boxes, "Title");
    EXPECT_EQ(list.entries(), (QStringList{"/already", "/a", "/b/"}));
    EXPECT_TRUE(boxes.boxes.empty());

    gg::loadListFile(list, dir.filePath("missing.txt"), boxes, "Title");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "File not found");
    EXPECT_EQ(boxes.boxes[0].title, "Title");
    EXPECT_EQ(boxes.boxes[0].icon, gg::BoxIcon::None);
    EXPECT_EQ(list.count(), 3);
}

} // namespace
