// The window at the scale factor the test program was started with (QT_SCALE_FACTOR; CTest runs
// these at 1, 1.5 and 2). With GG_SCREENSHOT_DIR set, one test also saves the window there.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTreeView>
#include <cmath>
#include <gtest/gtest.h>

#include "extraction/gallery_model.h"
#include "window/gallery_stand_in.h"
#include "window/window_layout.h"
#include "sources/folder_list.h"
#include "support/window_harness.h"

namespace {

double scaleFactor()
{
    bool ok = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? factor : 1.0;
}

void showExposed(gg::MainWindow& form)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
}

// One-pixel checks of two colours: any smoothing on the way to the screen would mix them.
QImage checkerIcon()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

bool isCheckerColour(QRgb c)
{
    return c == qRgb(255, 0, 0) || c == qRgb(0, 0, 255);
}

TEST(HiDpi, WindowScalesAsAWholeAndKeepsItsLayout)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    ASSERT_NO_FATAL_FAILURE(showExposed(form));
    const double factor = scaleFactor();
    EXPECT_DOUBLE_EQ(form.devicePixelRatio(), factor);

    // Logical sizes stay those of the layout table; only the device pixels grow.
    const QSize logical(gg::layout::px(gg::layout::kClientWidthTwips), gg::layout::px(gg::layout::kClientHeightTwips));
    EXPECT_EQ(form.size(), logical);
    const QImage shot = form.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(static_cast<int>(std::lround(logical.width() * factor)),
                                 static_cast<int>(std::lround(logical.height() * factor))));

    // Fonts scale with the window, so every caption still fits its control.
    for (QPushButton* b : form.findChildren<QPushButton*>()) {
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width() - 4);
    }
    for (QRadioButton* r : form.findChildren<QRadioButton*>()) {
        SCOPED_TRACE(r->objectName().toStdString());
        const int indicator = r->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, r)
                              + r->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, r);
        EXPECT_LE(indicator + QFontMetrics(r->font()).horizontalAdvance(r->text()), r->width());
    }
    for (QGroupBox* g : form.findChildren<QGroupBox*>()) {
        SCOPED_TRACE(g->objectName().toStdString());
        EXPECT_LE(QFontMetrics(g->font()).horizontalAdvance(g->title()), g->width());
    }
    EXPECT_LE(form.fileTypesLabel->sizeHint().width(), form.fileTypesLabel->width());
    // The extension list must not run into the frame's edge.
    EXPECT_LE(form.fileTypesLabel->geometry().right(), form.fileTypeFrame->width());
}

TEST(HiDpi, GalleryIconsAreDrawnPixelForPixelFromTheImage)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.gallery->setModel(gg::test::galleryStandIn({{checkerIcon(), QStringLiteral("checks.ico")}}, &form));
    ASSERT_NO_FATAL_FAILURE(showExposed(form));
    form.gallery->clearSelection();
    form.gallery->setCurrentIndex({});
    const double factor = scaleFactor();
    const QImage view = form.gallery->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect item = form.gallery->visualRect(form.gallery->model()->index(0, 0));
    const QRect itemPixels(QPoint(static_cast<int>(std::floor(item.left() * factor)),
                                  static_cast<int>(std::floor(item.top() * factor))),
                           QPoint(static_cast<int>(std::ceil((item.right() + 1) * factor)) - 1,
                                  static_cast<int>(std::ceil((item.bottom() + 1) * factor)) - 1));
    QRect icon;
    for (int y = itemPixels.top(); y <= itemPixels.bottom() && y < view.height(); ++y)
        for (int x = itemPixels.left(); x <= itemPixels.right() && x < view.width(); ++x)
            if (isCheckerColour(view.pixel(x, y)))
                icon |= QRect(x, y, 1, 1);
    ASSERT_FALSE(icon.isEmpty()) << "no icon pixels in the item";

    // The icon covers 32 logical pixels, every device pixel a colour of the image, none mixed.
    const int side = static_cast<int>(std::lround(32 * factor));
    EXPECT_EQ(icon.size(), QSize(side, side));
    int mixed = 0;
    for (int y = icon.top(); y <= icon.bottom(); ++y)
        for (int x = icon.left(); x <= icon.right(); ++x)
            mixed += isCheckerColour(view.pixel(x, y)) ? 0 : 1;
    EXPECT_EQ(mixed, 0);

    // At a whole-number factor each image pixel becomes an exact square block.
    const double whole = std::round(factor);
    if (whole == factor) {
        const int n = static_cast<int>(whole);
        const QImage source = checkerIcon();
        int wrong = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                wrong += view.pixel(icon.left() + x, icon.top() + y) == source.pixel(x / n, y / n) ? 0 : 1;
        EXPECT_EQ(wrong, 0);
    }
}

// Writes window-scale-<factor>.png into GG_SCREENSHOT_DIR: the window with a few folders and icons.
TEST(HiDpi, SavesAScreenshotWhenAsked)
{
    const QString dir = qEnvironmentVariable("GG_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "GG_SCREENSHOT_DIR is not set";
    // The real thing: the samples beside the program, extracted into the gallery.
    gg::test::WindowHarness h;
    const QString samples = h.programFolder() + QStringLiteral("/Samples");
    QDir().mkpath(samples);
    const QDir from(QStringLiteral(GG_SOURCE_DIR "/Samples"));
    for (const QString& name : from.entryList({QStringLiteral("*.ico"), QStringLiteral("*.ICO"),
                                              QStringLiteral("*.dll"), QStringLiteral("*.DLL"),
                                              QStringLiteral("*.exe"), QStringLiteral("*.EXE"),
                                              QStringLiteral("*.icl"), QStringLiteral("*.ICL")},
                                             QDir::Files))
        ASSERT_TRUE(QFile::copy(from.filePath(name), samples + u'/' + name));
    gg::MainWindow& form = h.open();
    form.loadSamplesButton->click();
    form.startExtractingButton->click();
    ASSERT_GT(form.galleryModel->itemCount(), 0);
    form.outputFolderEdit->setText(QStringLiteral("/home/user/Pictures/Icons/"));
    ASSERT_NO_FATAL_FAILURE(showExposed(form));
    form.gallery->setCurrentIndex({});
    QTest::qWait(50);

    const QString name = qEnvironmentVariableIsSet("GG_SCREENSHOT_NAME")
                             ? qEnvironmentVariable("GG_SCREENSHOT_NAME")
                             : QStringLiteral("window-scale-%1.png").arg(scaleFactor());
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString path = QDir(dir).filePath(name);
    ASSERT_TRUE(form.grab().save(path)) << path.toStdString();
    std::printf("saved %s\n", qPrintable(QDir(dir).absoluteFilePath(name)));
}

} // namespace
