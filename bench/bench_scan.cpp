// The folder scan against `find TREE -type d` on a tree of about 100,000 folders.
// Usage: bench_scan [folders-per-level...]   (default 10 10 10 10 9: 101,110 folders)
#include "window_bench.h"

#include <QApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "runtime/dialogs.h"
#include "runtime/directory_lister.h"
#include "runtime/message_boxes.h"
#include "support/window_harness.h"
#include "runtime/error_trap.h"
#include "window/main_window.h"
#include "sources/folder_list.h"
#include "sources/folder_scan.h"

namespace {

using Clock = std::chrono::steady_clock;

struct PrintingReporter : gg::ErrorReporter {
    void reportError(const std::string& label, int line, const std::string& description) override
    {
        std::fprintf(stderr, "report: %s %sat line %d\n", description.c_str(), label.c_str(), line);
    }
};

size_t makeTree(const std::string& folder, const std::vector<int>& fanOut, size_t depth)
{
    if (depth == fanOut.size())
        return 0;
    size_t made = 0;
    for (int i = 0; i < fanOut[depth]; ++i) {
        const std::string child = folder + "/d" + std::to_string(i);
        if (::mkdir(child.c_str(), 0755) != 0) {
            std::perror(child.c_str());
            std::exit(1);
        }
        made += 1 + makeTree(child, fanOut, depth + 1);
    }
    return made;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

template <class F>
double bestOf(int runs, F&& f)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, seconds(Clock::now() - start));
    }
    return best;
}

// The walk alone, with a given slice between event rounds; records the longest gap between them.
struct WalkResult {
    size_t folders = 0;
    double longestGap = 0;
    size_t eventRounds = 0;
};

WalkResult walk(const std::string& root, std::chrono::nanoseconds slice)
{
    WalkResult result;
    auto last = Clock::now();
    gg::EventPacer pacer(
        [&] {
            QCoreApplication::processEvents();
            const auto now = Clock::now();
            result.longestGap = std::max(result.longestGap, seconds(now - last));
            last = now;
            ++result.eventRounds;
        },
        slice);
    const std::function<void()> doEvents = std::ref(pacer);
    std::vector<std::string> folders{root + "/"};
    gg::PosixDirectoryLister lister;
    PrintingReporter reporter;
    gg::scanFolderTree(folders, true, lister, reporter, doEvents);
    result.longestGap = std::max(result.longestGap, seconds(Clock::now() - last));
    result.folders = folders.size();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const gg::bench::WindowBenchEnvironment environment;
    QApplication app(argc, argv);
    std::vector<int> fanOut{10, 10, 10, 10, 9};
    if (argc > 1) {
        fanOut.clear();
        for (int i = 1; i < argc; ++i)
            fanOut.push_back(std::atoi(argv[i]));
    }

    QTemporaryDir temp;
    const std::string root = temp.path().toStdString() + "/tree";
    ::mkdir(root.c_str(), 0755);
    QElapsedTimer making;
    making.start();
    const size_t made = makeTree(root, fanOut, 0) + 1;
    std::printf("tree: %zu folders under %s (made in %.2f s)\n", made, root.c_str(), double(making.elapsed()) / 1000);

    const std::string findCommand = "find '" + root + "' -type d > /dev/null";
    std::system(findCommand.c_str()); // warm the caches for both sides
    const int runs = 3;
    const double findTime = bestOf(runs, [&] { std::system(findCommand.c_str()); });

    WalkResult paced, everyCall;
    const double pacedTime = bestOf(runs, [&] { paced = walk(root, gg::EventPacer::kDefaultSlice); });
    const double everyCallTime = bestOf(runs, [&] { everyCall = walk(root, std::chrono::nanoseconds(0)); });

    // The whole command as the user starts it: dialog, walk, entries in the source list.
    gg::test::WindowHarness harness;
    gg::MainWindow& form = harness.open();
    int listed = 0;
    const double commandTime = bestOf(runs, [&] {
        form.sourceFolders->clear();
        harness.dialogs.folders.push_back(QString::fromStdString(root));
        form.addFolderTree();
        listed = form.sourceFolders->count();
    });

    std::printf("find -type d:               %.3f s\n", findTime);
    std::printf("scan, events every %2lld ms:   %.3f s  ratio %.2f  (%zu folders, %zu event rounds, longest gap %.1f ms)\n",
                static_cast<long long>(gg::EventPacer::kDefaultSlice.count()), pacedTime, pacedTime / findTime,
                paced.folders, paced.eventRounds, paced.longestGap * 1000);
    std::printf("scan, events every call:    %.3f s  ratio %.2f  (%zu event rounds, longest gap %.1f ms)\n",
                everyCallTime, everyCallTime / findTime, everyCall.eventRounds, everyCall.longestGap * 1000);
    std::printf("Add Folder command, whole:  %.3f s  ratio %.2f  (%d entries; %zu boxes)\n", commandTime,
                commandTime / findTime, listed, harness.boxes.boxes.size());
    return paced.folders == made && static_cast<size_t>(listed) == made ? 0 : 1;
}
