// "Start Extracting Icons" over big generated trees, beside what the disk allows: `find -type f`
// and a plain walk that opens every file and reads its first 64 bytes.
// Usage: bench_extract_tree [--runs=N] [tree ...]   trees: 10000x10, 1000x100, usr (default: all
// three); the fastest of N runs of the command (default 3) is shown.
//   10000x10  10,000 folders of 10 empty files
//   1000x100  1,000 folders of 100 empty files
//   usr       150,000 files in 17,500 folders, a few to a thousand a folder, small files of
//             text with 755 copies of the reader's fixtures among them
// The trees are made under $TMPDIR (or /tmp) and removed afterwards. The folders reach the source
// list through "Add Folder and Subfolders"; the run lists all files.

#include "window_bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "extraction/gallery_model.h"
#include "window/main_window.h"
#include "sources/folder_list.h"
#include "support/window_harness.h"

namespace {

struct Tree {
    std::string root;
    long folders = 0;
    long files = 0;
    long modules = 0;
};

[[noreturn]] void fail(const std::string& what)
{
    std::perror(what.c_str());
    std::exit(1);
}

void makeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0)
        fail(path);
}

void writeFile(const std::string& path, const char* bytes, size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || (size > 0 && ::write(fd, bytes, size) != static_cast<ssize_t>(size)) || ::close(fd) != 0)
        fail(path);
}

// Folders of equal size, each holding `perFolder` empty files, all directly below the root.
void makeUniformTree(Tree& tree, int folders, int perFolder)
{
    for (int k = 0; k < folders; ++k) {
        const std::string dir = tree.root + "/folder" + std::to_string(k);
        makeFolder(dir);
        for (int i = 0; i < perFolder; ++i)
            writeFile(dir + "/file" + std::to_string(i) + ".dat", nullptr, 0);
    }
    tree.folders = folders + 1;
    tree.files = static_cast<long>(folders) * perFolder;
}

// A small deterministic generator, so every tree of one kind is the same.
struct Random {
    unsigned long long state;
    unsigned next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(state >> 33);
    }
    double unit() { return next() / 2147483648.0; }
};

std::vector<char> readFixture(const char* name)
{
    QFile file(QStringLiteral(GG_SOURCE_DIR "/tests/data/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        fail(name);
    const QByteArray bytes = file.readAll();
    return std::vector<char>(bytes.begin(), bytes.end());
}

// Shaped like a system's /usr: folders breadth first with a varying number of sub-folders, files
// crowded into the shallow folders, names of mixed case and kind.
void makeUsrLikeTree(Tree& tree, long folders, long files, long modules)
{
    Random random{20240611};
    std::vector<std::string> dirs{tree.root};
    for (size_t parent = 0; static_cast<long>(dirs.size()) < folders; ++parent) {
        const unsigned children = parent < 50 ? 2 + random.next() % 30 : random.next() % 4;
        for (unsigned c = 0; c < children && static_cast<long>(dirs.size()) < folders; ++c) {
            const std::string dir = dirs[parent] + (random.next() % 3 == 0 ? "/Sub" : "/sub") + std::to_string(c);
            makeFolder(dir);
            dirs.push_back(dir);
        }
    }
    const char* fixtures[] = {"icons32.dll", "icons64.dll", "tool.exe", "tool32.exe", "shapes.icl",
                              "tiny.icl",    "sizes.ico",   "noicons.dll", "pointer.cur", "spinner.ani",
                              "depth-8.ico", "png-256.ico"};
    std::vector<std::vector<char>> fixtureBytes;
    for (const char* name : fixtures)
        fixtureBytes.push_back(readFixture(name));
    const std::vector<char> library = readFixture("many.dll");
    const char* extensions[] = {".txt", ".so", ".h", ".png", ".py", "", ".html", ".gz", ".DLL", ".exe"};
    const std::string text(4096, 'x');
    const long moduleEvery = files / std::max(1L, modules);

    for (long i = 0; i < files; ++i) {
        // Squaring crowds the files into the first folders: some hold a thousand, most a few.
        const double u = random.unit();
        const size_t at = std::min(dirs.size() - 1, static_cast<size_t>(u * u * static_cast<double>(dirs.size())));
        char name[64];
        const unsigned id = random.next();
        if (i % moduleEvery == 0 && tree.modules < modules) {
            const bool big = tree.modules % 100 == 99;
            const size_t which = static_cast<size_t>(tree.modules) % fixtureBytes.size();
            const std::vector<char>& bytes = big ? library : fixtureBytes[which];
            const char* fixture = big ? "many.dll" : fixtures[which];
            std::snprintf(name, sizeof name, "/m%08x_%s", id, fixture);
            writeFile(dirs[at] + name, bytes.data(), bytes.size());
            ++tree.modules;
        } else {
            std::snprintf(name, sizeof name, "/%s%08x%s", id % 5 == 0 ? "Lib" : "lib", id, extensions[id % 10]);
            writeFile(dirs[at] + name, text.data(), 64 + id % 2000);
        }
    }
    tree.folders = static_cast<long>(dirs.size());
    tree.files = files;
}

double secondsOf(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// `find ROOT -type f` with its output thrown away; the best of three.
double timeFind(const std::string& root)
{
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        find.start(QStringLiteral("find"), {QString::fromStdString(root), QStringLiteral("-type"), QStringLiteral("f")});
        find.waitForFinished(-1);
        best = std::min(best, secondsOf(timer));
    }
    return best;
}

// Every regular file below the folder opened and its first 64 bytes read.
long openAndRead(int folderFd)
{
    DIR* dir = ::fdopendir(folderFd);
    if (!dir)
        return 0;
    long files = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (entry->d_type == DT_DIR) {
            const int sub = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub >= 0)
                files += openAndRead(sub);
        } else if (entry->d_type == DT_REG) {
            const int fd = ::openat(::dirfd(dir), name, O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            char head[64];
            if (::read(fd, head, sizeof head) >= 0)
                ++files;
            ::close(fd);
        }
    }
    ::closedir(dir);
    return files;
}

double timeOpenAndRead(const std::string& root, long expected)
{
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        const long files = openAndRead(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        best = std::min(best, secondsOf(timer));
        if (files != expected)
            std::fprintf(stderr, "open and read found %ld files, expected %ld\n", files, expected);
    }
    return best;
}

// Counts a widget's paints and notes when it is first hidden.
class WidgetWatcher : public QObject {
public:
    WidgetWatcher(QWidget* widget, const QElapsedTimer& clock) : clock_(clock) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        else if (event->type() == QEvent::Hide && hiddenAt < 0)
            hiddenAt = secondsOf(clock_);
        return false;
    }
    long paints = 0;
    double hiddenAt = -1;

private:
    const QElapsedTimer& clock_;
};

long peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

struct RunFigures {
    double whole = 0, listing = 0, extraction = 0, publication = 0;
    long barPaints = 0;
};

RunFigures runOnce(gg::MainWindow& form)
{
    QElapsedTimer clock;
    clock.start();
    WidgetWatcher bar(form.progressBar, clock);
    // The run hides the counters line once the listing is done.
    form.countersLabel->show();
    WidgetWatcher counters(form.countersLabel, clock);
    double published = -1;
    auto publishConn = QObject::connect(form.galleryModel, &QAbstractItemModel::rowsAboutToBeInserted,
                                        [&] { published = secondsOf(clock); });
    clock.start();
    form.startExtractingButton->click();
    // The view lays the items out on its next turns of the event loop: that counts too.
    const int items = form.galleryModel->itemCount();
    while (items > 0 && !form.gallery->visualRect(form.galleryModel->index(items - 1)).isValid())
        QCoreApplication::processEvents();
    RunFigures figures;
    figures.whole = secondsOf(clock);
    QObject::disconnect(publishConn);
    // Without any icon the run publishes no items: the end of the run stands in.
    if (published < 0)
        published = figures.whole;
    figures.listing = counters.hiddenAt;
    figures.extraction = published - counters.hiddenAt;
    figures.publication = figures.whole - published;
    figures.barPaints = bar.paints;
    return figures;
}

void benchTree(const std::string& kind, int runs)
{
    QTemporaryDir temp; // under $TMPDIR, removed with everything in it at the end
    if (!temp.isValid())
        fail("temporary folder");
    Tree tree;
    tree.root = temp.filePath(QStringLiteral("tree")).toStdString();
    makeFolder(tree.root);
    QElapsedTimer making;
    making.start();
    if (kind == "10000x10")
        makeUniformTree(tree, 10000, 10);
    else if (kind == "1000x100")
        makeUniformTree(tree, 1000, 100);
    else if (kind == "usr")
        makeUsrLikeTree(tree, 17500, 150000, 755);
    else {
        std::fprintf(stderr, "unknown tree %s\n", kind.c_str());
        return;
    }
    std::printf("tree %s: %ld folders, %ld files (%ld modules), made in %.1f s under %s\n", kind.c_str(),
                tree.folders, tree.files, tree.modules, secondsOf(making), qPrintable(temp.path()));

    const double find = timeFind(tree.root);
    const double read = timeOpenAndRead(tree.root, tree.files);
    std::printf("  find -type f               %8.3f s\n", find);
    std::printf("  open + read 64 B each      %8.3f s  (its own walk included)\n", read);

    gg::test::WindowHarness harness;
    gg::MainWindow& form = harness.open();
    form.show();
    QCoreApplication::processEvents();
    form.fileTypeOptions[0]->click(); // All Files

    harness.dialogs.folders.push_back(QString::fromStdString(tree.root));
    QElapsedTimer scan;
    scan.start();
    form.addFolderButton->click();
    std::printf("  Add Folder and Subfolders  %8.3f s  %d folders in the source list\n", secondsOf(scan),
                form.sourceFolders->count());

    // The machine may be busy with other work: the fastest of a few runs stands for the program.
    RunFigures best;
    for (int run = 0; run < runs; ++run) {
        const RunFigures figures = runOnce(form);
        std::printf("  run %d: %.3f s\n", run + 1, figures.whole);
        if (run == 0 || figures.whole < best.whole)
            best = figures;
    }
    std::printf("  extraction command         %8.3f s  = %.2f x (find + open + read), %.2f x open + read\n", best.whole,
                best.whole / (find + read), best.whole / read);
    std::printf("    listing                  %8.3f s\n", best.listing);
    std::printf("    extraction               %8.3f s  progress bar painted %ld times (%.1f a second)\n",
                best.extraction, best.barPaints, static_cast<double>(best.barPaints) / std::max(best.extraction, 1e-9));
    std::printf("    publication              %8.3f s\n", best.publication);
    std::printf("  %s\n", qPrintable(form.countersLabel->text()));
    std::printf("  boxes shown: %zu; peak memory so far %ld MB\n", harness.boxes.boxes.size(), peakMb());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const gg::bench::WindowBenchEnvironment environment;
    QApplication app(argc, argv);
    std::vector<std::string> kinds;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::max(1, std::atoi(argv[i] + 7));
        else
            kinds.emplace_back(argv[i]);
    }
    if (kinds.empty())
        kinds = {"10000x10", "1000x100", "usr"};
    for (const std::string& kind : kinds)
        benchTree(kind, runs);
    return 0;
}
