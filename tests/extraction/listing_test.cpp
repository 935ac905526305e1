#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "extraction/file_list.h"
#include "runtime/error_trap.h"
#include "test_files.h"

using namespace gg;

namespace {

QStringList texts(const ListedNames& names)
{
    QStringList out;
    for (const ListedName& name : names)
        out << name.text;
    return out;
}

} // namespace

TEST(FolderListing, SortsWithoutCaseAndKeepsOnlyVisibleRegularFiles)
{
    QTemporaryDir dir;
    for (const char* name : {"b.dll", "A.exe", "c.ICO", "a.dll", ".hidden.ico", "Zeta.txt"})
        test::writeTextFile(dir.filePath(QString::fromUtf8(name)));
    test::makeFolder(dir.path(), QStringLiteral("folder.dll"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("b.dll")), dir.filePath(QStringLiteral("linked.dll"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("broken.dll"))));
    // A pipe would block whoever opens it for reading.
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.exe"))).constData(), 0600), 0);

    EXPECT_EQ(texts(listFolderFiles(dir.path(), kAllFilesPattern)),
              (QStringList{"a.dll", "A.exe", "b.dll", "c.ICO", "linked.dll", "Zeta.txt"}));
    EXPECT_EQ(texts(listFolderFiles(dir.path(), kApplicationFilesPattern)),
              (QStringList{"a.dll", "A.exe", "b.dll", "c.ICO", "linked.dll"}));
    EXPECT_EQ(texts(listFolderFiles(dir.path(), QStringLiteral("*.TXT"))), (QStringList{"Zeta.txt"}));
}

TEST(FolderListing, NamesThatDifferOnlyInCaseKeepAFixedOrder)
{
    QTemporaryDir dir;
    for (const char* name : {"icon.ico", "ICON.ico", "Icon.ico"})
        test::writeTextFile(dir.filePath(QString::fromUtf8(name)));
    EXPECT_EQ(texts(listFolderFiles(dir.path(), kAllFilesPattern)), (QStringList{"ICON.ico", "Icon.ico", "icon.ico"}));
}

TEST(FolderListing, AFolderThatCannotBeOpenedIsAFailureThatSaysWhy)
{
    QTemporaryDir dir;
    test::writeTextFile(dir.filePath(QStringLiteral("plain.txt")));
    for (const QString& bad : {dir.filePath(QStringLiteral("missing")), dir.filePath(QStringLiteral("plain.txt")),
                               QString()}) {
        try {
            listFolderFiles(bad, kAllFilesPattern);
            ADD_FAILURE() << "listed " << bad.toStdString();
        } catch (const StepFailure& e) {
            EXPECT_STREQ(e.what(), "Path not found");
        }
    }
}

TEST(FileListControl, PointsNowhereAfterAFolderThatCannotBeOpened)
{
    QTemporaryDir dir;
    test::writeTextFile(dir.filePath(QStringLiteral("one.exe")));
    FileList list;
    list.setPath(dir.path() + QStringLiteral("//"));
    EXPECT_EQ(list.listedFolder, dir.path());
    list.refresh();
    EXPECT_EQ(list.entryCount(), 1);

    EXPECT_THROW(list.setPath(dir.filePath(QStringLiteral("missing"))), StepFailure);
    EXPECT_TRUE(list.listedFolder.isEmpty());
    list.refresh();
    EXPECT_EQ(list.entryCount(), 0);
}

TEST(FileListControl, JoinsNamesWithoutDoublingTheRootSeparator)
{
    EXPECT_EQ(listedFolderPath(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(listedFolderPath(QStringLiteral("/data/icons///")), QStringLiteral("/data/icons"));
    EXPECT_EQ(joinListedPath("/", "a.ico"), "/a.ico");
    EXPECT_EQ(joinListedPath("/data", "a.ico"), "/data/a.ico");
}
