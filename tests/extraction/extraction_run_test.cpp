// "Start Extracting Icons" driven through the window, with recorded boxes.
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>

#include "extraction/gallery_model.h"
#include "extraction/qimage_conversion.h"
#include "icons/icon_extractor.h"
#include "support/window_harness.h"
#include "sources/folder_list.h"
#include "test_files.h"

using namespace gg;

namespace {

class ExtractionRun : public ::testing::Test {
protected:
    void SetUp() override { form = &harness.open(); }

    QString folder(const QString& name) { return test::makeFolder(data.path(), name); }
    void addSource(const QString& path) { form->sourceFolders->append(path); }
    void start() { form->startExtractingButton->click(); }

    QStringList captions() const
    {
        QStringList out;
        const QAbstractItemModel* model = form->gallery->model();
        for (int m = 0; model && m < model->rowCount(); ++m)
            out << model->data(model->index(m, 0), Qt::DisplayRole).toString();
        return out;
    }
    // The file an icon came from, as the gallery tells it (first line of its description).
    QString sourceOf(int row) const
    {
        const QAbstractItemModel* model = form->gallery->model();
        return model->data(model->index(row, 0), Qt::AccessibleDescriptionRole).toString().section(u'\n', 0, 0);
    }
    QString counters() const { return form->countersLabel->text(); }
    std::vector<RecordingMessageBoxes::Box>& boxes() { return harness.boxes.boxes; }

    // One folder with two icon files (one named in capitals, one with a library's name) and a
    // text file.
    QString mixedFolder()
    {
        const QString dir = folder(QStringLiteral("mixed"));
        test::writeIcoFile(dir + QStringLiteral("/tool.exe"), qRgba(0, 128, 0, 255));
        test::writeIcoFile(dir + QStringLiteral("/PICTURE.ICO"), qRgba(0, 0, 255, 255));
        test::writeTextFile(dir + QStringLiteral("/notes.txt"));
        return dir;
    }

    // A folder holding copies of the reader's fixtures.
    QString fixtureFolder(const QString& name, const QStringList& fixtures)
    {
        const QString dir = folder(name);
        for (const QString& fixture : fixtures)
            EXPECT_TRUE(QFile::copy(QStringLiteral(GG_TEST_DATA "/") + fixture, dir + u'/' + fixture)) << qPrintable(fixture);
        return dir;
    }

    // Every gallery image from `first` on equals the file's icons 0, 1, 2, ... in that order.
    void expectIconsOf(const QString& path, int first)
    {
        const IconSource source = IconSource::open(QFile::encodeName(path).toStdString());
        for (int i = 0; i < source.count(); ++i) {
            ASSERT_LT(first + i, form->galleryModel->count());
            EXPECT_EQ(form->galleryModel->image(first + i), toQImage(source.icon(i))) << qPrintable(path) << " icon " << i;
        }
    }

    QTemporaryDir data;
    test::WindowHarness harness;
    MainWindow* form = nullptr;
};

TEST_F(ExtractionRun, EmptySourceListOnlySaysSo)
{
    // Whatever the run before left in the window stays; what it extracted is other tests' concern.
    addSource(mixedFolder());
    start();
    const QString shownCounters = counters();
    const int shownItems = form->galleryModel->itemCount();
    const QAbstractItemModel* shownModel = form->gallery->model();

    form->sourceFolders->clear();
    start();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, QStringLiteral("No folders added."));
    EXPECT_EQ(boxes()[0].title, form->appTitle());
    EXPECT_EQ(boxes()[0].icon, BoxIcon::None);
    EXPECT_EQ(boxes()[0].buttons, BoxButtons::Ok);
    EXPECT_EQ(counters(), shownCounters);
    EXPECT_EQ(form->galleryModel->itemCount(), shownItems);
    EXPECT_EQ(form->gallery->model(), shownModel);
    EXPECT_FALSE(form->countersLabel->isHidden());
    EXPECT_TRUE(form->progressBar->isHidden());
    EXPECT_FALSE(form->runs.extracting());
    EXPECT_EQ(form->mousePointer(), kPointerDefault);
}

