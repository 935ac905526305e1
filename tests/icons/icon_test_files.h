// Builders for small icon files and PE modules in memory, written independently of the reader,
// so tests can state exactly what a file holds and damage one field at a time.
#pragma once

#include "icons/rgba_image.h"
#include "test_colours.h"

#include <gtest/gtest.h>

#include <libdeflate.h>
#include <spng.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace gg::test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    if (b.size() < at + 2)
        b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
// Checked: a field past the end of short bytes fails the test that reads it, never the whole program.
inline std::uint32_t get16(const Bytes& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
inline std::uint32_t get32(const Bytes& b, std::size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A file the test needs: one that is not there is a failed assertion, and no bytes.
inline Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::string dataPath(const std::string& name) { return std::string(GG_TEST_DATA) + "/" + name; }

inline Argb pixelAt(const RgbaImage& image, int x, int y)
{
    const Rgba p = image.at(x, y);
    return argb(p.r, p.g, p.b, p.a);
}

// A PNG as libspng decodes it, 8-bit RGBA with its transparency applied: the pictures a test
// expects, read by a decoder other than ours. Empty when it cannot.
inline RgbaImage pngBySpng(const Bytes& png)
{
    spng_ctx* context = spng_ctx_new(0);
    spng_ihdr header{};
    std::size_t size = 0;
    RgbaImage image;
    if (spng_set_png_buffer(context, png.data(), png.size()) == 0 && spng_get_ihdr(context, &header) == 0 &&
        spng_decoded_image_size(context, SPNG_FMT_RGBA8, &size) == 0) {
        image = RgbaImage(static_cast<int>(header.width), static_cast<int>(header.height));
        if (image.pixels.size() != size ||
            spng_decode_image(context, image.pixels.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
            image = RgbaImage();
    }
    spng_ctx_free(context);
    return image;
}
inline RgbaImage readPng(const std::string& path) { return pngBySpng(readFile(path)); }

// Data compressed as a zlib stream, as PNG's IDAT holds it.
inline Bytes zlibCompressed(const Bytes& raw)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    Bytes out(libdeflate_zlib_compress_bound(compressor, raw.size()));
    out.resize(libdeflate_zlib_compress(compressor, raw.data(), raw.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

// One image of an icon: a solid colour square, as a DIB of some depth or as a PNG.
struct ImageSpec {
    int width = 32;
    int height = 32;
    int bits = 32;      // 1, 4, 8, 16, 24, 32; ignored for PNG
    Argb colour = argb(255, 0, 0);
    bool png = false;
};

inline Bytes solidDib(const ImageSpec& s)
{
    Bytes b(40, 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<std::uint32_t>(s.width));
    put32(b, 8, static_cast<std::uint32_t>(s.height * 2));
    put16(b, 12, 1);
    put16(b, 14, static_cast<std::uint32_t>(s.bits));
    if (s.bits <= 8) {
        const std::size_t colours = std::size_t{1} << s.bits;
        for (std::size_t i = 0; i < colours; ++i) {
            Argb c = i == 1 ? s.colour : argb(0, 0, 0);
            b.push_back(static_cast<std::uint8_t>(blueOf(c)));
            b.push_back(static_cast<std::uint8_t>(greenOf(c)));
            b.push_back(static_cast<std::uint8_t>(redOf(c)));
            b.push_back(0);
        }
    }
    const std::size_t stride = ((static_cast<std::size_t>(s.width) * s.bits + 31) / 32) * 4;
    for (int y = 0; y < s.height; ++y) {
        Bytes row(stride, 0);
        for (int x = 0; x < s.width; ++x) {
            switch (s.bits) {
            case 1: row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8)); break;
            case 4: row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? 0x01 : 0x10); break;
            case 8: row[x] = 1; break;
            case 16: {
                std::uint32_t v = ((redOf(s.colour) >> 3) << 10) | ((greenOf(s.colour) >> 3) << 5) | (blueOf(s.colour) >> 3);
                row[x * 2] = static_cast<std::uint8_t>(v);
                row[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
                break;
            }
            case 24:
            case 32: {
                const std::size_t n = static_cast<std::size_t>(s.bits / 8);
                row[x * n] = static_cast<std::uint8_t>(blueOf(s.colour));
                row[x * n + 1] = static_cast<std::uint8_t>(greenOf(s.colour));
                row[x * n + 2] = static_cast<std::uint8_t>(redOf(s.colour));
                if (n == 4)
                    row[x * n + 3] = static_cast<std::uint8_t>(alphaOf(s.colour));
                break;
            }
            }
        }
        append(b, row);
    }
    const std::size_t maskStride = ((static_cast<std::size_t>(s.width) + 31) / 32) * 4;
    b.resize(b.size() + maskStride * static_cast<std::size_t>(s.height), 0);
    return b;
}


// A PNG stream of any colour type and bit depth, written here independently of the reader:
// `samples` holds each row's samples (channels times width, palette indices for type 3),
// each row filtered with filter type row % 5 so that every filter is undone.
struct PngSpec {
    int width = 0;
    int height = 0;
    int colorType = 6;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<std::uint16_t>> samples; // [row][sample]
    Bytes palette;                                   // PLTE body
    Bytes transparency;                              // tRNS body, when not empty
    Bytes rawAfter;            // bytes compressed after the image's rows, as some encoders write
    std::size_t rawCut = 0;    // bytes of the rows left out at their end
    std::vector<std::pair<std::string, Bytes>> ancillary; // chunks written before IDAT
};

inline Bytes pngStream(const PngSpec& p)
{
    const int channels = p.colorType == 2 ? 3 : p.colorType == 4 ? 2 : p.colorType == 6 ? 4 : 1;
    auto chunk = [](Bytes& out, const char* type, const Bytes& body) {
        Bytes typed(type, type + 4);
        append(typed, body);
        const std::uint32_t crc = libdeflate_crc32(0, typed.data(), typed.size());
        for (int shift : {24, 16, 8, 0})
            out.push_back(static_cast<std::uint8_t>(body.size() >> shift));
        append(out, typed);
        for (int shift : {24, 16, 8, 0})
            out.push_back(static_cast<std::uint8_t>(crc >> shift));
    };
    // Packs and filters the rows of one pass (the whole image when not interlaced).
    Bytes raw;
    auto addPass = [&](int x0, int y0, int dx, int dy) {
        const int w = p.width > x0 ? (p.width - x0 + dx - 1) / dx : 0;
        const int h = p.height > y0 ? (p.height - y0 + dy - 1) / dy : 0;
        if (w == 0 || h == 0)
            return;
        const std::size_t rowBytes = (static_cast<std::size_t>(w) * channels * p.bitDepth + 7) / 8;
        const std::size_t bpp = std::max(1, channels * p.bitDepth / 8);
        Bytes previous(rowBytes, 0);
        for (int r = 0; r < h; ++r) {
            Bytes row(rowBytes, 0);
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < channels; ++c) {
                    const std::uint32_t v = p.samples[static_cast<std::size_t>(y0 + r * dy)]
                                                     [static_cast<std::size_t>((x0 + x * dx) * channels + c)];
                    const std::size_t i = static_cast<std::size_t>(x * channels + c);
                    if (p.bitDepth == 16) {
                        row[2 * i] = static_cast<std::uint8_t>(v >> 8);
                        row[2 * i + 1] = static_cast<std::uint8_t>(v);
                    } else if (p.bitDepth == 8) {
                        row[i] = static_cast<std::uint8_t>(v);
                    } else {
                        const std::size_t bit = i * static_cast<std::size_t>(p.bitDepth);
                        row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - p.bitDepth - bit % 8));
                    }
                }
            const int filter = r % 5;
            raw.push_back(static_cast<std::uint8_t>(filter));
            for (std::size_t i = 0; i < rowBytes; ++i) {
                const int left = i >= bpp ? row[i - bpp] : 0, up = previous[i], upLeft = i >= bpp ? previous[i - bpp] : 0;
                const int pa = std::abs(up - upLeft), pb = std::abs(left - upLeft), pc = std::abs(left + up - 2 * upLeft);
                const int paeth = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
                const int predicted[] = {0, left, up, (left + up) / 2, paeth};
                raw.push_back(static_cast<std::uint8_t>(row[i] - predicted[filter]));
            }
            previous = row;
        }
    };
    if (p.interlaced) {
        for (auto [x0, y0, dx, dy] : {std::array{0, 0, 8, 8}, std::array{4, 0, 8, 8}, std::array{0, 4, 4, 8},
                                      std::array{2, 0, 4, 4}, std::array{0, 2, 2, 4}, std::array{1, 0, 2, 2},
                                      std::array{0, 1, 1, 2}})
            addPass(x0, y0, dx, dy);
    } else {
        addPass(0, 0, 1, 1);
    }
    append(raw, p.rawAfter);
    raw.resize(raw.size() - std::min(p.rawCut, raw.size()));
    const Bytes zlib = zlibCompressed(raw);

    Bytes out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    for (std::uint32_t v : {static_cast<std::uint32_t>(p.width), static_cast<std::uint32_t>(p.height)})
        for (int shift : {24, 16, 8, 0})
            header.push_back(static_cast<std::uint8_t>(v >> shift));
    append(header, {static_cast<std::uint8_t>(p.bitDepth), static_cast<std::uint8_t>(p.colorType), 0, 0,
                    static_cast<std::uint8_t>(p.interlaced ? 1 : 0)});
    chunk(out, "IHDR", header);
    if (!p.palette.empty())
        chunk(out, "PLTE", p.palette);
    if (!p.transparency.empty())
        chunk(out, "tRNS", p.transparency);
    for (const auto& [type, body] : p.ancillary)
        chunk(out, type.c_str(), body);
    chunk(out, "IDAT", zlib);
    chunk(out, "IEND", {});
    return out;
}

// The picture as an 8-bit RGBA PNG.
inline Bytes pngOf(const RgbaImage& image)
{
    PngSpec p{image.width, image.height, 6, 8, false, {}, {}, {}};
    for (int y = 0; y < image.height; ++y)
        p.samples.emplace_back(image.row(y), image.row(y) + image.rowBytes());
    return pngStream(p);
}

inline RgbaImage filled(int width, int height, Argb colour)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.set(x, y, {static_cast<std::uint8_t>(redOf(colour)), static_cast<std::uint8_t>(greenOf(colour)),
                             static_cast<std::uint8_t>(blueOf(colour)), static_cast<std::uint8_t>(alphaOf(colour))});
    return image;
}

