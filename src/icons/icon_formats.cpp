#include "icons/icon_formats.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_set>

namespace gg {
namespace {

// ICONDIR and ICONDIRENTRY of .ico and .cur files.
namespace icondir {
constexpr std::uint64_t kReserved = 0; // u16, 0
constexpr std::uint64_t kType = 2;     // u16, 1 icon, 2 cursor
constexpr std::uint64_t kCount = 4;    // u16
constexpr std::uint64_t kSize = 6;
constexpr std::uint64_t kEntrySize = 16;
constexpr std::uint64_t kEntryHotX = 4;   // u16, planes in an icon
constexpr std::uint64_t kEntryHotY = 6;   // u16, bit count in an icon
constexpr std::uint64_t kEntryBytes = 8;  // u32 image length
constexpr std::uint64_t kEntryOffset = 12; // u32 image offset from the file start
} // namespace icondir

// GRPICONDIR and GRPICONDIRENTRY, the body of a group icon resource.
namespace grpdir {
constexpr std::uint64_t kType = 2;  // u16, 1
constexpr std::uint64_t kCount = 4; // u16
constexpr std::uint64_t kSize = 6;
constexpr std::uint64_t kEntrySize = 14;
constexpr std::uint64_t kEntryBytes = 8; // u32 image length
constexpr std::uint64_t kEntryId = 12;   // u16 id of the icon resource
} // namespace grpdir

// DOS header: "MZ", and at 0x3C the offset of the new header ("PE\0\0" or "NE").
constexpr std::uint64_t kNewHeaderOffset = 0x3C;

// PE: signature and COFF file header, then the optional header.
namespace pe {
constexpr std::uint64_t kNumberOfSections = 6;     // u16, from the signature
constexpr std::uint64_t kSizeOfOptionalHeader = 20; // u16
constexpr std::uint64_t kOptionalHeader = 24;
constexpr std::uint16_t kMagic32 = 0x10B;
constexpr std::uint16_t kMagic64 = 0x20B;
constexpr std::uint64_t kDirCount32 = 92; // u32 NumberOfRvaAndSizes
constexpr std::uint64_t kDirs32 = 96;
constexpr std::uint64_t kDirCount64 = 108;
constexpr std::uint64_t kDirs64 = 112;
constexpr std::uint32_t kResourceDir = 2; // index in the data directories
constexpr std::uint64_t kSectionSize = 40;
constexpr std::uint64_t kSectionVirtualSize = 8;   // u32
constexpr std::uint64_t kSectionVirtualAddress = 12; // u32
constexpr std::uint64_t kSectionRawSize = 16;      // u32
constexpr std::uint64_t kSectionRawPointer = 20;   // u32
// IMAGE_RESOURCE_DIRECTORY, its entries, and IMAGE_RESOURCE_DATA_ENTRY.
constexpr std::uint64_t kDirNamedCount = 12; // u16
constexpr std::uint64_t kDirIdCount = 14;    // u16
constexpr std::uint64_t kDirSize = 16;
constexpr std::uint64_t kEntrySize = 8;      // u32 name or id, u32 data or subdirectory offset
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint64_t kDataEntrySize = 16; // u32 rva, u32 size, u32 code page, u32 reserved
constexpr int kTreeDepth = 3;                // type, name, language
constexpr std::uint32_t kTypeIcon = 3;
constexpr std::uint32_t kTypeGroupIcon = 14;
} // namespace pe

// NE: header fields from the "NE" signature, then the resource table.
namespace ne {
constexpr std::uint64_t kHeaderSize = 64;
constexpr std::uint64_t kResourceTable = 0x24; // u16 offset from the NE header
constexpr std::uint64_t kResidentNames = 0x26; // u16 offset, where the resource table ends
constexpr std::uint64_t kTypeInfoSize = 8;     // u16 type, u16 count, u32 reserved
constexpr std::uint64_t kNameInfoSize = 12;    // u16 offset, u16 length, u16 flags, u16 id, u32 reserved
constexpr std::uint16_t kTypeIcon = 0x8003;
constexpr std::uint16_t kTypeGroupIcon = 0x800E;
constexpr std::uint16_t kIntegerId = 0x8000;
constexpr std::uint16_t kMaxShift = 20; // larger shifts put every resource far beyond any file
} // namespace ne

// RIFF chunks of an animated cursor.
namespace riff {
constexpr std::uint64_t kHeaderSize = 12; // "RIFF", u32 size, form type
constexpr std::uint64_t kChunkHeader = 8; // id, u32 size
} // namespace riff

// --- The icon library's group details (icon_groups.h): entries as stored, resource names ---

std::array<std::uint8_t, 16> rawEntry(const ByteReader& entries, std::uint64_t at, std::uint64_t length)
{
    std::array<std::uint8_t, 16> raw{};
    for (std::uint64_t i = 0; i < length && i < raw.size(); ++i)
        raw[i] = entries.u8(at + i);
    return raw;
}

// A named PE entry points at a u16 count of UTF-16 units followed by the units. A name that
// points nowhere leaves the group without one.
GroupIdentity peGroupIdentity(const ByteReader& rsrc, bool named, std::uint32_t idOrNameOffset)
{
    GroupIdentity identity;
    if (!named) {
        identity.kind = GroupIdentity::Kind::Number;
        identity.number = idOrNameOffset;
        return identity;
    }
    Result<ByteReader> length = rsrc.slice(idOrNameOffset, 2);
    Result<ByteReader> units = length ? rsrc.slice(std::uint64_t{idOrNameOffset} + 2, std::uint64_t{length->u16(0)} * 2)
                                      : length;
    if (!units)
        return identity;
    identity.kind = GroupIdentity::Kind::Name;
    for (std::uint64_t i = 0; i + 1 < units->size(); i += 2)
        identity.name.push_back(static_cast<char16_t>(units->u16(i)));
    return identity;
}

// An NE resource id with its top bit set is a number; otherwise it is where a name (a length
// byte and the characters) lies from the start of the resource table.
GroupIdentity neGroupIdentity(const ByteReader& file, std::uint64_t tableAt, std::uint16_t id)
{
    GroupIdentity identity;
    if ((id & 0x8000) != 0) {
        identity.kind = GroupIdentity::Kind::Number;
        identity.number = id & 0x7FFFu;
        return identity;
    }
    Result<ByteReader> length = file.slice(tableAt + id, 1);
    Result<ByteReader> chars = length ? file.slice(tableAt + id + 1, length->u8(0)) : length;
    if (!chars)
        return identity;
    identity.kind = GroupIdentity::Kind::Name;
    for (std::uint64_t i = 0; i < chars->size(); ++i)
        identity.name.push_back(static_cast<char16_t>(chars->u8(i)));
    return identity;
}

// ---

Result<IconGroup> readDirectoryOf(const ByteReader& file, FileKind& kind)
{
    Result<ByteReader> head = file.slice(0, icondir::kSize);
    if (!head)
        return head.failure();
    std::uint16_t type = head->u16(icondir::kType);
    if (head->u16(icondir::kReserved) != 0 || (type != 1 && type != 2))
        return fail(ReadError::UnknownFormat, file.base());
    kind = type == 1 ? FileKind::Icon : FileKind::Cursor;
    std::uint16_t count = head->u16(icondir::kCount);
    if (count == 0)
        return fail(ReadError::NoIcons, file.base() + icondir::kCount);
    Result<ByteReader> entries = file.slice(icondir::kSize, count * icondir::kEntrySize);
    if (!entries)
        return fail(ReadError::BadIconDirectory, file.base() + icondir::kCount);
    IconGroup group;
    group.directoryType = type;
    group.images.reserve(std::min<std::size_t>(count, kMaxImagesPerGroup));
    for (std::uint64_t i = 0; i < count && i < kMaxImagesPerGroup; ++i) {
        const std::uint64_t at = i * icondir::kEntrySize;
        ImageCandidate candidate;
        candidate.data = file.clipped(entries->u32(at + icondir::kEntryOffset), entries->u32(at + icondir::kEntryBytes));
        if (type == 2) {
            candidate.hotX = entries->u16(at + icondir::kEntryHotX);
            candidate.hotY = entries->u16(at + icondir::kEntryHotY);
        }
        group.images.push_back(candidate);
        group.entries.push_back(rawEntry(*entries, at, icondir::kEntrySize));
    }
    return group;
}

// The file offset of an RVA and how many bytes of its section follow it in the file.
struct Mapped {
    std::uint64_t offset;
    std::uint64_t available;
};

class PeModule {
public:
    PeModule(const ByteReader& file, const ByteReader& sections) : file_(file), sections_(sections) {}

