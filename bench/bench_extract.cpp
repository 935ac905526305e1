// "Start Extracting Icons" offscreen over a generated corpus: listing, extraction (files and icons
// per second), publication, the longest stretch without handling events, memory per gallery icon,
// scrolling the full gallery, an item's description as a screen reader asks for it, and the peak
// memory. Usage: bench_extract [folders] (default 40,
// 55 files each: generated icon files, copies of the reader's fixtures, files without icons).

#include "window_bench.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QListView>
#include <QPainter>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <sys/resource.h>
#include <vector>

#include "extraction/gallery_view.h"
#include "extraction/gallery_model.h"
#include "runtime/dialogs.h"
#include "runtime/message_boxes.h"
#include "window/main_window.h"
#include "sources/folder_list.h"

namespace {

long residentKb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void writeIcon(const QString& path, int seed)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(seed * 37 % 360, 180, 230));
    painter.drawEllipse(2 + seed % 5, 2, 26, 28 - seed % 7);
    painter.end();
    QImageWriter(path, "ico").write(image);
}

void copyFixture(const char* fixture, const QString& to)
{
    if (!QFile::copy(QStringLiteral(GG_SOURCE_DIR "/tests/data/") + QString::fromLatin1(fixture), to)) {
        std::fprintf(stderr, "cannot copy %s from %s\n", fixture, GG_SOURCE_DIR "/tests/data");
        std::exit(1);
    }
}

// One folder's 55 files: plain icon files, multi-size ones, PE and NE modules, two libraries of
// 320 icons, a module and a text file without icons.
void fillFolder(const QString& dir, int folderNumber)
{
    int seed = folderNumber * 100;
    for (int i = 0; i < 20; ++i)
        writeIcon(dir + QStringLiteral("/icon%1.ico").arg(i), seed++);
    for (int i = 0; i < 4; ++i)
        copyFixture("sizes.ico", dir + QStringLiteral("/SIZES%1.ICO").arg(i));
    for (int i = 0; i < 2; ++i)
        copyFixture("no-32.ico", dir + QStringLiteral("/large%1.ico").arg(i));
    for (int i = 0; i < 8; ++i) {
        copyFixture("icons32.dll", dir + QStringLiteral("/lib32_%1.dll").arg(i));
        copyFixture("icons64.dll", dir + QStringLiteral("/lib64_%1.DLL").arg(i));
    }
    for (int i = 0; i < 3; ++i)
        copyFixture("shapes.icl", dir + QStringLiteral("/shapes%1.icl").arg(i));
    for (int i = 0; i < 4; ++i)
        copyFixture("tool.exe", dir + QStringLiteral("/tool%1.exe").arg(i));
    for (int i = 0; i < 2; ++i) {
        copyFixture("tool32.exe", dir + QStringLiteral("/old%1.exe").arg(i));
        copyFixture("many.dll", dir + QStringLiteral("/many%1.dll").arg(i));
    }
    copyFixture("noicons.dll", dir + QStringLiteral("/strings.dll"));
    QFile text(dir + QStringLiteral("/readme.txt"));
    if (text.open(QIODevice::WriteOnly))
        text.write("no icons\n");
}

// Calls back when the watched widget is hidden.
class HideWatcher : public QObject {
public:
    HideWatcher(QWidget* widget, std::function<void()> onHide) : onHide_(std::move(onHide))
    {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            onHide_();
        return false;
    }

private:
    std::function<void()> onHide_;
};

struct RunFigures {
    qint64 files = 0, icons = 0;
    double listingMs = 0, extractionMs = 0, publishMs = 0, wholeMs = 0;
    double longestGapMs = 0, longestGapSmallFileMs = 0;
    qint64 longestGapIcons = 0;
};

RunFigures runOnce(QApplication& app, gg::MainWindow& form)
{
    RunFigures figures;
    QElapsedTimer clock;
    double listed = -1, lastMark = 0, publishStart = -1;
    int iconsAtLastMark = 0;
    auto now = [&] { return static_cast<double>(clock.nsecsElapsed()) / 1e6; };

    // The run hides the counters once listing is done. A zero timer fires on every turn of the
    // event loop, so the time between its shots is the time between event handling.
    QTimer eventTurns;
    eventTurns.setInterval(0);
    QObject::connect(&eventTurns, &QTimer::timeout, [&] {
        const double t = now();
        const double gap = t - lastMark;
        const int icons = form.galleryModel->count() - iconsAtLastMark;
        if (gap > figures.longestGapMs) {
            figures.longestGapMs = gap;
            figures.longestGapIcons = icons;
        }
        if (icons < 100)
            figures.longestGapSmallFileMs = std::max(figures.longestGapSmallFileMs, gap);
        lastMark = t;
        iconsAtLastMark = form.galleryModel->count();
    });
    const HideWatcher countersHidden(form.countersLabel, [&] {
        if (listed < 0) {
            listed = lastMark = now();
            eventTurns.start();
        }
    });
    auto publishConn = QObject::connect(form.galleryModel, &QAbstractItemModel::rowsAboutToBeInserted, [&] {
        publishStart = now();
        eventTurns.stop();
    });

    clock.start();
    form.startExtractingButton->click();
    // The view lays the items out on its next turn of the event loop: count that in.
    const int total = form.galleryModel->itemCount();
    while (total > 0 && !form.gallery->visualRect(form.galleryModel->index(total - 1)).isValid())
        app.processEvents();
    const double end = now();

    QObject::disconnect(publishConn);
    figures.files = static_cast<qint64>(form.extraction.workingFiles.size());
    figures.icons = total;
    figures.listingMs = listed;
    figures.extractionMs = publishStart - listed;
    figures.publishMs = end - publishStart;
    figures.wholeMs = end;
    return figures;
}