// A solid colour square as an 8-bit RGBA PNG.
inline Bytes solidPng(const ImageSpec& s) { return pngOf(filled(s.width, s.height, s.colour)); }

inline Bytes imageBytes(const ImageSpec& s) { return s.png ? solidPng(s) : solidDib(s); }

// An .ico (type 1) or .cur (type 2) file of the given images, in this order.
inline Bytes iconFile(const std::vector<ImageSpec>& images, int type = 1, int hotX = 0, int hotY = 0)
{
    Bytes b;
    put16(b, 0, 0);
    put16(b, 2, static_cast<std::uint32_t>(type));
    put16(b, 4, static_cast<std::uint32_t>(images.size()));
    std::size_t offset = 6 + 16 * images.size();
    Bytes body;
    for (std::size_t i = 0; i < images.size(); ++i) {
        Bytes data = imageBytes(images[i]);
        const std::size_t e = 6 + 16 * i;
        b.resize(e + 16, 0);
        b[e] = static_cast<std::uint8_t>(images[i].width & 0xFF);
        b[e + 1] = static_cast<std::uint8_t>(images[i].height & 0xFF);
        put16(b, e + 4, static_cast<std::uint32_t>(type == 2 ? hotX : 1));
        put16(b, e + 6, static_cast<std::uint32_t>(type == 2 ? hotY : images[i].bits));
        put32(b, e + 8, static_cast<std::uint32_t>(data.size()));
        put32(b, e + 12, static_cast<std::uint32_t>(offset));
        offset += data.size();
        append(body, data);
    }
    append(b, body);
    return b;
}

