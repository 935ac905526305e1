// The window without a mouse: Tab through the commands, Space and Enter on buttons, Delete in
// the source list, Ctrl+A in the gallery. Keys go through QTest, as a keyboard would send them.
#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "window/gallery_stand_in.h"
#include "sources/folder_list.h"
#include "support/window_harness.h"

namespace {

void showActive(gg::MainWindow& form)
{
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

std::vector<QPushButton*> commandButtons(gg::MainWindow& form)
{
    return {form.saveSelectedButton, form.saveAllButton, form.chooseOutputFolderButton, form.addFolderButton,
            form.clearListButton, form.startExtractingButton, form.loadListFileButton, form.loadSamplesButton};
}

TEST(Keyboard, WindowOpensWithFocusOnTheFirstTabStop)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    EXPECT_EQ(QApplication::focusWidget(), form.gallery);
}

TEST(Keyboard, TabVisitsEveryCommandInTheTableOrderAndComesBack)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.gallery->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), form.gallery);

    std::vector<QWidget*> visited{form.gallery};
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        if (now == form.gallery)
            break;
        visited.push_back(now);
    }
    ASSERT_EQ(QApplication::focusWidget(), form.gallery) << "Tab never came back to the gallery";

    // The option pair is one Tab stop, on the chosen option ("Application Files" at first).
    const std::vector<QWidget*> expected{static_cast<QWidget*>(form.gallery),          form.saveSelectedButton, form.saveAllButton, form.fileTypeOptions[1],
                                         form.sourceListView,   form.addFolderButton, form.clearListButton, form.startExtractingButton,
                                         form.chooseOutputFolderButton, form.outputFolderEdit,       form.loadListFileButton, form.loadSamplesButton};
    std::vector<std::string> names;
    for (QWidget* w : visited)
        names.push_back(w->objectName().toStdString());
    EXPECT_EQ(visited, expected) << ::testing::PrintToString(names);

    // Shift+Tab walks the same stops backwards.
    std::vector<QWidget*> back{form.gallery};
    for (size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        back.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(std::vector<QWidget*>(back.rbegin(), back.rend() - 1),
              std::vector<QWidget*>(expected.begin() + 1, expected.end()));
}

TEST(Keyboard, SpaceEnterAndReturnPressTheFocusedButton)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    for (QPushButton* button : commandButtons(form)) {
        SCOPED_TRACE(button->objectName().toStdString());
        // Count the presses instead of running the commands; what they do is tested elsewhere.
        QObject::disconnect(button, &QPushButton::clicked, &form, nullptr);
        int clicks = 0;
        QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(button->hasFocus());
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_EQ(clicks, 1);
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_EQ(clicks, 2);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicks, 3);
        // Enter presses only the focused button, not every button of the window.
        QTest::keyClick(form.outputFolderEdit, Qt::Key_Return);
        EXPECT_EQ(clicks, 3);
    }
}

// Tab enters the option pair on the chosen option, wherever focus last was in the pair; the
// arrows choose.
TEST(Keyboard, TabEntersTheFileTypeChoicesOnTheChosenOneAndArrowsChoose)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.saveAllButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.saveAllButton, Qt::Key_Tab);
    ASSERT_TRUE(form.fileTypeOptions[1]->hasFocus());
    QTest::keyClick(form.fileTypeOptions[1], Qt::Key_Up);
    EXPECT_TRUE(form.fileTypeOptions[0]->hasFocus());
    EXPECT_TRUE(form.fileTypeOptions[0]->isChecked());
    EXPECT_FALSE(form.fileTypeOptions[1]->isChecked());
    QTest::keyClick(form.fileTypeOptions[0], Qt::Key_Down);
    EXPECT_TRUE(form.fileTypeOptions[1]->isChecked());

    // Focus that lands on an option without choosing it does not move the stop there.
    form.fileTypeOptions[0]->setFocus(Qt::MouseFocusReason);
    form.sourceListView->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.sourceListView, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(form.fileTypeOptions[1]->hasFocus());
}

TEST(Keyboard, DeleteRemovesTheSelectedSourceFolder)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.sourceFolders->append(QStringList{QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")});
    form.sourceListView->setFocus(Qt::TabFocusReason);
    form.sourceListView->setCurrentIndex(form.sourceFolders->index(1, 0));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(form.sourceFolders->entries(), (QStringList{QStringLiteral("/a"), QStringLiteral("/c")}));
}

TEST(Keyboard, CtrlASelectsEveryGalleryItemAndShiftArrowsExtend)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::darkCyan);
    std::vector<std::pair<QImage, QString>> icons;
    for (int i = 0; i < 7; ++i)
        icons.emplace_back(icon, QStringLiteral("icon%1.ico").arg(i));
    form.gallery->setModel(gg::test::galleryStandIn(icons, &form));
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.gallery->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form.gallery->selectionModel()->selectedIndexes().size(), 7);

    // A plain arrow selects one icon; Shift+arrow extends the selection from there.
    QTest::keyClick(form.gallery, Qt::Key_Right);
    EXPECT_EQ(form.gallery->selectionModel()->selectedIndexes().size(), 1);
    QTest::keyClick(form.gallery, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(form.gallery, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(form.gallery->selectionModel()->selectedIndexes().size(), 3);
}

} // namespace