    std::optional<Mapped> map(std::uint32_t rva) const
    {
        for (std::uint64_t at = 0; sections_.has(at, pe::kSectionSize); at += pe::kSectionSize) {
            std::uint32_t va = sections_.u32(at + pe::kSectionVirtualAddress);
            std::uint32_t raw = sections_.u32(at + pe::kSectionRawSize);
            std::uint32_t virtualSize = sections_.u32(at + pe::kSectionVirtualSize);
            // Bytes past the raw size are zero-filled in memory and absent from the file.
            std::uint32_t inFile = virtualSize != 0 && virtualSize < raw ? virtualSize : raw;
            if (rva >= va && rva - va < inFile) {
                std::uint64_t offset = std::uint64_t{sections_.u32(at + pe::kSectionRawPointer)} + (rva - va);
                return Mapped{offset, inFile - (rva - va)};
            }
        }
        return std::nullopt;
    }

    // The bytes of a resource data entry, clipped to its section and the file.
    Result<ByteReader> dataOf(const ByteReader& rsrc, std::uint32_t entryOffset) const
    {
        Result<ByteReader> entry = rsrc.slice(entryOffset, pe::kDataEntrySize);
        if (!entry)
            return fail(ReadError::BadResourceTree, rsrc.base() + entryOffset);
        std::optional<Mapped> where = map(entry->u32(0));
        if (!where)
            return fail(ReadError::BadResourceTree, entry->base());
        std::uint64_t size = entry->u32(4);
        return file_.clipped(where->offset, std::min(size, where->available));
    }

private:
    ByteReader file_;
    ByteReader sections_;
};

struct DirEntry {
    bool named;
    std::uint32_t id; // or the name's offset when named
    bool subdirectory;
    std::uint32_t target;
};

// Walks the resource directory with a depth limit and a record of the directories seen, so
// that a directory pointing back into the tree is read once.
class ResourceTree {
public:
    explicit ResourceTree(const ByteReader& rsrc) : rsrc_(rsrc) {}

