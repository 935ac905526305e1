// Writes 10,000 icons (default 24 bits; other depths as arguments) into a temporary folder and
// prints icons per second. Usage: bench_writer [depth...]

#include "icons/write_icon.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class CountingReporter : public gg::ErrorReporter {
public:
    void ReportError(const std::string& label, int line, const std::string& description) override
    {
        if (++count <= 3)
            std::fprintf(stderr, "%s at line %d: %s\n", label.c_str(), line, description.c_str());
    }
    int count = 0;
};

} // namespace

int main(int argc, char** argv)
{
    constexpr int kIcons = 10000;
    std::vector<int> depths;
    for (int i = 1; i < argc; ++i)
        depths.push_back(std::atoi(argv[i]));
    if (depths.empty())
        depths.push_back(24);

    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("bench_writer_" + std::to_string(::getpid()));
    fs::create_directories(folder);

    // A picture with a key-coloured border, a gradient and some black and white.
    gg::Bitmap picture(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool border = x < 2 || y < 2 || x > 29 || y > 29;
            picture.setPixel(x, y, border ? gg::kKeyColour : gg::Rgb(x * 8, y * 8, (x * y) & 0xFF));
        }

    int status = 0;
    for (int depth : depths) {
        // A fresh folder per depth, so no run pays for replacing another run's files.
        const fs::path out = folder / std::to_string(depth);
        fs::create_directories(out);
        CountingReporter reporter;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kIcons; ++i)
            gg::SaveIcon(reporter, (out / ("icon" + std::to_string(i) + ".ico")).string(), picture, depth);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("depth %2d: %d icons in %.3f s = %.0f icons/s (%d errors)\n", depth, kIcons, seconds,
                    kIcons / seconds, reporter.count);
        if (reporter.count != 0)
            status = 1;
    }
    fs::remove_all(folder);
    return status;
}
