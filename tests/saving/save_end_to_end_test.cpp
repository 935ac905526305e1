// The whole road through the window: sample folder, extraction, gallery, .ico files.
#include <QCryptographicHash>
#include <cstdlib>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QPainter>
#include <QPushButton>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "extraction/gallery_model.h"
#include "extraction/qimage_conversion.h"
#include "icons/icon_extractor.h"
#include "support/window_harness.h"
#include "support/icotool.h"
#include "tool/tool_run.h"

namespace {

void copySamples(const QString& programFolder)
{
    const QString from = QStringLiteral(GG_SOURCE_DIR "/Samples");
    QDir().mkpath(programFolder + "/Samples");
    for (const QString& name : QDir(from).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(from + "/" + name, programFolder + "/Samples/" + name));
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The picture as the writer was given it: the icon over the key colour.
QImage overKeyColour(const QImage& icon)
{
    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(QColor(197, 197, 197));
    QPainter p(&picture);
    p.drawImage(0, 0, icon);
    return picture;
}

// Every opaque pixel of the gallery image comes back as drawn, every fully transparent one as
// transparent.
void expectSameIcon(const QImage& galleryImage, const QImage& decoded, const QString& what)
{
    ASSERT_EQ(decoded.size(), QSize(32, 32)) << what.toStdString();
    const QImage drawn = overKeyColour(galleryImage);
    int checked = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb source = galleryImage.pixel(x, y);
            const QRgb back = decoded.pixel(x, y);
            if (qAlpha(source) == 0) {
                EXPECT_EQ(qAlpha(back), 0) << what.toStdString() << " at " << x << "," << y;
            } else if (drawn.pixel(x, y) != qRgb(197, 197, 197)) {
                EXPECT_EQ(qAlpha(back), 255) << what.toStdString() << " at " << x << "," << y;
                // Blending a partly transparent pixel may round one step apart.
                const int slack = qAlpha(source) == 255 ? 0 : 1;
                const QRgb want = drawn.pixel(x, y);
                EXPECT_LE(std::abs(qRed(back) - qRed(want)) + std::abs(qGreen(back) - qGreen(want))
                              + std::abs(qBlue(back) - qBlue(want)),
                          3 * slack)
                    << what.toStdString() << " at " << x << "," << y;
                ++checked;
            }
        }
    EXPECT_GT(checked, 0) << what.toStdString() << ": the icon has opaque pixels";
}


TEST(SaveEndToEnd, SamplesAreExtractedAndEveryIconSavedUnderItsFilesName)
{
    gg::test::WindowHarness h;
    copySamples(h.programFolder());
    gg::MainWindow& form = h.open();
    QTemporaryDir out;
    form.outputFolderEdit->setText(out.path() + "/");

    form.loadSamplesButton->click();
    form.startExtractingButton->click();
    const int icons = form.galleryModel->itemCount();
    ASSERT_GT(icons, 5);
    h.boxes.boxes.clear();

    form.saveAllButton->click();
    ASSERT_EQ(h.boxes.boxes.size(), 1u);
    EXPECT_EQ(h.boxes.boxes[0].text, QStringLiteral("Done."));

    // base.ico, base1.ico, ... per source file, in gallery order.
    QMap<QString, int> perBase;
    QStringList expected;
    QMap<QString, int> itemOfFile;
    for (int i = 0; i < icons; ++i) {
        const QString caption = form.galleryModel->caption(i);
        const QString base = caption.left(caption.lastIndexOf(u'.'));
        const int n = perBase[base]++;
        const QString name = base + (n == 0 ? QString() : QString::number(n)) + ".ico";
        expected << name;
        itemOfFile[name] = i;
    }
    QStringList written = QDir(out.path()).entryList(QDir::Files);
    QStringList sortedExpected = expected;
    written.sort();
    sortedExpected.sort();
    EXPECT_EQ(written, sortedExpected);

    // A few files read back by independent decoders show the gallery's picture and shape.
    for (const QString& name : {expected.first(), expected.at(expected.size() / 2), expected.last()}) {
        const QImage gallery = form.galleryModel->image(itemOfFile[name]);
        const QString path = out.filePath(name);
        expectSameIcon(gallery, gg::toQImage(gg::IconSource::open(QFile::encodeName(path).toStdString()).icon(0)), name + " (ours)");
        const QImage icotool = gg::test::decodeWithIcotool(path);
        if (!icotool.isNull())
            expectSameIcon(gallery, icotool, name + " (icotool)");
    }

    // A second run fills the gaps and leaves every existing file as it was, whatever it holds.
    ASSERT_TRUE(QFile::remove(out.filePath(expected.first())));
    const QString gap = out.filePath(expected.first());
    {
        QFile stranger(out.filePath("zz-not-an-icon.ico"));
        ASSERT_TRUE(stranger.open(QIODevice::WriteOnly));
        stranger.write("plain text");
    }
    QMap<QString, QByteArray> before;
    for (const QString& name : QDir(out.path()).entryList(QDir::Files))
        before[name] = digest(out.filePath(name));
    h.boxes.boxes.clear();
    form.saveAllButton->click();
    // One file was taken away and one stranger added, so the second run adds exactly one per icon.
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 2 * icons);
    EXPECT_TRUE(QFile::exists(gap)) << "the freed name is taken again first";
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(digest(out.filePath(it.key())), it.value()) << it.key().toStdString();
}

} // namespace

// glimmer-extract --format ico32 is the window's save from the command line.
TEST(SaveEndToEnd, TheToolsIco32WritesWhatTheWindowSavesUnderTheSameNames)
{
    gg::test::WindowHarness h;
    copySamples(h.programFolder());
    const QString samples = h.programFolder() + "/Samples";
    gg::MainWindow& form = h.open();
    QTemporaryDir byWindow, byTool;
    form.outputFolderEdit->setText(byWindow.path() + "/");
    form.loadSamplesButton->click();
    form.startExtractingButton->click();
    ASSERT_GT(form.galleryModel->itemCount(), 5);
    form.saveAllButton->click();

    const gg::test::ToolRun run = gg::test::runTool({"extract", "--format", "ico32", "-o", byTool.path(), samples});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << "no progress line where stderr is no terminal";
    const QStringList names = QDir(byWindow.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(QDir(byTool.path()).entryList(QDir::Files, QDir::Name), names);
    for (const QString& name : names)
        EXPECT_EQ(gg::test::contents(byTool.filePath(name)), gg::test::contents(byWindow.filePath(name))) << name.toStdString();
}