    Result<std::vector<DirEntry>> enter(std::uint32_t offset, int depth)
    {
        if (depth >= pe::kTreeDepth)
            return fail(ReadError::ResourceTooDeep, rsrc_.base() + offset);
        if (!visited_.insert(offset).second)
            return fail(ReadError::ResourceLoop, rsrc_.base() + offset);
        Result<ByteReader> head = rsrc_.slice(offset, pe::kDirSize);
        if (!head)
            return fail(ReadError::BadResourceTree, rsrc_.base() + offset);
        std::uint64_t count = std::uint64_t{head->u16(pe::kDirNamedCount)} + head->u16(pe::kDirIdCount);
        Result<ByteReader> table = rsrc_.slice(std::uint64_t{offset} + pe::kDirSize, count * pe::kEntrySize);
        if (!table)
            return fail(ReadError::BadResourceTree, rsrc_.base() + offset);
        std::vector<DirEntry> entries;
        entries.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint32_t name = table->u32(i * pe::kEntrySize);
            std::uint32_t target = table->u32(i * pe::kEntrySize + 4);
            entries.push_back(DirEntry{(name & pe::kHighBit) != 0, name & ~pe::kHighBit,
                                       (target & pe::kHighBit) != 0, target & ~pe::kHighBit});
        }
        return entries;
    }

    // The data entry of the first language under a name entry.
    Result<std::uint32_t> firstLanguage(const DirEntry& named, int depth)
    {
        if (!named.subdirectory)
            return named.target; // a data entry straight under the name: accept it
        Result<std::vector<DirEntry>> languages = enter(named.target, depth);
        if (!languages)
            return languages.failure();
        if (languages->empty())
            return fail(ReadError::MissingImage, rsrc_.base() + named.target);
        const DirEntry& first = languages->front();
        if (first.subdirectory)
            return fail(ReadError::ResourceTooDeep, rsrc_.base() + first.target);
        return first.target;
    }

private:
    ByteReader rsrc_;
    std::unordered_set<std::uint32_t> visited_;
};

std::vector<DirEntry> inIconOrder(std::vector<DirEntry> entries)
{
    // Named entries first as stored, then numeric ids ascending.
    std::stable_sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        if (a.named != b.named)
            return a.named;
        if (a.named)
            return false;
        return a.id < b.id;
    });
    return entries;
}