TEST_F(ExtractionRun, FileTypeChoiceDecidesWhatIsListed)
{
    addSource(mixedFolder());
    start(); // "Application Files" is in force from the start
    EXPECT_EQ(captions(), (QStringList{"PICTURE.ICO", "tool.exe"}));
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 2    Icon Files: 2    Total Icons: 2"));

    form->fileTypeOptions[0]->click();
    start();
    EXPECT_EQ(captions(), (QStringList{"PICTURE.ICO", "tool.exe"}));
    EXPECT_EQ(sourceOf(0), data.path() + QStringLiteral("/mixed/PICTURE.ICO"));
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 3    Icon Files: 2    Total Icons: 2"));

    form->fileTypeOptions[1]->click();
    start();
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 2    Icon Files: 2    Total Icons: 2"));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ExtractionRun, GalleryShowsEachIconWithItsFileNameAndTransparency)
{
    addSource(mixedFolder());
    start();
    EXPECT_EQ(captions(), (QStringList{"PICTURE.ICO", "tool.exe"}));
    ASSERT_EQ(form->galleryModel->count(), 2);
    const QImage picture = form->galleryModel->image(0);
    EXPECT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(picture.format(), QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(picture.pixel(3, 3)), 0);
    EXPECT_EQ(picture.pixel(20, 20), qRgba(0, 0, 255, 255));
    EXPECT_EQ(form->galleryModel->caption(1), QStringLiteral("tool.exe"));

    EXPECT_EQ(form->gallery->viewMode(), QListView::IconMode);
    EXPECT_EQ(form->gallery->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(form->gallery->flow(), QListView::LeftToRight); // auto-arranged from the top, last
    form->gallery->selectAll();
    EXPECT_EQ(form->gallery->selectionModel()->selectedIndexes().size(), 2);
}

TEST_F(ExtractionRun, SameFolderTwiceIsListedAndExtractedTwice)
{
    const QString dir = mixedFolder();
    addSource(dir);
    addSource(dir + QStringLiteral("/"));
    form->fileTypeOptions[0]->click();
    start();
    EXPECT_EQ(sourceOf(2), dir + QStringLiteral("/PICTURE.ICO")); // one separator, though the folder ends in one
    EXPECT_EQ(captions(), (QStringList{"PICTURE.ICO", "tool.exe", "PICTURE.ICO", "tool.exe"}));
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 6    Icon Files: 4    Total Icons: 4"));
}

TEST_F(ExtractionRun, EveryIconOfEveryModuleInIndexOrder)
{
    const QString dir = fixtureFolder(QStringLiteral("modules"),
                                      {"icons32.dll", "noicons.dll", "shapes.icl", "tool.exe"});
    addSource(dir);
    addSource(dir);
    start();
    const int perRun = IconSource::open(QFile::encodeName(dir + QStringLiteral("/shapes.icl")).toStdString()).count();
    ASSERT_GT(perRun, 1);
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 8    Icon Files: 6    Total Icons: %1").arg(2 * (5 + perRun + 2)));

    QStringList expected;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 5; ++i)
            expected << QStringLiteral("icons32.dll");
        for (int i = 0; i < perRun; ++i)
            expected << QStringLiteral("shapes.icl");
        expected << QStringLiteral("tool.exe") << QStringLiteral("tool.exe");
    }
    EXPECT_EQ(captions(), expected);
    const int oneRun = 5 + perRun + 2;
    for (int pass = 0; pass < 2; ++pass) {
        expectIconsOf(dir + QStringLiteral("/icons32.dll"), pass * oneRun);
        expectIconsOf(dir + QStringLiteral("/shapes.icl"), pass * oneRun + 5);
        expectIconsOf(dir + QStringLiteral("/tool.exe"), pass * oneRun + 5 + perRun);
    }
}

