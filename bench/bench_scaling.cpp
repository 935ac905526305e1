// The library's scaling against the toolkit's smooth scaling it replaced, on every image of the
// icon files named (default: the fixtures and Samples/).
//
// For each group, the image the gallery takes is brought to 32 x 32 both ways (the old rule: a whole
// factor repeats pixels, anything else smooth scaling of 8-bit premultiplied colours); and every
// image of the group to the picture sizes (the old rule: a whole factor first, then smooth scaling
// of 16-bit premultiplied colours). Printed: how many were scaled, and the largest difference in
// any channel, straight (where either pixel shows), premultiplied (what is seen over any
// background), and as saved (drawn over the key colour, as the .ico files are). With an output
// path it also writes a contact sheet: the 32 x 32 icons with the largest differences, before and
// after, four times enlarged. Last, the time each rule takes to bring every scaled image to 32 x 32
// (best of 20 rounds; the machine is shared).
//
// Usage: bench_scaling [--sheet OUT.png] [FILE|FOLDER]...
#include "extraction/qimage_conversion.h"
#include "icons/colour_blend.h"
#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"
#include "icons/image_scaling.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using gg::RgbaImage;

namespace {

// The rules as they were, on QImage.
QImage oldIcon(QImage image)
{
    constexpr int kSide = 32;
    if (image.width() == kSide && image.height() == kSide)
        return image;
    const int w = image.width(), h = image.height(), factor = kSide / std::max(w, h);
    if (factor >= 2 && kSide % std::max(w, h) == 0) {
        QImage icon(kSide, kSide, QImage::Format_ARGB32);
        icon.fill(0);
        const int left = (kSide - w * factor) / 2, top = (kSide - h * factor) / 2;
        for (int y = 0; y < h * factor; ++y)
            for (int x = 0; x < w * factor; ++x)
                icon.setPixel(left + x, top + y, image.pixel(x / factor, y / factor));
        return icon;
    }
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    QImage scaled = image.scaled(kSide, kSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (scaled.width() != kSide || scaled.height() != kSide) {
        QImage canvas(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.drawImage((kSide - scaled.width()) / 2, (kSide - scaled.height()) / 2, scaled);
        painter.end();
        scaled = canvas;
    }
    return scaled.convertToFormat(QImage::Format_ARGB32);
}

QImage oldPicture(const QImage& decoded, int side)
{
    QImage image = decoded.convertToFormat(QImage::Format_ARGB32);
    const int longest = std::max(image.width(), image.height());
    if (longest < side && side / longest > 1) {
        const int factor = side / longest;
        QImage out(image.width() * factor, image.height() * factor, QImage::Format_ARGB32);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                out.setPixel(x, y, image.pixel(x / factor, y / factor));
        image = out;
    }
    if (std::max(image.width(), image.height()) != side)
        image = image.convertToFormat(QImage::Format_RGBA64_Premultiplied)
                    .scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_ARGB32);
    if (image.width() == side && image.height() == side)
        return image;
    QImage canvas(side, side, QImage::Format_ARGB32);
    canvas.fill(0);
    const int left = (side - image.width()) / 2, top = (side - image.height()) / 2;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            canvas.setPixel(left + x, top + y, image.pixel(x, y));
    return canvas;
}

struct Difference {
    int straight = 0;      // any channel, where either pixel is not fully clear
    int premultiplied = 0; // colour times alpha, and alpha
    int saved = 0;         // over the key colour
};

Difference differenceOf(const RgbaImage& a, const RgbaImage& b)
{
    Difference d;
    if (a.width != b.width || a.height != b.height)
        return {999, 999, 999};
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const gg::Rgba p = a.at(x, y), q = b.at(x, y);
            const int pc[] = {p.r, p.g, p.b}, qc[] = {q.r, q.g, q.b};
            for (int c = 0; c < 3; ++c) {
                if (p.a != 0 || q.a != 0)
                    d.straight = std::max(d.straight, std::abs(pc[c] - qc[c]));
                d.premultiplied = std::max(d.premultiplied, std::abs(pc[c] * p.a - qc[c] * q.a) / 255);
            }
            d.straight = std::max(d.straight, std::abs(p.a - q.a));
            d.premultiplied = std::max(d.premultiplied, std::abs(p.a - q.a));
            const std::uint32_t sp = gg::overOpaque(p, 0xC5C5C5), sq = gg::overOpaque(q, 0xC5C5C5);
            for (int shift : {0, 8, 16})
                d.saved = std::max(d.saved, std::abs(static_cast<int>((sp >> shift) & 0xFF) - static_cast<int>((sq >> shift) & 0xFF)));
        }
    return d;
}

struct Tally {
    int exact = 0, exactSame = 0, scaled = 0;
    Difference largest;
    void add(const Difference& d)
    {
        ++scaled;
        largest.straight = std::max(largest.straight, d.straight);
        largest.premultiplied = std::max(largest.premultiplied, d.premultiplied);
        largest.saved = std::max(largest.saved, d.saved);
    }
};

struct SheetEntry {
    int saved;
    QImage before, after;
    std::string what;
};

std::vector<RgbaImage> toScale; // every decoded image that is not 32 x 32

void compareFile(const fs::path& path, Tally& icons, Tally& pictures, std::vector<SheetEntry>& sheet)
{
    const gg::IconSource source = gg::IconSource::open(path.string());
    for (int i = 0; i < source.count(); ++i) {
        const gg::IconGroup& group = *source.group(i);
        for (std::size_t k = 0; k < group.images.size(); ++k) {
            gg::Result<gg::ByteReader> bytes = group.images[k].data.slice(0, std::min(group.images[k].data.size(), gg::kMaxImageBytes));
            gg::Result<RgbaImage> decoded = bytes ? gg::decodeIconImage(*bytes) : gg::Result<RgbaImage>(bytes.failure());
            if (!decoded)
                continue;
            const QImage old = gg::toQImage(*decoded);
            const RgbaImage before = gg::toRgbaImage(oldIcon(old)), after = gg::fittedToSquare(*decoded, 32);
            if (decoded->width == 32 && decoded->height == 32) {
                ++icons.exact;
                icons.exactSame += before == after;
            } else {
                toScale.push_back(*decoded);
                const Difference d = differenceOf(before, after);
                icons.add(d);
                sheet.push_back({d.saved, gg::toQImage(before), gg::toQImage(after),
                                 path.filename().string() + " #" + std::to_string(i) + " " + std::to_string(decoded->width) +
                                     "x" + std::to_string(decoded->height)});
            }
            for (int side : {16, 24, 48, 64, 128, 256}) {
                if (decoded->width == side && decoded->height == side)
                    continue;
                pictures.add(differenceOf(gg::toRgbaImage(oldPicture(old, side)), gg::fittedToSquare(*decoded, side)));
            }
        }
    }
}

void writeSheet(std::vector<SheetEntry> sheet, const std::string& out)
{
    std::stable_sort(sheet.begin(), sheet.end(), [](const SheetEntry& a, const SheetEntry& b) { return a.saved > b.saved; });
    sheet.resize(std::min<std::size_t>(sheet.size(), 48));
    constexpr int kZoom = 4, kCell = 32 * kZoom, kGap = 8, kColumns = 4;
    const int rows = static_cast<int>((sheet.size() + kColumns - 1) / kColumns);
    QImage canvas(kColumns * (2 * kCell + 3 * kGap), std::max(1, rows) * (kCell + 2 * kGap), QImage::Format_RGB32);
    canvas.fill(QColor(0xC5, 0xC5, 0xC5)); // the key colour the saved icons are drawn over
    QPainter painter(&canvas);
    for (std::size_t n = 0; n < sheet.size(); ++n) {
        const int col = static_cast<int>(n) % kColumns, row = static_cast<int>(n) / kColumns;
        const int x = col * (2 * kCell + 3 * kGap) + kGap, y = row * (kCell + 2 * kGap) + kGap;
        painter.drawImage(QRect(x, y, kCell, kCell), sheet[n].before);
        painter.drawImage(QRect(x + kCell + kGap, y, kCell, kCell), sheet[n].after);
        std::printf("  sheet %2zu: %-40s largest difference as saved %d\n", n + 1, sheet[n].what.c_str(), sheet[n].saved);
    }
    painter.end();
    canvas.save(QString::fromStdString(out));
}

} // namespace

