// glimmer-extract as a user runs it: what it lists against the gallery, what it writes and where,
// and its exit statuses.
#include "icons/icon_test_files.h"

#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"
#include "support/hostile_modules.h"
#include "tool/tool_run.h"
#include "tool/wrestool_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <filesystem>
#include <unistd.h>

using namespace gg;
using namespace gg::test;

TEST(ExtractCommand, ListGivesTheGallerysIconsInItsOrderPassingOverDamagedGroups)
{
    // Named groups as stored, then numbers ascending; the group numbered 3 is damaged.
    const std::vector<QRgb> colours{qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(200, 200, 0), qRgb(0, 200, 200)};
    std::vector<PeGroup> groups{{"BETA", 0, {{32, 32, 32, colours[0]}}},
                                {"ALPHA", 0, {{32, 32, 32, colours[1]}}},
                                {"", 9, {{32, 32, 32, colours[2]}}},
                                {"", 3, {{32, 32, 32, colours[3]}}},
                                {"", 5, {{32, 32, 32, colours[4]}}}};
    PeOptions options;
    Bytes module = peModule(groups, options);
    put32(module, options.iconBodyAt[3], 0); // no bitmap header size: undecodable
    QTemporaryDir dir;
    const QString path = dir.filePath("mixed.dll");
    writeFile(path, QByteArray(reinterpret_cast<const char*>(module.data()), static_cast<int>(module.size())));

    std::vector<RgbaImage> gallery;
    const IconSource source = IconSource::open(QFile::encodeName(path).toStdString());
    for (int i = 0; i < source.count(); ++i)
        gallery.push_back(source.icon(i));
    const ToolRun run = runTool({"list", "--json", path});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QJsonArray listed = QJsonDocument::fromJson(run.out).array();
    ASSERT_EQ(listed.size(), 4);
    ASSERT_EQ(gallery.size(), 4u);
    const QMap<QString, QRgb> colourOf{{"BETA", colours[0]}, {"ALPHA", colours[1]}, {"9", colours[2]}, {"5", colours[4]}};
    const QStringList expectedOrder{"BETA", "ALPHA", "5", "9"};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject icon = listed[i].toObject();
        const QString group = icon["group"].isString() ? icon["group"].toString()
                                                       : QString::number(icon["group"].toInteger());
        EXPECT_EQ(group, expectedOrder[i]);
        EXPECT_EQ(icon["icon"].toInt(), i);
        EXPECT_EQ(pixelAt(gallery[static_cast<std::size_t>(i)], 16, 16), colourOf.value(group)) << "gallery item " << i;
    }

    // And the line format counts the same icons as the gallery for every fixture, then a module's
    // cursor groups, which the gallery leaves out.
    int withCursors = 0;
    for (const QString& name : QDir(GG_TEST_DATA).entryList(QDir::Files)) {
        const QString file = fixture(name.toUtf8().constData());
        const int inGallery = IconSource::open(QFile::encodeName(file).toStdString()).count();
        const int cursors = IconSource::open(QFile::encodeName(file).toStdString()).cursorCount();
        const ToolRun lines = runTool({"list", file});
        EXPECT_EQ(lines.code, inGallery + cursors > 0 ? 0 : 1) << name.toStdString();
        EXPECT_EQ(lines.out.count('\n'), inGallery + cursors) << name.toStdString();
        withCursors += cursors > 0;
    }
    EXPECT_EQ(withCursors, 3) << "cursors.dll, cursors16.dll, mixed64.dll";
    EXPECT_EQ(IconSource::open(dataPath("cursors.dll")).count(), 0);
    EXPECT_EQ(IconSource::open(dataPath("mixed64.dll")).count(), 1);
}

