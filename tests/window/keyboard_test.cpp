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
#include "support/form_harness.h"

namespace {

void showActive(gg::Form1& form)
{
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

std::vector<QPushButton*> commandButtons(gg::Form1& form)
{
    return {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4,
            form.PushButton5, form.PushButton6, form.PushButton7, form.PushButton8};
}

TEST(Keyboard, WindowOpensWithFocusOnTheFirstTabStop)
{
    gg::test::FormHarness h;
    gg::Form1& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    EXPECT_EQ(QApplication::focusWidget(), form.lv);
}

TEST(Keyboard, TabVisitsEveryCommandInTheTableOrderAndComesBack)
{
    gg::test::FormHarness h;
    gg::Form1& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.lv->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), form.lv);

    std::vector<QWidget*> visited{form.lv};
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        if (now == form.lv)
            break;
        visited.push_back(now);
    }
    ASSERT_EQ(QApplication::focusWidget(), form.lv) << "Tab never came back to the gallery";

    // The option pair is one Tab stop, on the chosen option ("Application Files" at first).
    const std::vector<QWidget*> expected{static_cast<QWidget*>(form.lv),          form.PushButton1, form.PushButton2, form.optFiles[1],
                                         form.ListView1,   form.PushButton4, form.PushButton5, form.PushButton6,
                                         form.PushButton3, form.Text1,       form.PushButton7, form.PushButton8};
    std::vector<std::string> names;
    for (QWidget* w : visited)
        names.push_back(w->objectName().toStdString());
    EXPECT_EQ(visited, expected) << ::testing::PrintToString(names);

    // Shift+Tab walks the same stops backwards.
    std::vector<QWidget*> back{form.lv};
    for (size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        back.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(std::vector<QWidget*>(back.rbegin(), back.rend() - 1),
              std::vector<QWidget*>(expected.begin() + 1, expected.end()));
}

TEST(Keyboard, SpaceEnterAndReturnPressTheFocusedButton)
{
    gg::test::FormHarness h;
    gg::Form1& form = h.open();
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
        QTest::keyClick(form.Text1, Qt::Key_Return);
        EXPECT_EQ(clicks, 3);
    }
}

// Tab enters the option pair on the chosen option, wherever focus last was in the pair; the
// arrows choose.
TEST(Keyboard, TabEntersTheFileTypeChoicesOnTheChosenOneAndArrowsChoose)
{
    gg::test::FormHarness h;
    gg::Form1& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.PushButton2->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.PushButton2, Qt::Key_Tab);
    ASSERT_TRUE(form.optFiles[1]->hasFocus());
    QTest::keyClick(form.optFiles[1], Qt::Key_Up);
    EXPECT_TRUE(form.optFiles[0]->hasFocus());
    EXPECT_TRUE(form.optFiles[0]->isChecked());
    EXPECT_EQ(form.extraction.folderListing.Pattern, gg::kAllFilesPattern);
    QTest::keyClick(form.optFiles[0], Qt::Key_Down);
    EXPECT_TRUE(form.optFiles[1]->isChecked());
    EXPECT_EQ(form.extraction.folderListing.Pattern, gg::kApplicationFilesPattern);

    // Focus that lands on an option without choosing it does not move the stop there.
    form.optFiles[0]->setFocus(Qt::MouseFocusReason);
    form.ListView1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.ListView1, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(form.optFiles[1]->hasFocus());
}

TEST(Keyboard, DeleteRemovesTheSelectedSourceFolder)
{
    gg::test::FormHarness h;
    gg::Form1& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.sourceList->append(QStringList{QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")});
    form.ListView1->setFocus(Qt::TabFocusReason);
    form.ListView1->setCurrentIndex(form.sourceList->index(1, 0));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(form.sourceList->entries(), (QStringList{QStringLiteral("/a"), QStringLiteral("/c")}));
}

TEST(Keyboard, CtrlASelectsEveryGalleryItemAndShiftArrowsExtend)
{
    gg::test::FormHarness h;
    gg::Form1& form = h.open();
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::darkCyan);
    std::vector<std::pair<QImage, QString>> icons;
    for (int i = 0; i < 7; ++i)
        icons.emplace_back(icon, QStringLiteral("icon%1.ico").arg(i));
    form.lv->setModel(gg::test::galleryStandIn(icons, &form));
    ASSERT_NO_FATAL_FAILURE(showActive(form));
    form.lv->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form.lv->selectionModel()->selectedIndexes().size(), 7);

    // A plain arrow selects one icon; Shift+arrow extends the selection from there.
    QTest::keyClick(form.lv, Qt::Key_Right);
    EXPECT_EQ(form.lv->selectionModel()->selectedIndexes().size(), 1);
    QTest::keyClick(form.lv, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(form.lv, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(form.lv->selectionModel()->selectedIndexes().size(), 3);
}

} // namespace