// An .ico file of images given as bytes; the directory leaves sizes and depths 0.
inline Bytes iconFileOfImages(const std::vector<Bytes>& images)
{
    Bytes b;
    put16(b, 0, 0);
    put16(b, 2, 1);
    put16(b, 4, static_cast<std::uint32_t>(images.size()));
    std::size_t offset = 6 + 16 * images.size();
    b.resize(offset, 0);
    for (std::size_t i = 0; i < images.size(); ++i) {
        put32(b, 6 + 16 * i + 8, static_cast<std::uint32_t>(images[i].size()));
        put32(b, 6 + 16 * i + 12, static_cast<std::uint32_t>(offset));
        offset += images[i].size();
    }
    for (const Bytes& image : images)
        append(b, image);
    return b;
}

// A RIFF chunk, padded to an even length as RIFF wants.
inline Bytes riffChunk(const char* id, const Bytes& body)
{
    Bytes b(id, id + 4);
    put32(b, 4, static_cast<std::uint32_t>(body.size()));
    append(b, body);
    if (body.size() % 2)
        b.push_back(0);
    return b;
}

// An animated cursor: its header, the `before` chunks, then the frame list of `frames`.
inline Bytes aniFile(const std::vector<Bytes>& frames, const std::vector<Bytes>& before = {})
{
    Bytes header(36, 0);
    put32(header, 0, 36);
    put32(header, 4, static_cast<std::uint32_t>(frames.size())); // frames
    put32(header, 8, static_cast<std::uint32_t>(frames.size())); // steps
    put32(header, 28, 10);                                       // jiffies a frame
    put32(header, 32, 1);                                        // frames are icons
    Bytes body{'A', 'C', 'O', 'N'};
    append(body, riffChunk("anih", header));
    for (const Bytes& chunk : before)
        append(body, chunk);
    Bytes list{'f', 'r', 'a', 'm'};
    for (const Bytes& frame : frames)
        append(list, riffChunk("icon", frame));
    append(body, riffChunk("LIST", list));
    Bytes b{'R', 'I', 'F', 'F'};
    put32(b, 4, static_cast<std::uint32_t>(body.size()));
    append(b, body);
    return b;
}

