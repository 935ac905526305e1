// Builders for small icon files and PE modules in memory, written independently of the reader,
// so tests can state exactly what a file holds and damage one field at a time.
#pragma once

#include <QBuffer>
#include <QImage>

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
inline std::uint32_t get16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
inline std::uint32_t get32(const Bytes& b, std::size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

inline Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::string dataPath(const std::string& name) { return std::string(GG_TEST_DATA) + "/" + name; }

// One image of an icon: a solid colour square, as a DIB of some depth or as a PNG.
struct ImageSpec {
    int width = 32;
    int height = 32;
    int bits = 32;      // 1, 4, 8, 16, 24, 32; ignored for PNG
    QRgb colour = qRgb(255, 0, 0);
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
            QRgb c = i == 1 ? s.colour : qRgb(0, 0, 0);
            b.push_back(static_cast<std::uint8_t>(qBlue(c)));
            b.push_back(static_cast<std::uint8_t>(qGreen(c)));
            b.push_back(static_cast<std::uint8_t>(qRed(c)));
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
                std::uint32_t v = ((qRed(s.colour) >> 3) << 10) | ((qGreen(s.colour) >> 3) << 5) | (qBlue(s.colour) >> 3);
                row[x * 2] = static_cast<std::uint8_t>(v);
                row[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
                break;
            }
            case 24:
            case 32: {
                const std::size_t n = static_cast<std::size_t>(s.bits / 8);
                row[x * n] = static_cast<std::uint8_t>(qBlue(s.colour));
                row[x * n + 1] = static_cast<std::uint8_t>(qGreen(s.colour));
                row[x * n + 2] = static_cast<std::uint8_t>(qRed(s.colour));
                if (n == 4)
                    row[x * n + 3] = static_cast<std::uint8_t>(qAlpha(s.colour));
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

inline Bytes solidPng(const ImageSpec& s)
{
    QImage image(s.width, s.height, QImage::Format_ARGB32);
    image.fill(s.colour);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return Bytes(out.begin(), out.end());
}

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

// A PE32 or PE32+ module with one section holding a resource tree of icon groups.
struct PeGroup {
    std::string name;    // named entry when not empty
    std::uint32_t id = 0;
    std::vector<ImageSpec> images;
};

struct PeOptions {
    bool pe32Plus = false;
    // Offsets of interesting records in the built file, for tests that damage them.
    std::size_t groupTypeEntryAt = 0;   // the root's entry for type 14 (u32 name, u32 target)
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
    std::vector<std::size_t> nameAt;
    Bytes names;
    for (const PeGroup& g : groups) {
        nameAt.push_back(at + names.size());
        put16(names, names.size(), static_cast<std::uint32_t>(g.name.size()));
        for (char c : g.name)
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
        dir(groupLangs + 24 * i, 0, 1);
        entry(groupLangs + 24 * i + 16, 1033, static_cast<std::uint32_t>(groupEntries + 16 * i));
        o.groupLanguageEntryAt.push_back(groupLangs + 24 * i + 16);
        std::size_t data = blob(bodies[i]);
        o.groupBodyAt.push_back(data);
        put32(rsrc, groupEntries + 16 * i, static_cast<std::uint32_t>(kSectionRva + data));
        put32(rsrc, groupEntries + 16 * i + 4, static_cast<std::uint32_t>(bodies[i].size()));
    }
    std::copy(names.begin(), names.end(), rsrc.begin() + static_cast<std::ptrdiff_t>(nameAt.empty() ? 0 : nameAt[0]));

    Bytes b(kRawAt, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, 0x80);
    const std::size_t pe = 0x80;
    b[pe] = 'P';
    b[pe + 1] = 'E';
    put16(b, pe + 4, o.pe32Plus ? 0x8664 : 0x14C);
    put16(b, pe + 6, 1);
    const std::size_t optSize = o.pe32Plus ? 240 : 224;
    put16(b, pe + 20, static_cast<std::uint32_t>(optSize));
    const std::size_t opt = pe + 24;
    put16(b, opt, o.pe32Plus ? 0x20B : 0x10B);
    const std::size_t dirs = opt + (o.pe32Plus ? 112 : 96);
    put32(b, opt + (o.pe32Plus ? 108 : 92), 16);
    o.resourceDirAt = dirs + 16;
    put32(b, dirs + 16, kSectionRva);
    put32(b, dirs + 20, static_cast<std::uint32_t>(rsrc.size()));
    const std::size_t section = opt + optSize;
    o.sectionHeaderAt = section;
    std::memcpy(&b[section], ".rsrc", 5);
    put32(b, section + 8, static_cast<std::uint32_t>(rsrc.size()));
    put32(b, section + 12, kSectionRva);
    put32(b, section + 16, static_cast<std::uint32_t>(rsrc.size()));
    put32(b, section + 20, static_cast<std::uint32_t>(kRawAt));
    // Report offsets in file terms.
    o.groupTypeEntryAt += kRawAt;
    for (auto& v : o.groupLanguageEntryAt) v += kRawAt;
    for (auto& v : o.groupBodyAt) v += kRawAt;
    for (auto& v : o.iconBodyAt) v += kRawAt;
    append(b, rsrc);
    return b;
}

} // namespace gg::test