void readPe(const ByteReader& file, std::uint64_t peOffset, ParsedFile& parsed)
{
    Result<ByteReader> coff = file.slice(peOffset, pe::kOptionalHeader);
    if (!coff) {
        parsed.problems.push_back(fail(ReadError::BadPeHeader, peOffset));
        return;
    }
    std::uint16_t optionalSize = coff->u16(pe::kSizeOfOptionalHeader);
    Result<ByteReader> optional = file.slice(peOffset + pe::kOptionalHeader, optionalSize);
    if (!optional || !optional->has(0, 2)) {
        parsed.problems.push_back(fail(ReadError::BadPeHeader, peOffset + pe::kSizeOfOptionalHeader));
        return;
    }
    std::uint16_t magic = optional->u16(0);
    std::uint64_t dirCountAt = 0, dirsAt = 0;
    if (magic == pe::kMagic32) {
        parsed.kind = FileKind::Pe32;
        dirCountAt = pe::kDirCount32;
        dirsAt = pe::kDirs32;
    } else if (magic == pe::kMagic64) {
        parsed.kind = FileKind::Pe32Plus;
        dirCountAt = pe::kDirCount64;
        dirsAt = pe::kDirs64;
    } else {
        parsed.problems.push_back(fail(ReadError::BadPeHeader, optional->base()));
        return;
    }
    const std::uint64_t resourceDirAt = dirsAt + pe::kResourceDir * 8;
    if (!optional->has(dirCountAt, 4) || optional->u32(dirCountAt) <= pe::kResourceDir ||
        !optional->has(resourceDirAt, 8)) {
        parsed.problems.push_back(fail(ReadError::NoIcons, optional->base()));
        return;
    }
    std::uint32_t rsrcRva = optional->u32(resourceDirAt);
    if (rsrcRva == 0) {
        parsed.problems.push_back(fail(ReadError::NoIcons, optional->base() + resourceDirAt));
        return;
    }
    std::uint64_t sectionsAt = peOffset + pe::kOptionalHeader + optionalSize;
    Result<ByteReader> sections = file.slice(sectionsAt, coff->u16(pe::kNumberOfSections) * pe::kSectionSize);
    if (!sections) {
        parsed.problems.push_back(fail(ReadError::BadPeHeader, sectionsAt));
        return;
    }
    PeModule module(file, *sections);
    std::optional<Mapped> rsrcAt = module.map(rsrcRva);
    if (!rsrcAt) {
        parsed.problems.push_back(fail(ReadError::BadPeHeader, optional->base() + resourceDirAt));
        return;
    }
    const ByteReader rsrc = file.clipped(rsrcAt->offset, rsrcAt->available);
    ResourceTree tree(rsrc);

    Result<std::vector<DirEntry>> types = tree.enter(0, 0);
    if (!types) {
        parsed.problems.push_back(types.failure());
        return;
    }
    std::optional<DirEntry> iconType, groupType;
    for (const DirEntry& e : *types) {
        if (e.named || !e.subdirectory)
            continue;
        if (e.id == pe::kTypeIcon && !iconType)
            iconType = e;
        if (e.id == pe::kTypeGroupIcon && !groupType)
            groupType = e;
    }
    if (!groupType) {
        parsed.problems.push_back(fail(ReadError::NoIcons, rsrc.base()));
        return;
    }

    // Icon id -> data entry, first language; sorted for lookup.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> icons;
    if (iconType) {
        Result<std::vector<DirEntry>> names = tree.enter(iconType->target, 1);
        if (!names) {
            parsed.problems.push_back(names.failure());
        } else {
            for (const DirEntry& e : *names) {
                if (e.named)
                    continue;
                Result<std::uint32_t> data = tree.firstLanguage(e, 2);
                if (data)
                    icons.emplace_back(e.id, *data);
                else
                    parsed.problems.push_back(data.failure());
            }
            std::stable_sort(icons.begin(), icons.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        }
    }

    Result<std::vector<DirEntry>> groups = tree.enter(groupType->target, 1);
    if (!groups) {
        parsed.problems.push_back(groups.failure());
        return;
    }
    for (const DirEntry& e : inIconOrder(*groups)) {
        Result<std::uint32_t> dataEntry = tree.firstLanguage(e, 2);
        if (!dataEntry) {
            parsed.problems.push_back(dataEntry.failure());
            continue;
        }
        Result<ByteReader> body = module.dataOf(rsrc, *dataEntry);
        if (!body) {
            parsed.problems.push_back(body.failure());
            continue;
        }
        Result<ByteReader> head = body->slice(0, grpdir::kSize);
        std::uint16_t count = head ? head->u16(grpdir::kCount) : 0;
        Result<ByteReader> entries = body->slice(grpdir::kSize, count * grpdir::kEntrySize);
        if (!head || !entries || count == 0) {
            parsed.problems.push_back(fail(ReadError::BadIconDirectory, body->base()));
            continue;
        }
        IconGroup group;
        group.identity = peGroupIdentity(rsrc, e.named, e.id);
        for (std::uint64_t i = 0; i < count && i < kMaxImagesPerGroup; ++i) {
            std::uint32_t id = entries->u16(i * grpdir::kEntrySize + grpdir::kEntryId);
            auto found = std::lower_bound(icons.begin(), icons.end(), id,
                                          [](const auto& p, std::uint32_t key) { return p.first < key; });
            if (found == icons.end() || found->first != id) {
                parsed.problems.push_back(fail(ReadError::MissingImage, entries->base() + i * grpdir::kEntrySize));
                continue;
            }
            Result<ByteReader> image = module.dataOf(rsrc, found->second);
            if (!image) {
                parsed.problems.push_back(image.failure());
                continue;
            }
            group.images.push_back(ImageCandidate{*image, 0, 0});
            group.entries.push_back(rawEntry(*entries, i * grpdir::kEntrySize, grpdir::kEntrySize));
        }
        // A group without images still takes its place; decoding passes it over.
        parsed.groups.push_back(std::move(group));
    }
}

void readNe(const ByteReader& file, std::uint64_t neOffset, ParsedFile& parsed)
{
    parsed.kind = FileKind::Ne;
    Result<ByteReader> header = file.slice(neOffset, ne::kHeaderSize);
    if (!header) {
        parsed.problems.push_back(fail(ReadError::BadNeHeader, neOffset));
        return;
    }
    std::uint16_t tableOffset = header->u16(ne::kResourceTable);
    if (tableOffset == header->u16(ne::kResidentNames)) {
        parsed.problems.push_back(fail(ReadError::NoIcons, neOffset + ne::kResourceTable));
        return;
    }
    const std::uint64_t tableAt = neOffset + tableOffset;
    Result<ByteReader> shiftField = file.slice(tableAt, 2);
    if (!shiftField || shiftField->u16(0) > ne::kMaxShift) {
        parsed.problems.push_back(fail(ReadError::BadNeHeader, tableAt));
        return;
    }
    const unsigned shift = shiftField->u16(0);

    struct NeResource {
        std::uint64_t offset;
        std::uint64_t length;
        std::uint16_t id;
    };
    std::vector<NeResource> groupResources, iconResources;
    std::uint64_t at = tableAt + 2;
    for (;;) {
        Result<ByteReader> typeInfo = file.slice(at, ne::kTypeInfoSize);
        if (!typeInfo || typeInfo->u16(0) == 0) {
            if (!typeInfo)
                parsed.problems.push_back(fail(ReadError::BadNeHeader, at));
            break;
        }
        std::uint16_t type = typeInfo->u16(0);
        std::uint64_t count = typeInfo->u16(2);
        Result<ByteReader> names = file.slice(at + ne::kTypeInfoSize, count * ne::kNameInfoSize);
        if (!names) {
            parsed.problems.push_back(fail(ReadError::BadNeHeader, at));
            break;
        }
        if (type == ne::kTypeGroupIcon || type == ne::kTypeIcon) {
            auto& list = type == ne::kTypeGroupIcon ? groupResources : iconResources;
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint64_t n = i * ne::kNameInfoSize;
                list.push_back(NeResource{std::uint64_t{names->u16(n)} << shift,
                                          std::uint64_t{names->u16(n + 2)} << shift, names->u16(n + 6)});
            }
        }
        at += ne::kTypeInfoSize + count * ne::kNameInfoSize;
    }

    // Icons are found by integer id; the first of equal ids in table order wins.
    std::stable_sort(iconResources.begin(), iconResources.end(),
                     [](const NeResource& a, const NeResource& b) { return a.id < b.id; });
    for (const NeResource& g : groupResources) {
        ByteReader body = file.clipped(g.offset, g.length);
        Result<ByteReader> head = body.slice(0, grpdir::kSize);
        std::uint16_t count = head ? head->u16(grpdir::kCount) : 0;
        Result<ByteReader> entries = body.slice(grpdir::kSize, count * grpdir::kEntrySize);
        if (!head || !entries || count == 0) {
            parsed.problems.push_back(fail(ReadError::BadIconDirectory, body.base()));
            parsed.groups.emplace_back();
            continue;
        }
        IconGroup group;
        group.identity = neGroupIdentity(file, tableAt, g.id);
        for (std::uint64_t i = 0; i < count && i < kMaxImagesPerGroup; ++i) {
            const std::uint64_t e = i * grpdir::kEntrySize;
            std::uint16_t id = entries->u16(e + grpdir::kEntryId);
            const std::uint16_t key = id | ne::kIntegerId;
            auto found = std::lower_bound(iconResources.begin(), iconResources.end(), key,
                                          [](const NeResource& r, std::uint16_t k) { return r.id < k; });
            if (found == iconResources.end() || found->id != key) {
                parsed.problems.push_back(fail(ReadError::MissingImage, entries->base() + e));
                continue;
            }
            // The group's byte count and the table's length may disagree; trust the smaller.
            std::uint64_t length = std::min<std::uint64_t>(entries->u32(e + grpdir::kEntryBytes), found->length);
            group.images.push_back(ImageCandidate{file.clipped(found->offset, length), 0, 0});
            group.entries.push_back(rawEntry(*entries, e, grpdir::kEntrySize));
        }
        parsed.groups.push_back(std::move(group));
    }
}

