#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>
#include <QProgressBar>
#include <QSettings>
#include "sources/folder_list.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

#include "runtime/settings_store.h"
#include "support/window_harness.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QColor background(QWidget* w)
{
    return w->palette().color(QPalette::Window);
}

TEST(Startup, WithoutASkinTheDesignColoursStay)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    EXPECT_EQ(background(&form), QColor(Qt::white));
    EXPECT_TRUE(form.styleSheet().isEmpty());
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(Startup, ASkinPaintsTheWindowFramesLabelsAndOptionsButtonFaceThenLoadsTheSheet)
{
    gg::test::WindowHarness h;
    writeFile(h.programFolder() + "/x/o.cjs", "QPushButton { color: rgb(1, 2, 3); }");
    gg::MainWindow& form = h.open();
    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(background(&form), face);
    for (QWidget* w : std::initializer_list<QWidget*>{form.outputFolderFrame, form.galleryFrame, form.fileTypeFrame, form.fileTypesLabel,
                                                      form.fileTypeOptions[0], form.fileTypeOptions[1], form.countersLabel})
        EXPECT_EQ(background(w), face) << w->objectName().toStdString();
    // Buttons, lists and the text box keep their own colours.
    gg::test::WindowHarness plain;
    gg::MainWindow& unskinned = plain.open();
    EXPECT_EQ(form.outputFolderEdit->palette().color(QPalette::Base), unskinned.outputFolderEdit->palette().color(QPalette::Base));
    EXPECT_EQ(form.saveSelectedButton->palette().color(QPalette::Button),
              unskinned.saveSelectedButton->palette().color(QPalette::Button));
    EXPECT_FALSE(form.saveSelectedButton->autoFillBackground());
    EXPECT_EQ(form.styleSheet(), QStringLiteral("QPushButton { color: rgb(1, 2, 3); }"));
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(Startup, HandPointerFileIsOptional)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    EXPECT_FALSE(form.handCursor().has_value());
    form.setMousePointer(gg::kPointerHand);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
}

TEST(Startup, TheHandPointerFileBesideTheProgramIsLoadedWithItsHotSpot)
{
    gg::test::WindowHarness h;
    ASSERT_TRUE(QFile::copy(QStringLiteral(GG_SOURCE_DIR "/res/HAND-M.CUR"), h.programFolder() + "/HAND-M.CUR"));
    gg::MainWindow& form = h.open();
    ASSERT_TRUE(form.handCursor().has_value());
    EXPECT_FALSE(form.handCursor()->pixmap().isNull());
    EXPECT_NE(form.handCursor()->hotSpot(), QPoint(0, 0)) << "the fingertip, not the corner";
    form.setMousePointer(gg::kPointerHand);
    EXPECT_EQ(form.cursor().shape(), Qt::BitmapCursor);
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(Startup, AHandPointerThatIsNoPictureIsReportedAndStartUpGoesOn)
{
    gg::test::WindowHarness h;
    writeFile(h.programFolder() + "/HAND-M.CUR", QByteArray("not a cursor at all"));
    gg::MainWindow& form = h.open();
    ASSERT_EQ(h.boxes.boxes.size(), 1u);
    const QString text = h.boxes.boxes[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("\r\nin Glintwork2021/08/31.Form1.Form_Load at line 110\r\r")))
        << text.toStdString();
    // The steps after the failing one still ran.
    EXPECT_EQ(form.sourceFolders->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Folder(s)"));
    EXPECT_FALSE(form.outputFolderEdit->text().isEmpty());
}

TEST(Startup, AppTitleDropsTheLastWordOnceAndAgainWhileTooLong)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.setAppTitle(QStringLiteral("One Two"));
    EXPECT_EQ(form.appTitle(), QStringLiteral("One"));
    // 48 characters: the first cut leaves 43, still too long; the second leaves 40.
    form.setAppTitle(QStringLiteral("Aaaaaaaaaaaaaaaaaaaa Bbbbbbbbbbbbbbbbbbb Cccc Dd"));
    EXPECT_EQ(form.appTitle(), QStringLiteral("Aaaaaaaaaaaaaaaaaaaa Bbbbbbbbbbbbbbbbbbb"));
    // A name without a blank cannot be cut: the title keeps its value.
    EXPECT_THROW(form.setAppTitle(QStringLiteral("Single")), gg::StepFailure);
    EXPECT_EQ(form.appTitle(), QStringLiteral("Aaaaaaaaaaaaaaaaaaaa Bbbbbbbbbbbbbbbbbbb"));
    form.setAppTitle();
    EXPECT_EQ(form.appTitle(), QStringLiteral("Tessaly Glimmer Gatherer"));
}