void print(const char* title, const RunFigures& f)
{
    std::printf("%s: %lld files, %lld icons\n", title, f.files, f.icons);
    std::printf("  listing            %8.1f ms\n", f.listingMs);
    std::printf("  extraction         %8.1f ms  = %.0f files/s, %.0f icons/s\n", f.extractionMs,
                static_cast<double>(f.files) * 1000.0 / f.extractionMs,
                static_cast<double>(f.icons) * 1000.0 / f.extractionMs);
    std::printf("  publication        %8.1f ms  (items added and laid out)\n", f.publishMs);
    std::printf("  whole command      %8.1f ms\n", f.wholeMs);
    std::printf("  longest time between event handling while extracting: %.1f ms (a file of %lld icons); "
                "files under 100 icons: %.1f ms\n",
                f.longestGapMs, f.longestGapIcons, f.longestGapSmallFileMs);
}

void emptyGallery(gg::MainWindow& form)
{
    form.galleryModel->clearItems();
    gg::setGalleryModel(*form.gallery, nullptr);
    form.galleryModel->clear();
    form.extraction.workingFiles.clear();
    form.extraction.workingFiles.shrink_to_fit();
    malloc_trim(0);
}

} // namespace

int main(int argc, char** argv)
{
    const gg::bench::WindowBenchEnvironment environment;
    QApplication app(argc, argv);
    const int folders = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;

    QTemporaryDir corpus;
    QTemporaryDir program;
    QElapsedTimer generation;
    generation.start();
    QStringList folderPaths;
    for (int k = 0; k < folders; ++k) {
        const QString dir = corpus.filePath(QStringLiteral("folder%1").arg(k));
        QDir().mkpath(dir);
        fillFolder(dir, k);
        folderPaths << dir;
    }
    std::printf("corpus: %d folders of 55 files made in %.1f s\n", folders,
                static_cast<double>(generation.elapsed()) / 1000.0);

    gg::RecordingMessageBoxes boxes;
    gg::ScriptedDialogs dialogs;
    gg::WindowServices services{&boxes, &dialogs, program.path(), [] {}};
    gg::MainWindow form(services);
    form.show();
    app.processEvents();
    form.chooseFileType(0); // all files, so the files without icons are listed too

    for (const QString& dir : folderPaths)
        form.sourceFolders->append(dir);
    runOnce(app, form); // warm-up: fills the page cache and the allocator
    emptyGallery(form);
    print("run, each folder once", runOnce(app, form));

    // The corpus listed as many times as it takes for a gallery of at least 50,000 icons.
    const qint64 perPass = std::max<qint64>(1, form.galleryModel->count());
    emptyGallery(form);
    const long baseKb = residentKb();
    const qint64 passes = (50000 + perPass - 1) / perPass;
    form.sourceFolders->clear();
    for (qint64 pass = 0; pass < passes; ++pass)
        for (const QString& dir : folderPaths)
            form.sourceFolders->append(dir);
    const long beforeKb = residentKb();
    const RunFigures big = runOnce(app, form);
    const long afterKb = residentKb();
    print("run, each folder listed until 50,000 icons", big);
    std::printf("  gallery memory     %8.0f bytes per icon (resident growth %ld KB; baseline %ld KB)\n",
                static_cast<double>(afterKb - beforeKb) * 1024.0 / static_cast<double>(big.icons),
                afterKb - beforeKb, baseKb);

    // Scrolling the full gallery: one row at a time at a spread of places, painted at once.
    QScrollBar* bar = form.gallery->verticalScrollBar();
    const int steps = 400;
    double worst = 0, sum = 0;
    for (int i = 0; i < steps; ++i) {
        QElapsedTimer t;
        t.start();
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * i / steps));
        form.gallery->viewport()->repaint();
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
        sum += ms;
    }
    std::printf("  scrolling          %8.2f ms per step on average, %.2f ms at most (%d steps over %d rows)\n",
                sum / steps, worst, steps, bar->maximum() / std::max(1, bar->singleStep()));
    // A screen reader asks for the description of each item the user moves to; the gallery keeps
    // none, so each answer reads the icon's file again.
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(form.gallery);
    const int described = 400;
    double worstDescription = 0, sumDescription = 0;
    int empty = 0;
    for (int i = 0; i < described; ++i) {
        const int row = static_cast<int>((big.icons - 1) * i / (described - 1));
        QElapsedTimer t;
        t.start();
        const QString text = view->child(row)->text(QAccessible::Description);
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        empty += text.isEmpty() ? 1 : 0;
        worstDescription = std::max(worstDescription, ms);
        sumDescription += ms;
    }
    std::printf("  item description   %8.3f ms on average, %.3f ms at most (%d items across the gallery%s)\n",
                sumDescription / described, worstDescription, described, empty ? ", SOME EMPTY" : "");
    std::printf("peak memory (getrusage): %.1f MB\n", static_cast<double>(peakKb()) / 1024.0);
    if (!boxes.boxes.empty())
        std::printf("boxes shown: %zu, first: %s\n", boxes.boxes.size(), qPrintable(boxes.boxes.front().text));
    return 0;
}
