// Times the icon reader against icoutils' wrestool on one generated corpus.
//
// The corpus: a few thousand modules (hard links to the PE and NE fixtures, so it costs no disk)
// holding tens of thousands of icon groups, plus one 2 GB sparse installer with a small icon at
// its start. Our side opens every file once and takes every icon as a decoded 32 x 32 image;
// wrestool's side extracts the same groups as .ico files ("wrestool -x -t14 -o DIR FILES...",
// files passed in batches so process start-up does not dominate).
//
// Usage: bench_icon_reader [scale [rounds]]
//   scale: modules per thousand (default 1: about 3000 modules)
//   rounds: passes of our reader over the corpus; the best one counts (default 3, the machine is shared)
#include "icons/icon_extractor.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Processor time of this process, user and system: steadier than wall time on a busy machine.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

bool run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status);
}

bool haveWrestool() { return run({"wrestool", "--version"}); }

struct Tally {
    long files = 0;
    long icons = 0;
};

Tally readAll(const std::vector<std::string>& files)
{
    Tally t;
    for (const std::string& f : files) {
        gg::IconSource source = gg::IconSource::open(f);
        const int n = source.count();
        for (int i = 0; i < n; ++i)
            if (source.icon(i).width == 32)
                ++t.icons;
        ++t.files;
    }
    return t;
}

double wrestoolAll(const std::vector<std::string>& files, const fs::path& out)
{
    fs::create_directories(out);
    const auto start = Clock::now();
    constexpr std::size_t kBatch = 400;
    for (std::size_t i = 0; i < files.size(); i += kBatch) {
        std::vector<std::string> args{"wrestool", "-x", "-t14", "-o", out.string()};
        for (std::size_t j = i; j < files.size() && j < i + kBatch; ++j)
            args.push_back(files[j]);
        run(args);
    }
    return secondsSince(start);
}

long filesIn(const fs::path& dir)
{
    long n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++n;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    const int scale = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const fs::path data = fs::path(GG_SOURCE_DIR) / "tests" / "data";
    const fs::path root = fs::temp_directory_path() / ("glimmer-bench-" + std::to_string(::getpid()));
    const fs::path corpus = root / "corpus";
    fs::create_directories(corpus);

    // name, copies per scale: 2000 small libraries, 60 with 320 groups, executables, NE libraries.
    const std::vector<std::pair<std::string, int>> mix{{"icons32.dll", 1000}, {"icons64.dll", 1000},
                                                       {"many.dll", 60},      {"tool.exe", 400},
                                                       {"tool32.exe", 300},   {"shapes.icl", 300}};
    std::vector<std::string> files;
    for (const auto& [name, copies] : mix)
        for (int i = 0; i < copies * scale; ++i) {
            fs::path link = corpus / (std::to_string(i) + "-" + name);
            fs::create_hard_link(data / name, link);
            files.push_back(link.string());
        }
    // Installers: a module at the start, then payload (a hole, so no disk is used).
    const std::vector<std::pair<fs::path, std::uintmax_t>> installers{{root / "setup-256mb.exe", std::uintmax_t{256} << 20},
                                                                      {root / "setup-2gb.exe", std::uintmax_t{2} << 30}};
    for (const auto& [path, size] : installers) {
        fs::copy_file(data / "tool.exe", path);
        fs::resize_file(path, size);
    }

    std::printf("corpus: %zu modules in %s\n", files.size(), corpus.c_str());
    readAll({files.begin(), files.begin() + std::min<std::size_t>(files.size(), 200)}); // warm up

    Tally ours;
    double oursSeconds = 0, oursCpu = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto roundStart = Clock::now();
        const double cpuStart = cpuSeconds();
        ours = readAll(files);
        const double seconds = secondsSince(roundStart), cpu = cpuSeconds() - cpuStart;
        if (round == 0 || seconds < oursSeconds)
            oursSeconds = seconds;
        if (round == 0 || cpu < oursCpu)
            oursCpu = cpu;
    }
    const double icons = static_cast<double>(ours.icons);
    std::printf("ours:     %ld files, %ld icons decoded to 32x32 in %.3f s (%.0f icons/s, %.2f us per icon; "
                "processor time %.2f us per icon; best of %d)\n",
                ours.files, ours.icons, oursSeconds, icons / oursSeconds, oursSeconds * 1e6 / icons,
                oursCpu * 1e6 / icons, rounds);
    Clock::time_point start;

    std::vector<double> installerSeconds;
    for (const auto& [path, size] : installers) {
        const long rssBefore = residentKb();
        start = Clock::now();
        const Tally big = readAll({path.string()});
        installerSeconds.push_back(secondsSince(start));
        std::printf("ours, %s: %ld icons in %.3f ms, resident memory grew by %ld KB\n", path.filename().c_str(),
                    big.icons, installerSeconds.back() * 1000, residentKb() - rssBefore);
    }

    if (!haveWrestool()) {
        std::printf("wrestool not found: install icoutils for the comparison\n");
    } else {
        const double theirs = wrestoolAll(files, root / "wrestool-out");
        std::printf("wrestool: %ld .ico files extracted in %.3f s\n", filesIn(root / "wrestool-out"), theirs);
        std::printf("ratio (wrestool time / our time), corpus: %.2fx\n", theirs / oursSeconds);
        for (std::size_t i = 0; i < installers.size(); ++i) {
            const fs::path out = root / ("wrestool-" + installers[i].first.stem().string());
            const double theirsBig = wrestoolAll({installers[i].first.string()}, out);
            rusage usage{};
            getrusage(RUSAGE_CHILDREN, &usage);
            const long extracted = filesIn(out);
            std::printf("wrestool, %s: %ld .ico files in %.3f ms (largest wrestool resident size so far %ld KB), "
                        "ratio %.1fx%s\n",
                        installers[i].first.filename().c_str(), extracted, theirsBig * 1000, usage.ru_maxrss,
                        theirsBig / installerSeconds[i], extracted == 0 ? " - wrestool gave up on this file" : "");
        }
    }
    fs::remove_all(root);
    return 0;
}