int main(int argc, char** argv)
{
    std::string sheetPath;
    std::vector<fs::path> roots;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--sheet" && i + 1 < argc)
            sheetPath = argv[++i];
        else
            roots.emplace_back(argv[i]);
    }
    if (roots.empty())
        roots = {GG_TEST_DATA, GG_SOURCE_DIR "/Samples"};
    Tally icons, pictures;
    std::vector<SheetEntry> sheet;
    for (const fs::path& root : roots) {
        if (fs::is_directory(root)) {
            for (const auto& entry : fs::recursive_directory_iterator(root))
                if (entry.is_regular_file())
                    compareFile(entry.path(), icons, pictures, sheet);
        } else {
            compareFile(root, icons, pictures, sheet);
        }
    }
    std::printf("32 x 32 icons: %d images already 32 x 32 (%d unchanged), %d scaled\n", icons.exact, icons.exactSame, icons.scaled);
    std::printf("  largest difference in a channel: straight %d, premultiplied %d, as saved over the key colour %d\n",
                icons.largest.straight, icons.largest.premultiplied, icons.largest.saved);
    std::printf("pictures at 16, 24, 48, 64, 128, 256: %d scaled\n", pictures.scaled);
    std::printf("  largest difference in a channel: straight %d, premultiplied %d, over the key colour %d\n",
                pictures.largest.straight, pictures.largest.premultiplied, pictures.largest.saved);
    if (!sheetPath.empty())
        writeSheet(sheet, sheetPath);

    std::vector<QImage> asQImages;
    for (const RgbaImage& image : toScale)
        asQImages.push_back(gg::toQImage(image));
    using Clock = std::chrono::steady_clock;
    double before = 1e9, after = 1e9;
    std::size_t sink = 0;
    for (int round = 0; round < 20; ++round) {
        auto start = Clock::now();
        for (const QImage& image : asQImages)
            sink += static_cast<std::size_t>(oldIcon(image).width());
        before = std::min(before, std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        for (const RgbaImage& image : toScale)
            sink += static_cast<std::size_t>(gg::fittedToSquare(image, 32).width);
        after = std::min(after, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("to 32 x 32, %zu images: toolkit %.2f ms, library %.2f ms (%.1f us an image; sink %zu)\n", toScale.size(),
                before * 1e3, after * 1e3, after * 1e6 / static_cast<double>(std::max<std::size_t>(toScale.size(), 1)), sink);
    return icons.exact == icons.exactSame ? 0 : 1;
}
