// Taking entries out of the source list, and the file-type choice.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "extraction/file_list.h"
#include "sources/folder_list.h"
#include "support/window_harness.h"

namespace {

using gg::test::WindowHarness;

void fill(gg::MainWindow& form, const QStringList& entries)
{
    form.sourceFolders->clear();
    form.sourceFolders->append(entries);
}

void select(gg::MainWindow& form, int row)
{
    form.sourceListView->setCurrentIndex(form.sourceFolders->index(row, 0));
}

TEST(SourceList, DeleteRemovesExactlyTheSelectedEntry)
{
    WindowHarness h;
    gg::MainWindow& form = h.open();
    fill(form, {"a", "b", "c", "b"});
    select(form, 1);
    form.sourceListView->setFocus();
    QTest::keyClick(form.sourceListView, Qt::Key_Delete);
    EXPECT_EQ(form.sourceFolders->entries(), (QStringList{"a", "c", "b"}));

    // Other keys mean nothing.
    select(form, 0);
    QTest::keyClick(form.sourceListView, Qt::Key_Backspace);
    EXPECT_EQ(form.sourceFolders->entries(), (QStringList{"a", "c", "b"}));
}

TEST(SourceList, DeleteDoesNothingWithoutSelectionOnAnEmptyListOrWhileBusy)
{
    WindowHarness h;
    gg::MainWindow& form = h.open();
    QTest::keyClick(form.sourceListView, Qt::Key_Delete); // empty list
    EXPECT_EQ(form.sourceFolders->count(), 0);

    fill(form, {"a", "b"});
    form.sourceListView->selectionModel()->clear();
    QTest::keyClick(form.sourceListView, Qt::Key_Delete);
    EXPECT_EQ(form.sourceFolders->count(), 2);

    select(form, 0);
    form.setMousePointer(gg::kPointerBusy);
    QTest::keyClick(form.sourceListView, Qt::Key_Delete);
    EXPECT_EQ(form.sourceFolders->count(), 2);
    form.setMousePointer(gg::kPointerDefault);
    QTest::keyClick(form.sourceListView, Qt::Key_Delete);
    EXPECT_EQ(form.sourceFolders->entries(), QStringList{"b"});
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(SourceList, ClearListEmptiesItUnlessBusyAndTouchesNothingElse)
{
    WindowHarness h;
    gg::MainWindow& form = h.open();
    form.clearSourceList(); // empty: nothing happens, nothing is shown
    EXPECT_TRUE(h.boxes.boxes.empty());

    fill(form, {"a", "b"});
    const QString output = form.outputFolderEdit->text();
    form.setMousePointer(gg::kPointerBusy);
    QTest::mouseClick(form.clearListButton, Qt::LeftButton);
    EXPECT_EQ(form.sourceFolders->count(), 2);
    form.setMousePointer(gg::kPointerDefault);
    QTest::mouseClick(form.clearListButton, Qt::LeftButton);
    EXPECT_EQ(form.sourceFolders->count(), 0);
    EXPECT_EQ(form.outputFolderEdit->text(), output);
    EXPECT_TRUE(h.boxes.boxes.empty());
}

// Which files each option lists is checked through extraction's counters; here the patterns.
TEST(FileTypeChoice, PatternsIgnoreCaseAndAStrayChoiceChangesNothing)
{
    WindowHarness h;
    gg::MainWindow& form = h.open();
    EXPECT_TRUE(form.fileTypeOptions[1]->isChecked());
    form.chooseFileType(7); // no such option: nothing changes
    EXPECT_TRUE(form.fileTypeOptions[1]->isChecked());
    EXPECT_FALSE(form.fileTypeOptions[0]->isChecked());

    const QString app = gg::kApplicationFilesPattern;
    EXPECT_EQ(app, QStringLiteral("*.ICO;*.ICL;*.EXE;*.CPL;*.DLL;*.OCX;*.VBX;*.DRV;*.SCR"));
    EXPECT_EQ(gg::kAllFilesPattern, QStringLiteral("*.*"));
    for (const char* name : {"setup.exe", "ICON.ICO", "lib.dll", "LIB.DLL", "Panel.Cpl", "x.scr"})
        EXPECT_TRUE(gg::FilePattern(app).matches(QString::fromLatin1(name))) << name;
    for (const char* name : {"notes.txt", "exe", "a.exe.bak", "icons.icon"})
        EXPECT_FALSE(gg::FilePattern(app).matches(QString::fromLatin1(name))) << name;
    for (const char* name : {"notes.txt", "README", "a.exe"})
        EXPECT_TRUE(gg::FilePattern(gg::kAllFilesPattern).matches(QString::fromLatin1(name))) << name;
}

} // namespace