TEST(ExtractCommand, ExitStatusSaysWhetherAllWasWrittenAndMessagesNameTheFile)
{
    QTemporaryDir dir;
    for (const QStringList& wrong : {QStringList{}, QStringList{"take"}, QStringList{"list"}, QStringList{"list", "--bogus", "x"},
                                     QStringList{"extract", "--format", "gif", "x"}, QStringList{"extract", "-s", "64", "x"},
                                     QStringList{"extract", "--format", "png", "--size", "0", "x"},
                                     QStringList{"extract", "--icon", "-1", "x"}, QStringList{"thumbnail", "-s", "64", "x"},
                                     QStringList{"thumbnail", "in", "out"}}) {
        const ToolRun run = runTool(wrong, dir.path());
        EXPECT_EQ(run.code, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("glimmer-extract: ")) << run.err.toStdString();
    }
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_LE(help.out.count('\n'), 24) << "fits a screen";
    for (const QByteArray& line : help.out.split('\n'))
        EXPECT_LE(line.size(), 80) << line.toStdString();
    EXPECT_EQ(runTool({"--version"}).out, QByteArray("glimmer-extract " GG_VERSION "\n"));

    const QString missing = dir.filePath("missing.exe");
    const ToolRun partly = runTool({"extract", fixture("tool.exe"), fixture("noicons.dll"), missing}, dir.path());
    EXPECT_EQ(partly.code, 1);
    EXPECT_EQ(partly.out, QByteArray("tool.ico\ntool1.ico\n")) << "the good file is still written";
    EXPECT_TRUE(partly.err.contains(fixture("noicons.dll") + ": no icons")) << partly.err.toStdString();
    EXPECT_TRUE(partly.err.contains(missing + ": No such file or directory")) << partly.err.toStdString();
    EXPECT_EQ(runTool({"extract", "--icon", "2", fixture("tool.exe")}, dir.path()).code, 1) << "it has two";
    EXPECT_EQ(runTool({"extract", "-o", missing, fixture("tool.exe")}).code, 1);

    // A file with no icon gives no thumbnail; one with an icon gives SIZE x SIZE.
    const QString thumbnail = dir.filePath("thumb.png");
    EXPECT_EQ(runTool({"thumbnail", "-s", "128", fixture("noicons.dll"), thumbnail}).code, 1);
    EXPECT_FALSE(QFile::exists(thumbnail));
    EXPECT_EQ(runTool({"thumbnail", "-s", "128", fixture("tool32.exe"), thumbnail}).code, 0);
    EXPECT_EQ(QImage(thumbnail).size(), QSize(128, 128));
}

// A file whose groups come back to the same bytes: what the budget allows is listed or written,
// the rest of that file is refused in one message, and the run goes on with the next file.
TEST(ExtractCommand, FileAskingForTooMuchIsCutWithOneMessageAndTheRunGoesOn)
{
    QTemporaryDir dir;
    const QString listed = dir.filePath("listed.dll"), written = dir.filePath("written.dll");
    const Bytes many = moduleOfGroupsNamingOnePng(3000, 512, 16);
    writeFile(listed, QByteArray(reinterpret_cast<const char*>(many.data()), static_cast<int>(many.size())));
    const ToolRun list = runTool({"list", listed, fixture("tool.exe")});
    EXPECT_EQ(list.code, 1);
    const int lines = static_cast<int>(list.out.count('\n'));
    EXPECT_GT(lines, 1900);
    EXPECT_LT(lines, 2100);
    EXPECT_TRUE(list.out.endsWith((fixture("tool.exe") + "\t1\t#5\t256x256@png\n").toUtf8())) << "the next file is listed";
    EXPECT_EQ(list.err, "glimmer-extract: " + listed + ": icon " + QString::number(lines - 2) +
                            " and later refused: the file asks for far more work than any icon file needs\n");

    // Every group rebuilt is the same 256 x 256 PNG of about 256 KB again.
    const Bytes shared = moduleOfGroupsSharingOneLanguage(1000, 1, 256);
    writeFile(written, QByteArray(reinterpret_cast<const char*>(shared.data()), static_cast<int>(shared.size())));
    const QString out = dir.filePath("out");
    ASSERT_TRUE(QDir().mkdir(out));
    const ToolRun extract = runTool({"extract", "-o", out, written, fixture("tool.exe")});
    EXPECT_EQ(extract.code, 1);
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(out).entryInfoList(QDir::Files))
        bytes += file.size();
    const qint64 limit = (qint64{32} << 20) + 3 * static_cast<qint64>(shared.size());
    EXPECT_LE(bytes, limit);
    EXPECT_GT(bytes, limit - static_cast<qint64>(shared.size()));
    EXPECT_TRUE(QFile::exists(out + "/tool.ico")) << "the next file is written";
    EXPECT_EQ(extract.err.count(u'\n'), 1) << extract.err.toStdString();
    EXPECT_TRUE(extract.err.contains(written + ": icon ")) << extract.err.toStdString();
    EXPECT_TRUE(extract.err.contains(" and later refused: they would write more than ")) << extract.err.toStdString();

    // Thousands of small groups over one image: at most 1024 files, and one more per 512 bytes.
    const Bytes smallGroups = moduleOfGroupsSharingOneLanguage(5000, 1, 16);
    writeFile(written, QByteArray(reinterpret_cast<const char*>(smallGroups.data()), static_cast<int>(smallGroups.size())));
    const QString manyOut = dir.filePath("smallGroups");
    ASSERT_TRUE(QDir().mkdir(manyOut));
    const ToolRun cut = runTool({"extract", "-o", manyOut, written, fixture("tool.exe")});
    const qsizetype allowed = 1024 + static_cast<qsizetype>(smallGroups.size()) / 512;
    ASSERT_LT(allowed, 5000);
    EXPECT_EQ(cut.code, 1);
    EXPECT_EQ(QDir(manyOut).entryList(QDir::Files).size(), allowed + 2) << "and the next file's two";
    EXPECT_EQ(cut.err.toStdString(), ("glimmer-extract: " + written + ": icon " + QString::number(allowed) +
                           " and later refused: they would make more than " + QString::number(allowed) +
                           " files for this one file\n").toStdString());
}