// A PE32 or PE32+ module with one section holding a resource tree of icon groups.
struct PeGroup {
    std::string name;    // named entry when not empty
    std::uint32_t id = 0;
    std::vector<ImageSpec> images;
};

struct PeOptions {
    bool pe32Plus = false;
    bool namesReversed = false; // name strings stored in the reverse order of their entries
    // A section before .rsrc whose raw data covers .rsrc's addresses, but whose virtual size
    // ends before them.
    bool decoySection = false;
    // A section whose bytes end exactly where .rsrc's begin, in the file and in memory.
    bool adjacentSection = false;
    std::uint32_t rawSlack = 0; // raw bytes of .rsrc past its virtual size
    // Offsets of interesting records in the built file, for tests that damage them.
    std::size_t groupTypeEntryAt = 0;   // the root's entry for type 14 (u32 name, u32 target)
    std::vector<std::size_t> groupEntryAt;         // per group, its entry in type 14's directory
    std::vector<std::size_t> iconEntryAt;          // per icon resource, its entry in type 3's directory
    std::vector<std::size_t> groupLanguageEntryAt; // per group, its language entry
    std::vector<std::size_t> groupBodyAt;          // per group, its GRPICONDIR
    std::vector<std::size_t> iconBodyAt;           // per icon resource, its image
    std::size_t sectionHeaderAt = 0;
    std::size_t resourceDirAt = 0;       // data directory entry 2 (rva, size)
};

