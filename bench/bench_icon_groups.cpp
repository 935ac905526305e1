// The icon library's work per file inside one process, without start-up or files written: what
// glimmer-extract's list, extract --format ico and thumbnail -s 256 do for each file. Compare
// with bench_extract_tool.sh, which times whole runs of the tool against icoutils.
//
// Usage: bench_icon_groups [rounds]   (default 200 over the module fixtures)
#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"

#include "icons/png_encoder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double microsecondsPerFile(int rounds, const std::vector<std::string>& files, const std::function<void(const std::string&)>& work)
{
    const Clock::time_point start = Clock::now();
    for (int round = 0; round < rounds; ++round)
        for (const std::string& file : files)
            work(file);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / (rounds * double(files.size()));
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    std::vector<std::string> files;
    for (const char* name : {"icons32.dll", "icons64.dll", "icons16.dll", "many.dll", "tool.exe", "tool32.exe",
                             "shapes.icl", "tiny.icl", "spinner.ani"})
        files.push_back(std::string(GG_SOURCE_DIR "/tests/data/") + name);
    std::size_t sink = 0;

    const double list = microsecondsPerFile(rounds, files, [&](const std::string& path) {
        const gg::IconSource source = gg::IconSource::open(path);
        for (int i = 0; i < source.count(); ++i)
            sink += gg::describeImages(*source.group(i)).size();
    });
    const double rebuild = microsecondsPerFile(rounds, files, [&](const std::string& path) {
        const gg::IconSource source = gg::IconSource::open(path);
        for (int i = 0; i < source.count(); ++i)
            sink += gg::rebuildIconFile(*source.group(i))->size();
    });
    for (gg::PngCompression compression : {gg::PngCompression::Small, gg::PngCompression::Fast}) {
        const double thumbnail = microsecondsPerFile(rounds / 4 + 1, files, [&](const std::string& path) {
            const gg::IconSource source = gg::IconSource::open(path);
            gg::Result<gg::RgbaImage> picture = gg::pictureAt(*source.group(0), 256);
            sink += gg::encodePng(*picture, compression)->size();
        });
        std::printf("thumbnail at 256, PNG %s:        %8.0f us a file\n",
                    compression == gg::PngCompression::Fast ? "fast " : "small", thumbnail);
    }
    std::printf("list (every icon described):      %8.0f us a file\n", list);
    std::printf("every group rebuilt as an .ico:   %8.0f us a file\n", rebuild);
    return sink == 0;
}
