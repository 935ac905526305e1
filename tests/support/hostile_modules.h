#pragma once
// PE modules built to make the reader work far more than their size would suggest: many icon
// groups that all come back to the same bytes. Made here byte by byte, independently of the
// reader; large, so tests and benchmarks build them rather than keep them.

#include "icons/icon_test_files.h"

#include <cstdint>
#include <random>
#include <vector>

namespace gg::test {

namespace hostile {

// A side x side RGBA PNG of noise, which deflate cannot shrink: about 4 bytes a pixel.
inline Bytes noisePng(int side)
{
    std::mt19937 random(static_cast<std::uint32_t>(side));
    PngSpec png{side, side, 6, 8, false, {}, {}, {}};
    png.samples.resize(static_cast<std::size_t>(side));
    for (auto& row : png.samples)
        for (int i = 0; i < side * 4; ++i)
            row.push_back(static_cast<std::uint16_t>(random() & 0xFF));
    return pngStream(png);
}

// A PE32 module whose one section, at RVA 0x1000, holds `rsrc` as its resource directory.
inline Bytes peWithResources(const Bytes& rsrc)
{
    constexpr std::size_t kPe = 0x40, kOptional = kPe + 24, kOptionalSize = 224, kSections = kOptional + kOptionalSize;
    constexpr std::size_t kRaw = 0x400;
    constexpr std::uint32_t kRva = 0x1000;
    Bytes file(kRaw, 0);
    file[0] = 'M';
    file[1] = 'Z';
    put32(file, 0x3C, kPe);
    file[kPe] = 'P';
    file[kPe + 1] = 'E';
    put16(file, kPe + 4, 0x14C);                  // i386
    put16(file, kPe + 6, 1);                      // one section
    put16(file, kPe + 20, kOptionalSize);
    put16(file, kOptional, 0x10B);                // PE32
    put32(file, kOptional + 92, 16);              // data directories
    put32(file, kOptional + 96 + 2 * 8, kRva);    // the resource directory
    put32(file, kOptional + 96 + 2 * 8 + 4, static_cast<std::uint32_t>(rsrc.size()));
    const char name[] = ".rsrc";
    for (std::size_t i = 0; i < 5; ++i)
        file[kSections + i] = static_cast<std::uint8_t>(name[i]);
    put32(file, kSections + 8, static_cast<std::uint32_t>(rsrc.size()));  // virtual size
    put32(file, kSections + 12, kRva);
    put32(file, kSections + 16, static_cast<std::uint32_t>(rsrc.size())); // raw size
    put32(file, kSections + 20, kRaw);
    file.insert(file.end(), rsrc.begin(), rsrc.end());
    return file;
}

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kSubdirectory = 0x80000000u;

struct GroupsAt {
    std::size_t directory; // the type 14 directory, of `groups` entries
    std::size_t name;      // the one name the named entries share; free space starts 8 bytes on
};

// The root directory (types 3 and 14), one icon, id 1, holding `image`, and the name "G".
// Returns where the type 14 directory goes; the caller writes it and what it points at.
inline GroupsAt startResources(Bytes& rsrc, const Bytes& image, std::size_t groups)
{
    const std::size_t groupDirectoryAt = 96 + ((image.size() + 3) & ~std::size_t{3});
    // Root at 0 with two id entries; icon type directory at 32; its language directory at 56;
    // the icon's data entry at 80; the image at 96.
    put16(rsrc, 14, 2);
    put32(rsrc, 16, 3);
    put32(rsrc, 20, kSubdirectory | 32);
    put32(rsrc, 24, 14);
    put32(rsrc, 28, kSubdirectory | static_cast<std::uint32_t>(groupDirectoryAt));
    put16(rsrc, 32 + 14, 1);
    put32(rsrc, 48, 1);
    put32(rsrc, 52, kSubdirectory | 56);
    put16(rsrc, 56 + 14, 1);
    put32(rsrc, 72, 1033);
    put32(rsrc, 76, 80);
    put32(rsrc, 80, kSectionRva + 96);
    put32(rsrc, 84, static_cast<std::uint32_t>(image.size()));
    rsrc.resize(96);
    rsrc.insert(rsrc.end(), image.begin(), image.end());
    rsrc.resize(groupDirectoryAt);
    const GroupsAt at{groupDirectoryAt, groupDirectoryAt + 16 + 8 * groups};
    put16(rsrc, at.name, 1);
    put16(rsrc, at.name + 2, 'G');
    return at;
}

// A group directory (GRPICONDIR) of `count` entries that all name icon 1 of `imageBytes` bytes.
inline Bytes groupNamingIconOne(std::size_t count, std::size_t imageBytes)
{
    Bytes body;
    put16(body, 2, 1);
    put16(body, 4, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t e = 6 + 14 * i;
        put16(body, e + 4, 1);                                        // planes
        put16(body, e + 6, 32);                                       // bit count
        put32(body, e + 8, static_cast<std::uint32_t>(imageBytes));
        put16(body, e + 12, 1);                                       // icon id 1
    }
    return body;
}

// Writes a directory of `groups` entries at `at`, named ones first (all sharing one name), then
// ids 1, 2, ...; entry k points at target(k).
template <typename Target>
void groupDirectory(Bytes& rsrc, std::size_t at, std::size_t groups, std::uint32_t nameAt, Target target)
{
    const std::size_t ids = groups < 0xFFFF ? groups : 0xFFFF;
    const std::size_t named = groups - ids;
    put16(rsrc, at + 12, static_cast<std::uint32_t>(named));
    put16(rsrc, at + 14, static_cast<std::uint32_t>(ids));
    for (std::size_t k = 0; k < groups; ++k) {
        const std::size_t e = at + 16 + 8 * k;
        put32(rsrc, e, k < named ? kSubdirectory | nameAt : static_cast<std::uint32_t>(k - named + 1));
        put32(rsrc, e + 4, target(k));
    }
}

} // namespace hostile

// `groups` icon groups, each a group resource of its own (they differ in their stated length)
// listing one PNG `namings` times: the reader looks at hundreds of images for every group.
inline std::vector<std::uint8_t> moduleOfGroupsNamingOnePng(std::size_t groups = 100000, std::size_t namings = 65535,
                                                            int side = 256)
{
    using namespace hostile;
    const Bytes png = noisePng(side);
    Bytes rsrc;
    const auto [directoryAt, nameAt] = startResources(rsrc, png, groups);
    const std::size_t entriesAt = nameAt + 8;
    const std::size_t bodyAt = entriesAt + 16 * groups;
    // Each group entry points straight at a data entry (no language level), all at one body.
    groupDirectory(rsrc, directoryAt, groups, static_cast<std::uint32_t>(nameAt),
                   [&](std::size_t k) { return static_cast<std::uint32_t>(entriesAt + 16 * k); });
    const Bytes body = groupNamingIconOne(namings, png.size());
    for (std::size_t k = 0; k < groups; ++k) {
        put32(rsrc, entriesAt + 16 * k, static_cast<std::uint32_t>(kSectionRva + bodyAt));
        put32(rsrc, entriesAt + 16 * k + 4, static_cast<std::uint32_t>(body.size() + k));
    }
    rsrc.resize(bodyAt);
    rsrc.insert(rsrc.end(), body.begin(), body.end());
    rsrc.resize(rsrc.size() + groups); // room for the longest stated length
    return peWithResources(rsrc);
}

// `groups` icon groups that all reach one language directory, so one group resource of
// `namings` entries naming one PNG: each group rebuilt is that whole group again.
inline std::vector<std::uint8_t> moduleOfGroupsSharingOneLanguage(std::size_t groups = 100000, std::size_t namings = 1,
                                                                  int side = 256)
{
    using namespace hostile;
    const Bytes png = noisePng(side);
    Bytes rsrc;
    const auto [directoryAt, nameAt] = startResources(rsrc, png, groups);
    const std::size_t languageAt = nameAt + 8;
    const std::size_t entryAt = languageAt + 24;
    const std::size_t bodyAt = entryAt + 16;
    groupDirectory(rsrc, directoryAt, groups, static_cast<std::uint32_t>(nameAt),
                   [&](std::size_t) { return kSubdirectory | static_cast<std::uint32_t>(languageAt); });
    put16(rsrc, languageAt + 14, 1);
    put32(rsrc, languageAt + 16, 1033);
    put32(rsrc, languageAt + 20, static_cast<std::uint32_t>(entryAt));
    const Bytes body = groupNamingIconOne(namings, png.size());
    put32(rsrc, entryAt, static_cast<std::uint32_t>(kSectionRva + bodyAt));
    put32(rsrc, entryAt + 4, static_cast<std::uint32_t>(body.size()));
    rsrc.resize(bodyAt);
    rsrc.insert(rsrc.end(), body.begin(), body.end());
    return peWithResources(rsrc);
}

} // namespace gg::test