void readAni(const ByteReader& file, ParsedFile& parsed)
{
    parsed.kind = FileKind::AnimatedCursor;
    // The RIFF size may overstate the file; the bytes present are what count.
    const ByteReader riffBody = file.clipped(riff::kHeaderSize, std::uint64_t{file.u32(4)} - 4);
    auto findChunk = [](const ByteReader& within, const char* id, const char* listType) -> std::optional<ByteReader> {
        for (std::uint64_t at = 0; within.has(at, riff::kChunkHeader);) {
            std::uint64_t size = within.u32(at + 4);
            ByteReader body = within.clipped(at + riff::kChunkHeader, size);
            if (within.startsWith(at, id, 4) && (!listType || body.startsWith(0, listType, 4)))
                return body;
            at += riff::kChunkHeader + size + (size & 1);
        }
        return std::nullopt;
    };
    std::optional<ByteReader> frames = findChunk(riffBody, "LIST", "fram");
    std::optional<ByteReader> first = frames ? findChunk(frames->clipped(4, frames->size()), "icon", nullptr)
                                             : std::nullopt;
    if (!first) {
        parsed.problems.push_back(fail(ReadError::BadAniFile, file.base()));
        return;
    }
    FileKind frameKind = FileKind::Unknown;
    Result<IconGroup> group = readDirectoryOf(*first, frameKind);
    if (!group) {
        parsed.problems.push_back(group.failure());
        parsed.groups.emplace_back();
        return;
    }
    parsed.groups.push_back(std::move(*group));
}

} // namespace

