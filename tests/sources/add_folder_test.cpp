// "Add Folder and Subfolders" through the window, with the folder dialog scripted.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "sources/folder_list.h"
#include "sources/sources_support.h"
#include "sources/unprivileged.h"
#include "support/window_harness.h"

namespace {

using gg::test::ControlledLister;
using gg::test::WindowHarness;

// A harness whose scans see the file system through the given lister's rules.
std::unique_ptr<gg::MainWindow> openWith(WindowHarness& h, const ControlledLister* rules)
{
    gg::WindowServices services;
    services.boxes = &h.boxes;
    services.dialogs = &h.dialogs;
    services.programFolder = h.programFolder();
    services.endProgram = [] {};
    if (rules)
        services.makeDirectoryLister = [rules] { return std::make_unique<ControlledLister>(*rules); };
    return std::make_unique<gg::MainWindow>(std::move(services));
}

QStringList addVia(gg::MainWindow& form, WindowHarness& h, const QString& folder)
{
    h.dialogs.folders.push_back(folder);
    form.addFolderTree();
    return form.sourceFolders->entries();
}

TEST(AddFolderCommand, AppendsTheFolderThenEachLevelBelowIt)
{
    QTemporaryDir temp;
    gg::test::makeFolders(temp.path(), {"A/B/D", "A/C"});
    WindowHarness h;
    ControlledLister rules;
    auto form = openWith(h, &rules);
    const QString a = temp.path() + "/A";
    EXPECT_EQ(addVia(*form, h, a), (QStringList{a + "/", a + "/B/", a + "/C/", a + "/B/D/"}));
    ASSERT_EQ(h.dialogs.calls.size(), 1u);
    EXPECT_EQ(h.dialogs.calls[0].kind, QStringLiteral("folder"));
    EXPECT_EQ(h.dialogs.calls[0].title, QStringLiteral("Please select folder:"));
    EXPECT_EQ(h.dialogs.calls[0].startFolder, QString());
    EXPECT_EQ(form->mousePointer(), gg::kPointerDefault);
    EXPECT_TRUE(h.boxes.boxes.empty());

    // Again: every folder a second time, after the first ones.
    EXPECT_EQ(addVia(*form, h, a).size(), 8);
}

TEST(AddFolderCommand, TheRealFileSystemGivesTheSameFoldersInItsOwnOrder)
{
    QTemporaryDir temp;
    gg::test::makeFolders(temp.path(), {"A/B/D", "A/C", "A/B/E"});
    WindowHarness h;
    gg::MainWindow& form = h.open();
    const QString a = temp.path() + "/A";
    QStringList entries = addVia(form, h, a);
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0], a + "/");
    // Level by level, whatever order the siblings come in.
    for (int i = 1; i <= 2; ++i)
        EXPECT_EQ(entries[i].count(u'/'), a.count(u'/') + 2) << entries[i].toStdString();
    for (int i = 3; i <= 4; ++i)
        EXPECT_TRUE(entries[i].startsWith(a + "/B/")) << entries[i].toStdString();
    entries.sort();
    EXPECT_EQ(entries, (QStringList{a + "/", a + "/B/", a + "/B/D/", a + "/B/E/", a + "/C/"}));
}

TEST(AddFolderCommand, AFolderWithoutSubFoldersAndTheRootComeBackWithOneSeparator)
{
    QTemporaryDir temp;
    WindowHarness h;
    ControlledLister rules;
    auto form = openWith(h, &rules);
    EXPECT_EQ(addVia(*form, h, temp.path()), QStringList{temp.path() + "/"});

    // The root: "//" during the walk, one separator in the list.
    WindowHarness rootHarness;
    gg::WindowServices services;
    services.boxes = &rootHarness.boxes;
    services.dialogs = &rootHarness.dialogs;
    services.programFolder = rootHarness.programFolder();
    services.endProgram = [] {};
    services.makeDirectoryLister = [] {
        auto fs = std::make_unique<gg::test::MemoryLister>();
        fs->add("//").hidden = true; // the root is entered whatever it lies on
        fs->add("//usr/");
        fs->add("//usr/lib/");
        return fs;
    };
    gg::MainWindow rootForm(std::move(services));
    EXPECT_EQ(addVia(rootForm, rootHarness, QStringLiteral("/")), (QStringList{"/", "/usr/", "/usr/lib/"}));
}

