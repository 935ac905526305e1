// Our own PNG decoder (libdeflate) against libspng on the PNG images inside real icon files.
//
// Every PNG image of every icon and cursor group in the files and folders named (default: the
// fixtures and Samples/) is decoded by both, ROUNDS times each, alternating, each to straight
// 8-bit RGBA; the best round of each counts (the machine is shared). The two results are compared
// pixel for pixel (transparent pixels by alpha alone), so the figures are for the same work.
//
// Usage: bench_png_decode [ROUNDS] [FILE|FOLDER]...
#include "icons/icon_extractor.h"
#include "icons/icon_png.h"

#include <spng.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> spngDecode(const std::vector<std::uint8_t>& png, std::uint32_t& width, std::uint32_t& height)
{
    std::vector<std::uint8_t> out;
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    spng_ihdr ihdr{};
    std::size_t size = 0;
    if (spng_get_ihdr(ctx, &ihdr) == 0 && spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0) {
        out.resize(size);
        if (spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
            out.clear();
        width = ihdr.width;
        height = ihdr.height;
    }
    spng_ctx_free(ctx);
    return out;
}

void collect(const fs::path& path, std::vector<std::vector<std::uint8_t>>& pngs)
{
    const gg::IconSource source = gg::IconSource::open(path.string());
    auto take = [&](const gg::IconGroup* group) {
        for (const gg::ImageCandidate& image : group->images) {
            gg::Result<gg::ByteReader> bytes = image.data.slice(0, image.data.size());
            if (bytes && bytes->bytes().size() > 8 && bytes->bytes()[0] == 0x89 && bytes->bytes()[1] == 'P')
                pngs.emplace_back(bytes->bytes().begin(), bytes->bytes().end());
        }
    };
    for (int i = 0; i < source.count(); ++i)
        take(source.group(i));
    for (int i = 0; i < source.cursorCount(); ++i)
        take(source.cursorGroup(i));
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::vector<fs::path> roots;
    for (int i = 2; i < argc; ++i)
        roots.emplace_back(argv[i]);
    if (roots.empty())
        roots = {GG_TEST_DATA, GG_SOURCE_DIR "/Samples"};
    std::vector<std::vector<std::uint8_t>> pngs;
    for (const fs::path& root : roots) {
        if (fs::is_directory(root)) {
            for (const auto& entry : fs::recursive_directory_iterator(root))
                if (entry.is_regular_file())
                    collect(entry.path(), pngs);
        } else {
            collect(root, pngs);
        }
    }
    std::uint64_t pixels = 0, bytes = 0;
    int differing = 0, refusedByOne = 0;
    for (const auto& png : pngs) {
        bytes += png.size();
        std::uint32_t w = 0, h = 0;
        const std::vector<std::uint8_t> theirs = spngDecode(png, w, h);
        gg::Result<gg::RgbaImage> ours = gg::decodePngStream(gg::ByteReader(png));
        if (!ours || theirs.empty()) {
            refusedByOne += ours.ok() != !theirs.empty();
            continue;
        }
        pixels += std::uint64_t{w} * h;
        bool same = ours->width == static_cast<int>(w) && ours->height == static_cast<int>(h);
        for (std::uint32_t y = 0; same && y < h; ++y)
            for (std::uint32_t x = 0; same && x < w; ++x) {
                const std::uint8_t* a = ours->row(static_cast<int>(y)) + x * 4;
                const std::uint8_t* b = theirs.data() + (std::size_t{y} * w + x) * 4;
                same = a[3] == b[3] && (a[3] == 0 || std::equal(a, a + 3, b));
            }
        differing += !same;
    }

    double bestOurs = 1e9, bestTheirs = 1e9;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        for (const auto& png : pngs) {
            (void)gg::decodePngStream(gg::ByteReader(png));
        }
        bestOurs = std::min(bestOurs, std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        for (const auto& png : pngs) {
            std::uint32_t w = 0, h = 0;
            (void)spngDecode(png, w, h);
        }
        bestTheirs = std::min(bestTheirs, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("%zu PNG images, %.1f Mpixels, %.1f kB; best of %d rounds\n", pngs.size(), static_cast<double>(pixels) / 1e6,
                static_cast<double>(bytes) / 1e3, rounds);
    std::printf("ours     %8.3f ms  %7.1f us/image\n", bestOurs * 1e3, bestOurs * 1e6 / static_cast<double>(pngs.size()));
    std::printf("libspng  %8.3f ms  %7.1f us/image   libspng / ours %.2fx\n", bestTheirs * 1e3,
                bestTheirs * 1e6 / static_cast<double>(pngs.size()), bestTheirs / bestOurs);
    std::printf("pixels differing in %d images; decoded by one only: %d\n", differing, refusedByOne);
    return differing == 0 && refusedByOne == 0 ? 0 : 1;
}