TEST(ExtractCommand, NothingExistingIsOverwrittenUnlessAsked)
{
    QTemporaryDir out;
    // Names held by a file of the user's, and by a link pointing outside the folder.
    writeFile(out.filePath("icons64.ico"), "mine");
    writeFile(out.filePath("icons642.ico"), "also mine");
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.filePath("target"), out.filePath("icons643.ico")));
    const ToolRun run = runTool({"extract", "-o", out.path(), fixture("icons64.dll")});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(contents(out.filePath("icons64.ico")), QByteArray("mine"));
    EXPECT_EQ(contents(out.filePath("icons642.ico")), QByteArray("also mine"));
    EXPECT_FALSE(QFile::exists(elsewhere.filePath("target"))) << "the link was not followed";

    // The window's rule: the sequence icons64.ico, icons641.ico, ... less the names held.
    QStringList expected;
    for (const char* name : {"icons641.ico", "icons644.ico", "icons645.ico", "icons646.ico", "icons647.ico"})
        expected << out.filePath(name);
    EXPECT_EQ(QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts), expected);

    // --overwrite takes name.ico, name1.ico, ... in order and replaces what is there.
    const ToolRun again = runTool({"extract", "--overwrite", "-o", out.path(), fixture("icons64.dll")});
    ASSERT_EQ(again.code, 0) << again.err.toStdString();
    Result<Bytes> first = rebuildIconFile(*IconSource::open(dataPath("icons64.dll")).group(0));
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(contents(out.filePath("icons64.ico")),
              QByteArray(reinterpret_cast<const char*>(first->data()), static_cast<int>(first->size())));
    EXPECT_NE(contents(out.filePath("icons642.ico")), QByteArray("also mine"));
    EXPECT_FALSE(QFileInfo(out.filePath("icons643.ico")).isSymLink()) << "the link itself was replaced";
    EXPECT_FALSE(QFile::exists(elsewhere.filePath("target")));
}

TEST(ExtractCommand, NamesThatAreNotUtf8KeepTheirBytesInFilesAndInJson)
{
    // Qt's file names are text, so the name is made and found through the system's own calls.
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    const QByteArray name("caf\xe9.exe");
    ASSERT_TRUE(QDir(dir.path()).mkpath("src/out"));
    ASSERT_TRUE(std::filesystem::copy_file(QFile::encodeName(fixture("tool32.exe")).toStdString(),
                                           folder + "/src/" + name.toStdString()));
    // A script gets the exact bytes back: from file_base64 when the name is not UTF-8, else from file.
    const ToolRun listed = runTool({"list", "--json", fixture("tool32.exe"), "src"}, dir.path());
    QProcess python;
    python.start("python3", {"-c", "import base64, json, os, sys\n"
                                   "for e in json.load(sys.stdin):\n"
                                   "    raw = base64.b64decode(e['file_base64']) if 'file_base64' in e else os.fsencode(e['file'])\n"
                                   "    print(raw.hex(), e['icon'], e['group'])\n"});
    python.write(listed.out);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput(), QFile::encodeName(fixture("tool32.exe")).toHex() + " 0 MAINICON\n" +
                                                  QByteArray("src/" + name).toHex() + " 0 MAINICON\n")
        << python.readAllStandardError().toStdString() << listed.out.toStdString();

    const ToolRun extracted = runTool({"extract", "-o", "out", "."}, dir.filePath("src"));
    ASSERT_EQ(extracted.code, 0) << extracted.err.toStdString();
    EXPECT_EQ(extracted.out, QByteArray("out/caf\xe9.ico\n"));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/src/out/caf\xe9.ico"));
}

