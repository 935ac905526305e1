// "Load List Of Folders From File" and "Load Sample/Example Folders" through the window.
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "runtime/error_trap.h"

#include "runtime/dialogs.h"
#include "sources/folder_list.h"
#include "sources/list_files.h"
#include "sources/sources_support.h"
#include "support/window_harness.h"

namespace {

using gg::test::WindowHarness;
using gg::test::writeBytes;

TEST(LoadListCommand, ShowsTheHelpFirstThenTheDialogAndStopsOnCancel)
{
    WindowHarness h;
    gg::MainWindow& form = h.open();
    form.loadListFiles();
    ASSERT_EQ(h.boxes.boxes.size(), 1u);
    EXPECT_EQ(h.boxes.boxes[0].title, form.appTitle());
    EXPECT_EQ(h.boxes.boxes[0].text, QStringLiteral("File should look like:\r/test/1.txt\r/test/2.txt\retc."));
    EXPECT_EQ(h.boxes.boxes[0].icon, gg::BoxIcon::None);
    EXPECT_EQ(h.boxes.boxes[0].buttons, gg::BoxButtons::Ok);
    ASSERT_EQ(h.dialogs.calls.size(), 1u);
    EXPECT_EQ(h.dialogs.calls[0].kind, QStringLiteral("files"));
    EXPECT_EQ(h.dialogs.calls[0].title, QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"));
    EXPECT_EQ(h.dialogs.calls[0].filter, QStringLiteral("All Files (*.*)|*.*|"));
    EXPECT_EQ(h.dialogs.calls[0].startFolder, QString());
    EXPECT_EQ(form.sourceFolders->count(), 0);
}

TEST(LoadListCommand, EveryKindOfLineEndInTheOrderTheFilesWereChosen)
{
    QTemporaryDir temp;
    const QString crlf = temp.filePath("crlf.txt");
    const QString cr = temp.filePath("cr.txt");
    const QString lf = temp.filePath("lf.txt");
    writeBytes(crlf, "C:\\A\r\n\r\n/b/\r\n");
    writeBytes(cr, "/c\r/d\r");
    // A NUL stays in its entry: cut there, the entry would name a different folder.
    writeBytes(lf, QByteArray(" /e \n\n/f\n/n\0ul", 14));
    WindowHarness h;
    gg::MainWindow& form = h.open();
    h.dialogs.files.push_back({lf, crlf, cr});
    form.loadListFiles();
    EXPECT_EQ(form.sourceFolders->entries(),
              (QStringList{" /e ", "", "/f", QStringLiteral("/n") + QChar(0) + QStringLiteral("ul"), "C:\\A", "",
                           "/b/", "/c", "/d"}));
    EXPECT_EQ(h.boxes.boxes.size(), 1u); // just the help

    // A file whose last line ends in a line feed gives no empty entry after it.
    writeBytes(lf, "/g\n/h\n");
    form.sourceFolders->clear();
    h.dialogs.files.push_back({lf});
    form.loadListFiles();
    EXPECT_EQ(form.sourceFolders->entries(), (QStringList{"/g", "/h"}));
}

TEST(LoadListCommand, AFileThatCannotBeFoundIsSkippedWithItsMessageTheOthersLoad)
{
    QTemporaryDir temp;
    const QString good = temp.filePath("good.txt");
    const QString gone = temp.filePath("gone\xef\xbf\xbd.txt");
    writeBytes(good, "/x\r\n");
    WindowHarness h;
    gg::MainWindow& form = h.open();
    h.dialogs.files.push_back({gone, good});
    form.loadListFiles();
    ASSERT_EQ(h.boxes.boxes.size(), 2u);
    EXPECT_EQ(h.boxes.boxes[1].text, gone + "\r\rwas not added because it has bad characters in the filename.");
    EXPECT_EQ(h.boxes.boxes[1].title, form.appTitle());
    EXPECT_EQ(form.sourceFolders->entries(), QStringList{"/x"});
}

TEST(LoadListCommand, SeveralFilesAreJoinedPathsTidiedOnce)
{
    QTemporaryDir temp;
    writeBytes(temp.filePath("one.txt"), "/1\r\n");
    writeBytes(temp.filePath("two.txt"), "/2\r\n");
    WindowHarness h;
    gg::MainWindow& form = h.open();
    h.dialogs.files.push_back({temp.path() + "//one.txt", temp.path() + "//two.txt"});
    form.loadListFiles();
    EXPECT_EQ(form.sourceFolders->entries(), (QStringList{"/1", "/2"}));
    EXPECT_EQ(h.boxes.boxes.size(), 1u);
}

TEST(LoadListCommand, OnlyRegularFilesOfSaneSizeAreReadEachOtherIsReportedOnce)
{
    QTemporaryDir temp;
    writeBytes(temp.filePath("list.txt"), "/z");
    // Opening a pipe nobody writes to would wait for a writer; /dev/zero never ends.
    const QString pipe = temp.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString huge = temp.filePath("huge.txt");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(gg::kLargestListFile + 1)); // sparse: no disk used
    }
    WindowHarness h;
    gg::MainWindow& form = h.open();
    h.dialogs.files.push_back({pipe, QStringLiteral("/dev/zero"), temp.path(), huge, temp.filePath("list.txt")});
    form.loadListFiles();

    const char* expected[] = {"Path/File access error", "Path/File access error", "Path/File access error",
                              "File too large"};
    ASSERT_EQ(h.boxes.boxes.size(), 5u); // the help, then one report per file that is not read
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(h.boxes.boxes[i + 1].title, QStringLiteral("Application Error"));
        EXPECT_EQ(h.boxes.boxes[i + 1].text.toStdString(),
                  gg::buildErrorReportText(expected[i], "in Glintwork2021/08/31.Form1.PushButton7_Click ", 140));
    }
    EXPECT_EQ(form.sourceFolders->entries(), QStringList{"/z"});

    // The largest size accepted is read whole.
    const QString largest = temp.filePath("largest.txt");
    {
        QFile file(largest);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(gg::kLargestListFile));
    }
    EXPECT_EQ(gg::readListFileBytes(largest).size(), gg::kLargestListFile);
}

TEST(SampleFoldersCommand, AppendsTheSamplesFolderBesideTheProgramEachTime)
{
    WindowHarness h;
    gg::MainWindow& form = h.open();
    form.loadSampleFolders();
    form.loadSampleFolders();
    const QString samples = h.programFolder() + "/Samples";
    EXPECT_EQ(form.sourceFolders->entries(), (QStringList{samples, samples}));
    EXPECT_TRUE(h.boxes.boxes.empty());
}

} // namespace

namespace {

TEST(FileDialogFilter, PairsBecomeTheDialogsOwnForm)
{
    EXPECT_EQ(gg::toQtFileFilter(QStringLiteral("All Files (*.*)|*.*|")), QStringLiteral("All Files (*)"));
    EXPECT_EQ(gg::toQtFileFilter(QStringLiteral("Text|*.txt;*.lst|Icons (*.ico)|*.ico|")),
              QStringLiteral("Text (*.txt *.lst);;Icons (*.ico)"));
    EXPECT_EQ(gg::toQtFileFilter(QString()), QString());
}

} // namespace