TEST_F(ExtractionRun, LibraryWithHundredsOfIconsGivesThemAllBeforeTheNextFile)
{
    const QString dir = fixtureFolder(QStringLiteral("big"), {"many.dll"});
    test::writeIcoFile(dir + QStringLiteral("/next.ico"), qRgba(9, 9, 9, 255));
    addSource(dir);
    start();
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 2    Icon Files: 2    Total Icons: 321"));
    const QStringList shown = captions();
    ASSERT_EQ(shown.size(), 321);
    EXPECT_EQ(shown.count(QStringLiteral("many.dll")), 320);
    EXPECT_EQ(shown.last(), QStringLiteral("next.ico"));
    expectIconsOf(dir + QStringLiteral("/many.dll"), 0);
}

TEST_F(ExtractionRun, RunWithoutIconsLeavesTheGalleryEmptyAndCountsTheFiles)
{
    const QString dir = folder(QStringLiteral("plain"));
    test::writeTextFile(dir + QStringLiteral("/fake.dll"));
    test::writeTextFile(dir + QStringLiteral("/empty.exe"), QByteArray());
    addSource(dir);
    addSource(folder(QStringLiteral("nothing here")));
    start();
    EXPECT_EQ(form->gallery->model(), nullptr);
    EXPECT_EQ(form->galleryModel->count(), 0);
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 2    Icon Files: 0    Total Icons: 0"));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ExtractionRun, SecondRunKeepsOnlyItsOwnIcons)
{
    const QString first = folder(QStringLiteral("first"));
    test::writeIcoFile(first + QStringLiteral("/a.ico"), qRgba(255, 0, 0, 255));
    test::writeIcoFile(first + QStringLiteral("/b.ico"), qRgba(255, 0, 0, 255));
    const QString second = folder(QStringLiteral("second"));
    test::writeIcoFile(second + QStringLiteral("/c.ico"), qRgba(0, 255, 0, 255));

    addSource(first);
    start();
    ASSERT_EQ(captions(), (QStringList{"a.ico", "b.ico"}));
    form->gallery->selectAll();

    form->clearListButton->click(); // Clear List
    addSource(second);
    start();
    EXPECT_EQ(captions(), (QStringList{"c.ico"}));
    EXPECT_EQ(form->galleryModel->count(), 1);
    EXPECT_EQ(form->galleryModel->image(0).pixel(20, 20), qRgba(0, 255, 0, 255));
    EXPECT_TRUE(form->gallery->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 1    Icon Files: 1    Total Icons: 1"));
}

TEST_F(ExtractionRun, FolderThatCannotBeOpenedIsReportedAndListsNothing)
{
    const QString good = mixedFolder();
    addSource(good);
    addSource(data.filePath(QStringLiteral("vanished")));
    addSource(good + QStringLiteral("/PICTURE.ICO"));
    // The system would read only the part before the NUL: the good folder again.
    addSource(good + QChar(0) + QStringLiteral("/elsewhere"));
    start();
    ASSERT_EQ(boxes().size(), 3u);
    for (const auto& box : boxes()) {
        EXPECT_EQ(box.title, QStringLiteral("Application Error"));
        EXPECT_EQ(box.text.toStdString(),
                  buildErrorReportText("Path not found", "in Glintwork2021/08/31.Form1.ViewIcons ", 102));
    }
    // The good folder's files once, not again for the entries after it.
    EXPECT_EQ(captions(), (QStringList{"PICTURE.ICO", "tool.exe"}));
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 2    Icon Files: 2    Total Icons: 2"));
    EXPECT_FALSE(form->runs.extracting());
}

TEST_F(ExtractionRun, ANameThatIsNotUtf8OpensItsOwnFileBesideItsLookAlike)
{
    const QString dir = folder(QStringLiteral("names"));
    const std::string native = QFile::encodeName(dir).toStdString();
    // The same text once the byte 0xFF has turned into the replacement character.
    const std::string invalid = native + "/bad\xff.ico";
    const std::string twin = native + "/bad\xef\xbf\xbd.ico";
    test::writeIcoFile(dir + QStringLiteral("/red.ico"), qRgba(255, 0, 0, 255));
    test::writeIcoFile(dir + QStringLiteral("/blue.ico"), qRgba(0, 0, 255, 255));
    ASSERT_EQ(::rename((native + "/red.ico").c_str(), invalid.c_str()), 0);
    ASSERT_EQ(::rename((native + "/blue.ico").c_str(), twin.c_str()), 0);
    addSource(dir);
    start();
    const QString shown = QStringLiteral("bad\uFFFD.ico");
    EXPECT_EQ(captions(), (QStringList{shown, shown}));
    ASSERT_EQ(form->galleryModel->count(), 2);
    EXPECT_EQ(form->galleryModel->image(0).pixel(20, 20), qRgba(0, 0, 255, 255));
    EXPECT_EQ(form->galleryModel->image(1).pixel(20, 20), qRgba(255, 0, 0, 255));
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 2    Icon Files: 2    Total Icons: 2"));
}

TEST_F(ExtractionRun, WindowStateWhileExtractingAndAfter)
{
    addSource(mixedFolder());
    bool seen = false;
    QTimer::singleShot(0, form, [&] {
        seen = true;
        EXPECT_TRUE(form->runs.extracting());
        EXPECT_EQ(form->mousePointer(), kPointerDefault); // the hourglass is for the listing only
        EXPECT_EQ(form->gallery->model(), nullptr);
        EXPECT_EQ(form->gallery->model() ? form->gallery->model()->rowCount() : 0, 0);
        EXPECT_FALSE(form->progressBar->isHidden());
        EXPECT_TRUE(form->countersLabel->isHidden());
        EXPECT_EQ(form->progressBar->maximum(), 3);
    });
    // Set now and then, always to the files done; the last file's count before the bar goes.
    std::vector<int> values;
    QObject::connect(form->progressBar, &QProgressBar::valueChanged, form, [&](int value) {
        if (!form->progressBar->isHidden())
            values.push_back(value);
    });
    start();
    EXPECT_TRUE(seen);
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), 2);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_TRUE(form->progressBar->isHidden());
    EXPECT_EQ(form->progressBar->value(), 0);
    EXPECT_EQ(form->progressBar->format(), QStringLiteral("Progress Bar"));
    EXPECT_FALSE(form->countersLabel->isHidden());
    EXPECT_EQ(form->mousePointer(), kPointerDefault);
    EXPECT_FALSE(form->runs.extracting());
}