TEST(ExtractCommand, AWalkNamesWhatItCannotReadAndNeverReadsItsOwnOutput)
{
    QTemporaryDir dir;
    const QString root = dir.filePath("programs");
    ASSERT_TRUE(QDir().mkpath(root + "/closed") && QDir().mkpath(root + "/icons"));
    ASSERT_TRUE(QFile::copy(fixture("tool32.exe"), root + "/tool32.exe"));
    ASSERT_TRUE(QFile::copy(fixture("tool.exe"), root + "/locked.exe"));
    ASSERT_TRUE(QFile::copy(fixture("tool.exe"), root + "/closed/hidden.exe"));
    writeFile(root + "/notes.txt", "no icons here, and no message about it");
    // Open to another user but for the two that are shut; root's own rights are put aside in the child.
    for (const QString& path : {dir.path(), root, root + "/icons"})
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    QFile::setPermissions(root + "/locked.exe", {});
    QFile::setPermissions(root + "/closed", {});
    const auto asAnotherUser = [] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(99);
    };
    const ToolRun first = runTool({"extract", "-o", "icons", "."}, root, asAnotherUser);
    EXPECT_EQ(first.code, 1);
    EXPECT_EQ(first.out, QByteArray("icons/tool32.ico\n"));
    EXPECT_TRUE(first.err.contains("./locked.exe: Permission denied")) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains("./closed: Permission denied")) << first.err.toStdString();
    EXPECT_FALSE(first.err.contains("notes.txt")) << "files without icons are passed over quietly";
    EXPECT_EQ(runTool({"list", "."}, root, asAnotherUser).code, 1);

    // The second run does not take the first one's icons for sources.
    const ToolRun second = runTool({"extract", "-o", "icons", "."}, root, asAnotherUser);
    EXPECT_EQ(second.out, QByteArray("icons/tool321.ico\n"));
    const ToolRun into = runTool({"extract", "-o", "icons", "icons"}, root);
    EXPECT_EQ(into.code, 1);
    EXPECT_TRUE(into.err.contains("icons: is the output folder")) << into.err.toStdString();

    // A folder that takes no files stops the run at its first refusal.
    ASSERT_TRUE(QDir(root).mkdir("shut"));
    QFile::setPermissions(root + "/shut", QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadOwner |
                                              QFileDevice::ExeOwner);
    const ToolRun shut = runTool({"extract", "-o", "shut", fixture("icons64.dll")}, root, asAnotherUser);
    EXPECT_EQ(shut.code, 1);
    EXPECT_EQ(shut.err.count('\n'), 2) << shut.err.toStdString();
    EXPECT_TRUE(shut.err.endsWith("glimmer-extract: shut: takes no new files; stopping\n")) << shut.err.toStdString();
}

TEST(ExtractCommand, GroupPicksWhatWrestoolsNamePicks)
{
    const QString wrestool = QStandardPaths::findExecutable("wrestool");
    if (wrestool.isEmpty())
        GTEST_SKIP() << "wrestool (icoutils) is not installed";
    // Names and numbers in PE32, PE32+ and NE modules; in mixed64.dll an icon and a cursor group share #1.
    const std::vector<std::pair<const char*, const char*>> picks{{"icons32.dll", "ZAPP"}, {"icons64.dll", "7"},
                                                                 {"shapes.icl", "BRAVO"}, {"icons16.dll", "5"},
                                                                 {"mixed64.dll", "1"}, {"cursors16.dll", "POINTER"}};
    for (const auto& [module, group] : picks) {
        SCOPED_TRACE(std::string(module) + " " + group);
        QTemporaryDir ours, theirs;
        const ToolRun run = runTool({"extract", "--group", group, "-o", ours.path(), fixture(module)});
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        for (const char* type : {"-t14", "-t12"}) {
            QProcess process;
            process.start(wrestool, {"-x", type, QStringLiteral("--name=") + group, "-o", theirs.path() + "/", fixture(module)});
            ASSERT_TRUE(process.waitForFinished(30000));
        }
        const QStringList written = QDir(ours.path()).entryList(QDir::Files, QDir::Name);
        ASSERT_EQ(written.size(), QDir(theirs.path()).entryList(QDir::Files).size()) << written.join(' ').toStdString();
        for (const QString& name : written) {
            const bool cursor = name.endsWith(".cur");
            const QString wrestools = theirs.filePath(QString(module) + (cursor ? "_12_" : "_14_") + group + (cursor ? ".cur" : ".ico"));
            EXPECT_TRUE(sameAsWrestools(readFile(ours.filePath(name).toStdString()), readFile(wrestools.toStdString())))
                << name.toStdString();
        }
    }
    // Names are matched in any case, as Windows finds resources; a group that is not there is a problem.
    QTemporaryDir out;
    EXPECT_EQ(runTool({"extract", "--group", "zapp", "-o", out.path(), fixture("icons32.dll")}).out,
              QFile::encodeName(out.filePath("icons32.ico")) + "\n");
    const ToolRun missing = runTool({"extract", "--group", "NOPE", "-o", out.path(), fixture("icons32.dll")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.endsWith("icons32.dll: has no group NOPE\n")) << missing.err.toStdString();
}
