// Taking entries out of the source list, and the file-type choice.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "extraction/file_list.h"
#include "sources/folder_list.h"
#include "support/form_harness.h"

namespace {

using gg::test::FormHarness;

void fill(gg::Form1& form, const QStringList& entries)
{
    form.sourceList->clear();
    form.sourceList->append(entries);
}

void select(gg::Form1& form, int row)
{
    form.ListView1->setCurrentIndex(form.sourceList->index(row, 0));
}

TEST(SourceList, DeleteRemovesExactlyTheSelectedEntry)
{
    FormHarness h;
    gg::Form1& form = h.open();
    fill(form, {"a", "b", "c", "b"});
    select(form, 1);
    form.ListView1->setFocus();
    QTest::keyClick(form.ListView1, Qt::Key_Delete);
    EXPECT_EQ(form.sourceList->entries(), (QStringList{"a", "c", "b"}));

    // Other keys mean nothing.
    select(form, 0);
    QTest::keyClick(form.ListView1, Qt::Key_Backspace);
    form.ListView1_KeyDown(45, 0);
    EXPECT_EQ(form.sourceList->entries(), (QStringList{"a", "c", "b"}));
}

TEST(SourceList, DeleteDoesNothingWithoutSelectionOnAnEmptyListOrWhileBusy)
{
    FormHarness h;
    gg::Form1& form = h.open();
    form.ListView1_KeyDown(46, 0); // empty list
    EXPECT_EQ(form.sourceList->count(), 0);

    fill(form, {"a", "b"});
    form.ListView1->selectionModel()->clear();
    form.ListView1_KeyDown(46, 0);
    EXPECT_EQ(form.sourceList->count(), 2);

    select(form, 0);
    form.setMousePointer(gg::kPointerBusy);
    form.ListView1_KeyDown(46, 0);
    EXPECT_EQ(form.sourceList->count(), 2);
    form.setMousePointer(gg::kPointerDefault);
    form.ListView1_KeyDown(46, 0);
    EXPECT_EQ(form.sourceList->entries(), QStringList{"b"});
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(SourceList, ClearListEmptiesItUnlessBusyAndTouchesNothingElse)
{
    FormHarness h;
    gg::Form1& form = h.open();
    form.PushButton5_Click(); // empty: nothing happens, nothing is shown
    EXPECT_TRUE(h.boxes.boxes.empty());

    fill(form, {"a", "b"});
    const QString output = form.Text1->text();
    form.setMousePointer(gg::kPointerBusy);
    QTest::mouseClick(form.PushButton5, Qt::LeftButton);
    EXPECT_EQ(form.sourceList->count(), 2);
    form.setMousePointer(gg::kPointerDefault);
    QTest::mouseClick(form.PushButton5, Qt::LeftButton);
    EXPECT_EQ(form.sourceList->count(), 0);
    EXPECT_EQ(form.Text1->text(), output);
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(FileTypeChoice, OptionsSetThePatternWhichIgnoresCase)
{
    FormHarness h;
    gg::Form1& form = h.open();
    EXPECT_EQ(form.extraction.folderListing.Pattern, gg::kApplicationFilesPattern);
    QTest::mouseClick(form.optFiles[0], Qt::LeftButton);
    EXPECT_EQ(form.extraction.folderListing.Pattern, QStringLiteral("*.*"));
    QTest::mouseClick(form.optFiles[1], Qt::LeftButton);
    EXPECT_EQ(form.extraction.folderListing.Pattern, QStringLiteral("*.ICO;*.ICL;*.EXE;*.CPL;*.DLL;*.OCX;*.VBX;*.DRV;*.SCR"));
    form.optFiles_Click(7); // no such option: nothing changes
    EXPECT_EQ(form.extraction.folderListing.Pattern, gg::kApplicationFilesPattern);

    const QString app = form.extraction.folderListing.Pattern;
    for (const char* name : {"setup.exe", "ICON.ICO", "lib.dll", "LIB.DLL", "Panel.Cpl", "x.scr"})
        EXPECT_TRUE(gg::MatchesPattern(QString::fromLatin1(name), app)) << name;
    for (const char* name : {"notes.txt", "exe", "a.exe.bak", "icons.icon"})
        EXPECT_FALSE(gg::MatchesPattern(QString::fromLatin1(name), app)) << name;
    for (const char* name : {"notes.txt", "README", "a.exe"})
        EXPECT_TRUE(gg::MatchesPattern(QString::fromLatin1(name), gg::kAllFilesPattern)) << name;
}

} // namespace