TEST_F(ExtractionRun, CommandsDuringTheRunDoNotDisturbIt)
{
    const QString dir = mixedFolder();
    addSource(dir);
    addSource(dir);
    QTimer::singleShot(0, form, [&] {
        form->startExtractingButton->click();  // ignored: a run is under way
        form->fileTypeOptions[0]->click();  // for the next run
        form->clearListButton->click();  // Clear List works: the files are already listed
        form->close();               // ends the program at once
    });
    start();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(harness.endProgramCalls, 1);
    EXPECT_EQ(form->sourceFolders->count(), 0);
    EXPECT_EQ(captions(), (QStringList{"PICTURE.ICO", "tool.exe", "PICTURE.ICO", "tool.exe"}));
    EXPECT_EQ(counters(), QStringLiteral("Total Files: 4    Icon Files: 4    Total Icons: 4"));
    EXPECT_TRUE(form->fileTypeOptions[0]->isChecked());
}

TEST_F(ExtractionRun, NoRunStartsWhileASaveIsUnderWay)
{
    addSource(mixedFolder());
    start();
    const QStringList before = captions();
    form->runs.start(gg::RunState::Activity::Saving);
    form->sourceFolders->clear();
    addSource(folder(QStringLiteral("empty")));
    start();
    form->runs.finish();
    EXPECT_EQ(captions(), before);
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(form->runs.extracting());
}

} // namespace
