// The POSIX lister on the real file system: which entries count as sub-folders, how failures map,
// and which file systems count as hidden system folders.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/directory_lister.h"
#include "sources/unprivileged.h"
#include "sources/folder_scan.h"
#include "sources/sources_support.h"

namespace {

using gg::ListError;
using gg::PosixDirectoryLister;

std::vector<std::pair<std::string, bool>> subFolders(PosixDirectoryLister& lister, const std::string& path,
                                                     ListError* error = nullptr)
{
    std::vector<std::pair<std::string, bool>> found;
    const ListError result = lister.listSubFolders(
        path, [&](const gg::SubFolder& sub) { found.emplace_back(std::string(sub.name), sub.isLink); });
    if (error)
        *error = result;
    std::sort(found.begin(), found.end());
    return found;
}

TEST(PosixDirectoryLister, FoldersAndLinksToFoldersAreSubFoldersNothingElse)
{
    QTemporaryDir temp;
    const std::string base = temp.path().toStdString();
    ASSERT_EQ(::mkdir((base + "/dir").c_str(), 0755), 0);
    QFile((temp.path() + "/file")).open(QIODevice::WriteOnly);
    ASSERT_EQ(::symlink("dir", (base + "/link-to-dir").c_str()), 0);
    ASSERT_EQ(::symlink("file", (base + "/link-to-file").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (base + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink(".", (base + "/loop").c_str()), 0);

    PosixDirectoryLister lister;
    ListError error = ListError::Other;
    const auto found = subFolders(lister, base + "/", &error);
    EXPECT_EQ(error, ListError::None);
    EXPECT_EQ(found, (std::vector<std::pair<std::string, bool>>{{"dir", false}, {"link-to-dir", true}, {"loop", true}}));

    EXPECT_TRUE(lister.facts(base + "/dir/").isFolder);
    EXPECT_TRUE(lister.facts(base + "/link-to-dir/").isFolder);
    EXPECT_FALSE(lister.facts(base + "/file").isFolder);
    EXPECT_FALSE(lister.facts(base + "/missing/").isFolder);
    EXPECT_FALSE(lister.facts("").isFolder);
}

TEST(PosixDirectoryLister, FailuresMapToDeniedNotFoundOrOther)
{
    QTemporaryDir temp;
    const std::string base = temp.path().toStdString();
    QFile((temp.path() + "/file")).open(QIODevice::WriteOnly);
    PosixDirectoryLister lister;
    ListError error = ListError::None;
    subFolders(lister, base + "/missing/", &error);
    EXPECT_EQ(error, ListError::PathNotFound);
    subFolders(lister, base + "/file/", &error);
    EXPECT_EQ(error, ListError::PathNotFound);

    // Permission bits deny nothing to root, so the listing runs under an ordinary user's id.
    ASSERT_EQ(::chmod(base.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((base + "/locked").c_str(), 0), 0);
    ASSERT_EQ(::mkdir((base + "/open").c_str(), 0755), 0);
    {
        gg::test::Unprivileged user;
        if (!user.active())
            GTEST_SKIP() << "cannot take an unprivileged file-system id";
        subFolders(lister, base + "/locked/", &error);
        EXPECT_EQ(error, ListError::PermissionDenied);
        subFolders(lister, base + "/open/", &error);
        EXPECT_EQ(error, ListError::None);
    }
    ::chmod((base + "/locked").c_str(), 0755);
}

TEST(PosixDirectoryLister, OnlyMountPointsOfKernelPseudoFileSystemsAreHiddenSystemFolders)
{
    // An automounter's root is often /home: never hidden.
    EXPECT_FALSE(gg::isPseudoFileSystemType("autofs"));
    EXPECT_FALSE(gg::isPseudoFileSystemMagic(0x0187));

    PosixDirectoryLister lister;
    QTemporaryDir temp;
    EXPECT_FALSE(lister.facts(temp.path().toStdString() + "/").hiddenSystem);
    EXPECT_FALSE(lister.facts("/").hiddenSystem);
    if (QDir(QStringLiteral("/dev/shm")).exists()) // tmpfs holds real files: not hidden
        EXPECT_FALSE(lister.facts("/dev/shm/").hiddenSystem);
    if (!QFile::exists(QStringLiteral("/proc/self")))
        GTEST_SKIP() << "no /proc here";
    EXPECT_TRUE(lister.facts("/proc/").hiddenSystem);
    EXPECT_TRUE(lister.facts("/proc").hiddenSystem);
    EXPECT_FALSE(lister.facts("/proc/self/").hiddenSystem); // on proc, but not its mount point
    if (!QDir(QStringLiteral("/sys/class")).exists())
        GTEST_SKIP() << "no /sys here";
    EXPECT_TRUE(lister.facts("/sys/").hiddenSystem);
    EXPECT_FALSE(lister.facts("/sys/class/").hiddenSystem);

    // A folder below a mount point, chosen on purpose, lists what lies below it.
    std::vector<std::string> folders{"/sys/class/"};
    gg::test::RecordingReporter reporter;
    gg::scanFolderTree(folders, false, lister, reporter, [] {});
    EXPECT_GT(folders.size(), 1u);
    EXPECT_EQ(folders.front(), "/sys/class/");
    folders = {"/sys/"};
    gg::scanFolderTree(folders, false, lister, reporter, [] {});
    EXPECT_EQ(folders, std::vector<std::string>{"/sys/"});
}

} // namespace