Result<IconGroup> readIconDirectory(const ByteReader& file, FileKind& kind) { return readDirectoryOf(file, kind); }

ParsedFile parseIconContainer(const ByteReader& file)
{
    ParsedFile parsed;
    if (file.startsWith(0, "MZ", 2)) {
        if (!file.has(kNewHeaderOffset, 4)) {
            parsed.problems.push_back(fail(ReadError::UnknownFormat, 0));
            return parsed;
        }
        std::uint64_t newHeader = file.u32(kNewHeaderOffset);
        if (file.startsWith(newHeader, "PE\0\0", 4))
            readPe(file, newHeader, parsed);
        else if (file.startsWith(newHeader, "NE", 2))
            readNe(file, newHeader, parsed);
        else
            parsed.problems.push_back(fail(ReadError::UnknownFormat, newHeader));
        return parsed;
    }
    if (file.startsWith(0, "RIFF", 4) && file.startsWith(8, "ACON", 4)) {
        readAni(file, parsed);
        return parsed;
    }
    FileKind kind = FileKind::Unknown;
    Result<IconGroup> group = readDirectoryOf(file, kind);
    parsed.kind = kind;
    if (group)
        parsed.groups.push_back(std::move(*group));
    else
        parsed.problems.push_back(group.failure());
    return parsed;
}

} // namespace gg
