// "Start Saving All Icons" offscreen through the window, the way a user runs it.
// 1. A gallery of N icons (default 10,000; 20 icons per source file) saved into an empty folder:
//    icons per second, and one digest over every file written, so a change that alters any byte
//    shows.
// 2. 2,000 icons of one source file saved into an empty folder and into one that already holds
//    20,000 names of the same sequence (x.ico, x1.ico, ... x19999.ico): the two times and their
//    ratio, which stays near 1 when the free-name probe does not start over for every icon.
// Usage: bench_save [icons] [existing names] [--keep]
// Files go under $TMPDIR. --keep leaves them there: on a file system without a journal, ext4 makes
// new files slowly for a while after many were deleted nearby, so runs that are compared should
// not follow one another's clean-up.

#include "window_bench.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "extraction/gallery_model.h"
#include "support/window_harness.h"

namespace {

// Icons as the gallery holds them: drawn shapes on transparency, some half-transparent edges.
QImage galleryIcon(int seed)
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(seed * 37 % 360, 60 + seed % 190, 120 + seed % 130));
    painter.setPen(QColor(seed % 256, 40, 90));
    painter.drawEllipse(1 + seed % 6, 2, 27, 27 - seed % 9);
    painter.fillRect(10, 10 + seed % 12, 12, 4, QColor(255, 255, 255, 200));
    return image;
}

void fillGallery(gg::MainWindow& form, int icons, int iconsPerFile)
{
    form.galleryModel->clearItems();
    form.galleryModel->clear();
    for (int i = 0; i < icons; ++i)
        form.galleryModel->add(galleryIcon(i), iconsPerFile >= icons ? QStringLiteral("x.dll")
                                                             : QStringLiteral("lib%1.dll").arg(i / iconsPerFile));
    form.galleryModel->addItems();
}

// Seconds taken by "Start Saving All Icons" into the folder; fails loudly unless it said "Done." alone.
double saveAll(gg::test::WindowHarness& h, const QString& folder)
{
    h.form->outputFolderEdit->setText(folder + "/");
    h.boxes.boxes.clear();
    QElapsedTimer clock;
    clock.start();
    h.form->saveAllButton->click();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (h.boxes.boxes.size() != 1 || h.boxes.boxes.front().text != QStringLiteral("Done.")) {
        std::fprintf(stderr, "the run did not end with \"Done.\" alone (%zu boxes, first: %s)\n", h.boxes.boxes.size(),
                     h.boxes.boxes.empty() ? "" : qPrintable(h.boxes.boxes.front().text));
        std::exit(1);
    }
    return seconds;
}

QByteArray folderDigest(const QString& folder)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile f(folder + "/" + name);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        hash.addData(name.toUtf8());
        hash.addData(f.readAll());
    }
    return hash.result().toHex().left(16);
}

void makeNames(const QString& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QFile::encodeName(folder + (i == 0 ? QStringLiteral("/x.ico")
                                                                   : QStringLiteral("/x%1.ico").arg(i)));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const gg::bench::WindowBenchEnvironment environment;
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool keep = args.removeAll(QStringLiteral("--keep")) > 0;
    const int icons = args.size() > 0 ? std::max(1, args[0].toInt()) : 10000;
    const int existing = args.size() > 1 ? std::max(0, args[1].toInt()) : 20000;

    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.show();
    app.processEvents();
    QTemporaryDir work;
    work.setAutoRemove(!keep);
    if (keep)
        std::printf("files kept in %s\n", qPrintable(work.path()));

    fillGallery(form, icons, 20);
    QDir().mkpath(work.filePath("warm-up"));
    saveAll(h, work.filePath("warm-up")); // page cache, allocator, first-use costs
    QDir().mkpath(work.filePath("run"));
    const double seconds = saveAll(h, work.filePath("run"));
    std::printf("%d icons through the window into an empty folder: %.3f s = %.0f icons/s; files %lld, digest %s\n",
                icons, seconds, icons / seconds, static_cast<long long>(QDir(work.filePath("run")).count() - 2),
                folderDigest(work.filePath("run")).constData());

    constexpr int kOneBase = 2000;
    fillGallery(form, kOneBase, kOneBase);
    QDir().mkpath(work.filePath("empty"));
    QDir().mkpath(work.filePath("crowded"));
    makeNames(work.filePath("crowded"), existing);
    const double empty = saveAll(h, work.filePath("empty"));
    const double crowded = saveAll(h, work.filePath("crowded"));
    std::printf("%d icons of one source file: empty folder %.3f s, folder of %d names %.3f s, ratio %.2f\n", kOneBase,
                empty, existing, crowded, crowded / empty);
    return 0;
}