TEST(AddFolderCommand, HiddenSystemFoldersAndBadNamesAreAbsentWithEverythingBelow)
{
    QTemporaryDir temp;
    gg::test::makeFolders(temp.path(), {"A/hidden/inside", "A/plain/below", "A/what?"});
    const std::string a = temp.path().toStdString() + "/A/";
    for (const std::string bad : {std::string("tab\tname"), std::string("latin1-\xe9t\xe9"), std::string("c1-\xc2\x9b")}) {
        ASSERT_EQ(::mkdir((a + bad).c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((a + bad + "/below").c_str(), 0755), 0);
    }
    WindowHarness h;
    ControlledLister rules;
    rules.hidden.insert(a + "hidden/");
    auto form = openWith(h, &rules);
    const QString qa = temp.path() + "/A/";
    EXPECT_EQ(addVia(*form, h, temp.path() + "/A"),
              (QStringList{qa, qa + "plain/", qa + "what?/", qa + "plain/below/"}));
}

TEST(AddFolderCommand, LinksToFoldersAreKeptButNotEnteredSoLoopsEnd)
{
    QTemporaryDir temp;
    gg::test::makeFolders(temp.path(), {"A/real/inner"});
    const std::string a = temp.path().toStdString() + "/A/";
    ASSERT_EQ(::symlink("real", (a + "link").c_str()), 0);
    ASSERT_EQ(::symlink("..", (a + "real/up").c_str()), 0);
    WindowHarness h;
    ControlledLister rules;
    auto form = openWith(h, &rules);
    const QString qa = temp.path() + "/A/";
    EXPECT_EQ(addVia(*form, h, temp.path() + "/A"),
              (QStringList{qa, qa + "link/", qa + "real/", qa + "real/inner/", qa + "real/up/"}));
}

TEST(AddFolderCommand, FoldersThatCannotBeListedAreAbsent)
{
    QTemporaryDir temp;
    gg::test::makeFolders(temp.path(), {"A/locked/x", "A/open/y"});
    const std::string a = temp.path().toStdString() + "/A/";
    WindowHarness h;
    ControlledLister rules;
    rules.denied.insert(a + "locked/");
    auto form = openWith(h, &rules);
    const QString qa = temp.path() + "/A/";
    EXPECT_EQ(addVia(*form, h, temp.path() + "/A"), (QStringList{qa, qa + "open/", qa + "open/y/"}));

    // The chosen folder itself: nothing at all, and the window is no longer busy.
    form->sourceFolders->clear();
    EXPECT_EQ(addVia(*form, h, temp.path() + "/A/locked"), QStringList{});
    EXPECT_EQ(form->mousePointer(), gg::kPointerDefault);
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(AddFolderCommand, PermissionBitsReallyDenyThroughTheRealLister)
{
    QTemporaryDir temp;
    ASSERT_EQ(::chmod(temp.path().toLocal8Bit().constData(), 0755), 0);
    gg::test::makeFolders(temp.path(), {"A/locked/x", "A/open"});
    const std::string locked = temp.path().toStdString() + "/A/locked";
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    WindowHarness h;
    gg::MainWindow& form = h.open();
    QStringList fromA, fromLocked;
    {
        gg::test::Unprivileged user;
        if (!user.active()) {
            ::chmod(locked.c_str(), 0755);
            GTEST_SKIP() << "cannot take an unprivileged file-system id";
        }
        fromA = addVia(form, h, temp.path() + "/A");
        form.sourceFolders->clear();
        fromLocked = addVia(form, h, QString::fromStdString(locked));
    }
    ::chmod(locked.c_str(), 0755);
    const QString qa = temp.path() + "/A/";
    EXPECT_EQ(fromA, (QStringList{qa, qa + "open/"}));
    EXPECT_EQ(fromLocked, QStringList{});
}

TEST(AddFolderCommand, CancellingAppendsNothingAndLeavesThePointer)
{
    WindowHarness h;
    gg::MainWindow& form = h.open();
    form.setMousePointer(gg::kPointerHand);
    form.addFolderTree(); // the script is empty: the dialog is cancelled
    EXPECT_EQ(form.sourceFolders->count(), 0);
    EXPECT_EQ(form.mousePointer(), gg::kPointerHand);
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(AddFolderCommand, WhileTheWalkRunsTheWindowIsBusyAndTheListCannotBeEmptied)
{
    QTemporaryDir temp;
    gg::test::makeFolders(temp.path(), {"A/B"});
    WindowHarness h;
    ControlledLister rules;
    gg::MainWindow* seen = nullptr;
    std::vector<int> pointers;
    rules.whileListing = [&] {
        pointers.push_back(seen->mousePointer());
        QTest::keyClick(seen->sourceListView, Qt::Key_Delete);
        seen->clearSourceList();
    };
    auto form = openWith(h, &rules);
    seen = form.get();
    form->sourceFolders->append(QStringLiteral("earlier"));
    form->sourceListView->setCurrentIndex(form->sourceFolders->index(0, 0));
    const QString a = temp.path() + "/A";
    EXPECT_EQ(addVia(*form, h, a), (QStringList{"earlier", a + "/", a + "/B/"}));
    EXPECT_EQ(pointers, (std::vector<int>{gg::kPointerBusy, gg::kPointerBusy}));
    EXPECT_EQ(form->mousePointer(), gg::kPointerDefault);
}

} // namespace