inline Bytes peModule(const std::vector<PeGroup>& groups, PeOptions& o)
{
    o.groupLanguageEntryAt.clear();
    o.groupBodyAt.clear();
    o.iconBodyAt.clear();
    o.groupEntryAt.clear();
    o.iconEntryAt.clear();
    constexpr std::uint32_t kSectionRva = 0x1000;
    constexpr std::size_t kRawAt = 0x400;
    // Icon resources get ids 1..n in group order.
    struct Icon { std::uint32_t id; Bytes data; };
    std::vector<Icon> icons;
    std::vector<Bytes> bodies;
    for (const PeGroup& g : groups) {
        Bytes body;
        put16(body, 0, 0);
        put16(body, 2, 1);
        put16(body, 4, static_cast<std::uint32_t>(g.images.size()));
        for (const ImageSpec& s : g.images) {
            Bytes data = imageBytes(s);
            const std::size_t e = body.size();
            body.resize(e + 14, 0);
            body[e] = static_cast<std::uint8_t>(s.width & 0xFF);
            body[e + 1] = static_cast<std::uint8_t>(s.height & 0xFF);
            put16(body, e + 4, 1);
            put16(body, e + 6, static_cast<std::uint32_t>(s.bits));
            put32(body, e + 8, static_cast<std::uint32_t>(data.size()));
            icons.push_back({static_cast<std::uint32_t>(icons.size() + 1), data});
            put16(body, e + 12, icons.back().id);
        }
        bodies.push_back(body);
    }
    // Section layout: root, type 3 dir, type 14 dir, language dirs, data entries, names, data.
    const std::size_t root = 0, iconDir = 16 + 2 * 8, groupDir = iconDir + 16 + 8 * icons.size();
    std::size_t at = groupDir + 16 + 8 * groups.size();
    const std::size_t iconLangs = at;
    at += icons.size() * 24;
    const std::size_t groupLangs = at;
    at += groups.size() * 24;
    const std::size_t iconEntries = at;
    at += icons.size() * 16;
    const std::size_t groupEntries = at;
    at += groups.size() * 16;
    std::vector<std::size_t> nameAt(groups.size());
    Bytes names;
    for (std::size_t n = 0; n < groups.size(); ++n) {
        const std::size_t i = o.namesReversed ? groups.size() - 1 - n : n;
        nameAt[i] = at + names.size();
        put16(names, names.size(), static_cast<std::uint32_t>(groups[i].name.size()));
        for (char c : groups[i].name)
            put16(names, names.size(), static_cast<std::uint8_t>(c));
    }
    at += names.size();
    at = (at + 3) & ~std::size_t{3};
    Bytes rsrc(at, 0);
    auto dir = [&](std::size_t off, std::size_t named, std::size_t ids) {
        put16(rsrc, off + 12, static_cast<std::uint32_t>(named));
        put16(rsrc, off + 14, static_cast<std::uint32_t>(ids));
    };
    auto entry = [&](std::size_t off, std::uint32_t name, std::uint32_t target) {
        put32(rsrc, off, name);
        put32(rsrc, off + 4, target);
    };
    auto blob = [&](const Bytes& data) {
        std::size_t off = rsrc.size();
        append(rsrc, data);
        rsrc.resize((rsrc.size() + 3) & ~std::size_t{3}, 0);
        return off;
    };
    dir(root, 0, 2);
    entry(root + 16, 3, 0x80000000u | static_cast<std::uint32_t>(iconDir));
    entry(root + 24, 14, 0x80000000u | static_cast<std::uint32_t>(groupDir));
    o.groupTypeEntryAt = root + 24;
    dir(iconDir, 0, icons.size());
    for (std::size_t i = 0; i < icons.size(); ++i) {
        entry(iconDir + 16 + 8 * i, icons[i].id, 0x80000000u | static_cast<std::uint32_t>(iconLangs + 24 * i));
        o.iconEntryAt.push_back(iconDir + 16 + 8 * i);
        dir(iconLangs + 24 * i, 0, 1);
        entry(iconLangs + 24 * i + 16, 1033, static_cast<std::uint32_t>(iconEntries + 16 * i));
        std::size_t data = blob(icons[i].data);
        o.iconBodyAt.push_back(data);
        put32(rsrc, iconEntries + 16 * i, static_cast<std::uint32_t>(kSectionRva + data));
        put32(rsrc, iconEntries + 16 * i + 4, static_cast<std::uint32_t>(icons[i].data.size()));
    }
    std::size_t namedCount = 0;
    for (const PeGroup& g : groups)
        namedCount += g.name.empty() ? 0 : 1;
    dir(groupDir, namedCount, groups.size() - namedCount);
    for (std::size_t i = 0; i < groups.size(); ++i) {
        std::uint32_t name = groups[i].name.empty() ? groups[i].id : 0x80000000u | static_cast<std::uint32_t>(nameAt[i]);
        entry(groupDir + 16 + 8 * i, name, 0x80000000u | static_cast<std::uint32_t>(groupLangs + 24 * i));
        o.groupEntryAt.push_back(groupDir + 16 + 8 * i);
        dir(groupLangs + 24 * i, 0, 1);
        entry(groupLangs + 24 * i + 16, 1033, static_cast<std::uint32_t>(groupEntries + 16 * i));
        o.groupLanguageEntryAt.push_back(groupLangs + 24 * i + 16);
        std::size_t data = blob(bodies[i]);
        o.groupBodyAt.push_back(data);
        put32(rsrc, groupEntries + 16 * i, static_cast<std::uint32_t>(kSectionRva + data));
        put32(rsrc, groupEntries + 16 * i + 4, static_cast<std::uint32_t>(bodies[i].size()));
    }
    if (!names.empty())
        std::copy(names.begin(), names.end(), rsrc.begin() + static_cast<std::ptrdiff_t>(*std::min_element(nameAt.begin(), nameAt.end())));

    Bytes b(kRawAt, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, 0x80);
    const std::size_t pe = 0x80;
    b[pe] = 'P';
    b[pe + 1] = 'E';
    put16(b, pe + 4, o.pe32Plus ? 0x8664 : 0x14C);
    put16(b, pe + 6, 1 + (o.decoySection ? 1 : 0) + (o.adjacentSection ? 1 : 0));
    const std::size_t optSize = o.pe32Plus ? 240 : 224;
    put16(b, pe + 20, static_cast<std::uint32_t>(optSize));
    const std::size_t opt = pe + 24;
    put16(b, opt, o.pe32Plus ? 0x20B : 0x10B);
    const std::size_t dirs = opt + (o.pe32Plus ? 112 : 96);
    put32(b, opt + (o.pe32Plus ? 108 : 92), 16);
    o.resourceDirAt = dirs + 16;
    put32(b, dirs + 16, kSectionRva);
    put32(b, dirs + 20, static_cast<std::uint32_t>(rsrc.size()));
    std::size_t section = opt + optSize;
    const std::size_t rawSize = rsrc.size() + o.rawSlack;
    if (o.decoySection) {
        // Zeros in the file where a reader that ignores the virtual size would look for .rsrc.
        std::memcpy(&b[section], ".data", 5);
        put32(b, section + 8, 0x100);
        put32(b, section + 12, kSectionRva - 0x800);
        put32(b, section + 16, static_cast<std::uint32_t>(0x800 + rawSize));
        put32(b, section + 20, static_cast<std::uint32_t>(kRawAt + rawSize));
        section += 40;
    }
    if (o.adjacentSection) {
        std::memcpy(&b[section], ".text", 5);
        put32(b, section + 8, 0x200);
        put32(b, section + 12, kSectionRva - 0x200);
        put32(b, section + 16, 0x200);
        put32(b, section + 20, kRawAt - 0x200);
        section += 40;
    }
    o.sectionHeaderAt = section;
    std::memcpy(&b[section], ".rsrc", 5);
    put32(b, section + 8, static_cast<std::uint32_t>(rsrc.size()));
    put32(b, section + 12, kSectionRva);
    put32(b, section + 16, static_cast<std::uint32_t>(rawSize));
    put32(b, section + 20, static_cast<std::uint32_t>(kRawAt));
    // Report offsets in file terms.
    o.groupTypeEntryAt += kRawAt;
    for (auto* list : {&o.groupLanguageEntryAt, &o.groupBodyAt, &o.iconBodyAt, &o.groupEntryAt, &o.iconEntryAt})
        for (auto& v : *list)
            v += kRawAt;
    append(b, rsrc);
    b.resize(b.size() + o.rawSlack + (o.decoySection ? 0x800 + rawSize : 0), 0);
    return b;
}

} // namespace gg::test
