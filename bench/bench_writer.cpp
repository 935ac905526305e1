// Encodes 10,000 icons (default 24 bits; other depths as arguments) and writes them as new files
// into a temporary folder, as the save run does; prints icons per second for the encoder alone and
// for encoding and writing. Usage: bench_writer [depth...]

#include "icons/ico_encoder.h"
#include "icons/new_files.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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
    gg::IconPicture picture;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool border = x < 2 || y < 2 || x > 29 || y > 29;
            picture.set(x, y, border ? gg::kKeyColour : static_cast<std::uint32_t>((x * 8) << 16 | (y * 8) << 8 | ((x * y) & 0xFF)));
        }

    int status = 0;
    for (int depth : depths) {
        auto start = std::chrono::steady_clock::now();
        std::size_t bytes = 0;
        for (int i = 0; i < kIcons; ++i)
            bytes += gg::encodeIco(picture, depth).value().bytes.size();
        const double encoding = secondsSince(start);

        // A fresh folder per depth, so no run pays for another run's names.
        const fs::path out = folder / std::to_string(depth);
        fs::create_directories(out);
        gg::NewFiles files;
        int failures = 0;
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kIcons; ++i)
            failures += files.write(out.string(), "icon", ".ico", gg::encodeIco(picture, depth).value().bytes).ok() ? 0 : 1;
        const double writing = secondsSince(start);
        std::printf("depth %2d: encoding %.0f icons/s (%zu bytes each); encoding and writing %.0f icons/s (%d failures)\n",
                    depth, kIcons / encoding, bytes / kIcons, kIcons / writing, failures);
        if (failures != 0)
            status = 1;
    }
    fs::remove_all(folder);
    return status;
}