TEST(Startup, OutputFolderDefaultsToTheDesktopAndIsStoredAtOnce)
{
    gg::writeSetting(gg::kKeyOutputDirectory, QString());
    QSettings(QSettings::NativeFormat, QSettings::UserScope, gg::kSettingsApplication).remove(gg::kSettingsSection);
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + u'/';
    EXPECT_EQ(form.outputFolderEdit->text(), desktop);
    EXPECT_EQ(gg::readSetting(gg::kKeyOutputDirectory, QStringLiteral("absent")), desktop);
}

TEST(Startup, TheWindowOpensCentredOnItsScreen)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect area = form.screen()->availableGeometry();
    const QRect frame = form.frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1) << frame.x() << " in " << area.width();
    // Where the screen is lower than the window, the title bar stays on it.
    const int top = std::max(area.top(), area.center().y() - frame.height() / 2);
    EXPECT_LE(std::abs(frame.top() - top), 1) << frame.y() << " in " << area.height();
}

TEST(Startup, CloseRequestEndsTheProgramWithoutAsking)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.show();
    form.close();
    EXPECT_EQ(h.endProgramCalls, 1);
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(Startup, CloseRequestInTheMiddleOfALongCommandEndsAtOnce)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.show();
    form.setMousePointer(gg::kPointerBusy);
    // A long command yields to the event loop; the close arrives there.
    QMetaObject::invokeMethod(&form, [&] { form.close(); }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    EXPECT_EQ(h.endProgramCalls, 1);
    form.setMousePointer(gg::kPointerDefault);
}

// --- pointer rules -----------------------------------------------------------------------------

void moveOver(QWidget* w)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

TEST(PointerRules, HandOverButtonsArrowOverBackgroundFramesAndSourceList)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    for (QPushButton* b : {form.saveSelectedButton, form.saveAllButton, form.chooseOutputFolderButton, form.addFolderButton,
                           form.clearListButton, form.startExtractingButton, form.loadListFileButton, form.loadSamplesButton}) {
        moveOver(b);
        EXPECT_EQ(form.mousePointer(), gg::kPointerHand) << b->objectName().toStdString();
        moveOver(&form);
        EXPECT_EQ(form.mousePointer(), gg::kPointerDefault);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{form.outputFolderFrame, form.galleryFrame, form.fileTypeFrame, form.sourceListView}) {
        moveOver(form.startExtractingButton);
        moveOver(w);
        EXPECT_EQ(form.mousePointer(), gg::kPointerDefault) << w->objectName().toStdString();
    }
}

TEST(PointerRules, OtherControlsLeaveTheHand)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    for (QWidget* w : std::initializer_list<QWidget*>{form.gallery, form.outputFolderEdit, form.fileTypeOptions[0], form.progressBar}) {
        moveOver(form.saveSelectedButton);
        moveOver(w);
        EXPECT_EQ(form.mousePointer(), gg::kPointerHand) << w->objectName().toStdString();
    }
}

TEST(PointerRules, TheHourglassIsLeftAloneUntilTheCommandEnds)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.setMousePointer(gg::kPointerBusy);
    moveOver(form.saveAllButton);
    moveOver(&form);
    moveOver(form.galleryFrame);
    EXPECT_EQ(form.mousePointer(), gg::kPointerBusy);
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
    form.setMousePointer(gg::kPointerDefault);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

// The hourglass and the hand cover every control of the window, the text box's I-beam too, and
// nothing else: a box or dialog owned by the window keeps its own pointers.
TEST(PointerRules, TheWindowsPointerCoversItsControlsAndNoOtherWindow)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    QDialog dialog(&form);
    auto* field = new QLineEdit(&dialog);
    for (int value : {gg::kPointerBusy, gg::kPointerHand}) {
        form.setMousePointer(value);
        const Qt::CursorShape shape = value == gg::kPointerBusy ? Qt::WaitCursor : Qt::PointingHandCursor;
        EXPECT_EQ(form.outputFolderEdit->cursor().shape(), shape) << value;
        EXPECT_EQ(form.gallery->cursor().shape(), shape) << value;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << value;
        EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor) << value;
        EXPECT_EQ(field->cursor().shape(), Qt::IBeamCursor) << value;
        form.setMousePointer(gg::kPointerDefault);
        EXPECT_EQ(form.outputFolderEdit->cursor().shape(), Qt::IBeamCursor) << value;
    }
}

} // namespace
