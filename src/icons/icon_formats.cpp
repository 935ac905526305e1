#include "icons/icon_formats.h"

#include <algorithm>
#include <array>
#include <optional>
#include <initializer_list>

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
// A cursor group's entry: u16 width, u16 height (of the DIB, twice the cursor's), u16 planes,
// u16 bit count, then the same byte count and id; the cursor resource starts with the hot spot.
constexpr std::uint64_t kCursorWidth = 0;
constexpr std::uint64_t kCursorHeight = 2;
constexpr std::uint64_t kCursorHotSpot = 4; // u16 x, u16 y
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
constexpr std::uint32_t kTypeCursor = 1;
constexpr std::uint32_t kTypeIcon = 3;
constexpr std::uint32_t kTypeGroupCursor = 12;
constexpr std::uint32_t kTypeGroupIcon = 14;
} // namespace pe

// NE: header fields from the "NE" signature, then the resource table.
namespace ne {
constexpr std::uint64_t kHeaderSize = 64;
constexpr std::uint64_t kResourceTable = 0x24; // u16 offset from the NE header
constexpr std::uint64_t kResidentNames = 0x26; // u16 offset, where the resource table ends
constexpr std::uint64_t kTypeInfoSize = 8;     // u16 type, u16 count, u32 reserved
constexpr std::uint64_t kNameInfoSize = 12;    // u16 offset, u16 length, u16 flags, u16 id, u32 reserved
constexpr std::uint16_t kTypeCursor = 0x8001;
constexpr std::uint16_t kTypeIcon = 0x8003;
constexpr std::uint16_t kTypeGroupCursor = 0x800C;
constexpr std::uint16_t kTypeGroupIcon = 0x800E;
constexpr std::uint16_t kIntegerId = 0x8000;
constexpr std::uint16_t kMaxShift = 20; // larger shifts put every resource far beyond any file
} // namespace ne

// RIFF chunks of an animated cursor.
namespace riff {
constexpr std::uint64_t kHeaderSize = 12; // "RIFF", u32 size, form type
constexpr std::uint64_t kChunkHeader = 8; // id, u32 size
} // namespace riff

// Each image's directory entry as stored, for rebuilding the group as a file.
std::array<std::uint8_t, 16> rawEntry(const ByteReader& entries, std::uint64_t at, std::uint64_t length)
{
    std::array<std::uint8_t, 16> raw{};
    for (std::uint64_t i = 0; i < length && i < raw.size(); ++i)
        raw[i] = entries.u8(at + i);
    return raw;
}

// A named PE entry points at a u16 count of UTF-16 units followed by the units. A name that
// points nowhere leaves the group without one.
GroupIdentity peGroupIdentity(const ByteRange& rsrc, bool named, std::uint32_t idOrNameOffset)
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
GroupIdentity neGroupIdentity(const ByteRange& file, std::uint64_t tableAt, std::uint16_t id)
{
    GroupIdentity identity;
    if ((id & ne::kIntegerId) != 0) {
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

// An icon (type 1) or cursor (type 2) directory with its images, offsets relative to `file`.
Result<IconGroup> readIconDirectory(const ByteRange& file, FileKind& kind)
{
    Result<ByteReader> head = file.slice(0, icondir::kSize);
    if (!head) {
        // Too short for the header: only bytes that begin one make it a damaged icon file, so a
        // short text file is told apart from a longer one no more than any other stranger.
        static constexpr std::uint8_t kIconStart[] = {0, 0, 1, 0};
        static constexpr std::uint8_t kCursorStart[] = {0, 0, 2, 0};
        Result<ByteReader> present = file.slice(0, std::min<std::uint64_t>(file.size(), sizeof kIconStart));
        bool begins = present.ok();
        for (std::uint64_t i = 0; begins && i < present->size(); ++i)
            begins = present->u8(i) == kIconStart[i] || present->u8(i) == kCursorStart[i];
        return fail(begins ? ReadError::Truncated : ReadError::UnknownFormat, file.base());
    }
    std::uint16_t type = head->u16(icondir::kType);
    if (head->u16(icondir::kReserved) != 0 || (type != 1 && type != 2))
        return fail(ReadError::UnknownFormat, file.base());
    kind = type == 1 ? FileKind::Icon : FileKind::Cursor;
    std::uint16_t count = head->u16(icondir::kCount);
    if (count == 0)
        return fail(ReadError::NoIcons, file.base() + icondir::kCount);
    if (!file.has(icondir::kSize, count * icondir::kEntrySize))
        return fail(ReadError::BadIconDirectory, file.base() + icondir::kCount);
    const std::uint64_t looked = std::min<std::uint64_t>(count, kMaxImagesPerGroup);
    Result<ByteReader> entries = file.slice(icondir::kSize, looked * icondir::kEntrySize);
    if (!entries)
        return entries.failure();
    IconGroup group;
    group.directoryType = type;
    group.images.reserve(looked);
    for (std::uint64_t i = 0; i < looked; ++i) {
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
    PeModule(const ByteRange& file, const ByteReader& sections) : file_(file), sections_(sections) {}

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
    Result<ByteRange> dataOf(const ByteRange& rsrc, std::uint32_t entryOffset) const
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
    ByteRange file_;
    ByteReader sections_;
};

struct DirEntry {
    bool named;
    std::uint32_t id; // or the name's offset when named
    bool subdirectory;
    std::uint32_t target;
};

// Reads the resource directory: types, then names, then languages. It is a graph, not a tree:
// entries may share a directory (some resource editors and packers write that, and the
// platform reads it), so a directory is read each time it is reached; only one that comes back
// on its own path is a loop. The three fixed levels bound the walk.
class ResourceTree {
public:
    explicit ResourceTree(const ByteRange& rsrc) : rsrc_(rsrc) {}

    // The entries of the directory at `offset`, reached through the directories on `path`.
    Result<std::vector<DirEntry>> enter(std::uint32_t offset, std::initializer_list<std::uint32_t> path)
    {
        if (std::find(path.begin(), path.end(), offset) != path.end())
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
        for (std::uint64_t i = 0; i < count; ++i)
            entries.push_back(entryAt(*table, i * pe::kEntrySize));
        return entries;
    }

    // The data entry of the first language under a name entry of the type directory `type`.
    Result<std::uint32_t> firstLanguage(const DirEntry& named, std::uint32_t type)
    {
        if (!named.subdirectory)
            return named.target; // a data entry straight under the name: accept it
        if (named.target == 0 || named.target == type)
            return fail(ReadError::ResourceLoop, rsrc_.base() + named.target);
        Result<ByteReader> head = rsrc_.slice(named.target, pe::kDirSize);
        if (!head)
            return fail(ReadError::BadResourceTree, rsrc_.base() + named.target);
        if (head->u16(pe::kDirNamedCount) == 0 && head->u16(pe::kDirIdCount) == 0)
            return fail(ReadError::MissingImage, rsrc_.base() + named.target);
        Result<ByteReader> first = rsrc_.slice(std::uint64_t{named.target} + pe::kDirSize, pe::kEntrySize);
        if (!first)
            return fail(ReadError::BadResourceTree, rsrc_.base() + named.target);
        const DirEntry language = entryAt(*first, 0);
        // Languages are the last level: what they point at must be data.
        if (language.subdirectory)
            return fail(ReadError::ResourceTooDeep, rsrc_.base() + language.target);
        return language.target;
    }

private:
    static DirEntry entryAt(const ByteReader& table, std::uint64_t at)
    {
        const std::uint32_t name = table.u32(at), target = table.u32(at + 4);
        return DirEntry{(name & pe::kHighBit) != 0, name & ~pe::kHighBit, (target & pe::kHighBit) != 0,
                        target & ~pe::kHighBit};
    }

    ByteRange rsrc_;
};

std::vector<DirEntry> inIconOrder(const std::vector<DirEntry>& entries)
{
    // Named entries first as stored, then numeric ids ascending (equal ids as stored).
    std::vector<DirEntry> ordered;
    ordered.reserve(entries.size());
    std::vector<std::pair<std::uint32_t, std::size_t>> numbered;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].named)
            ordered.push_back(entries[i]);
        else
            numbered.emplace_back(entries[i].id, i);
    }
    std::sort(numbered.begin(), numbered.end());
    for (const auto& [id, i] : numbered)
        ordered.push_back(entries[i]);
    return ordered;
}

// The images (icons or cursors) under a type directory: id -> bytes of the first language, sorted
// by id for lookup.
void readImagesOfType(ResourceTree& tree, const PeModule& module, const ByteRange& rsrc, const std::optional<DirEntry>& type,
                      std::vector<IconResource>& into, std::vector<ReadFailure>& problems)
{
    if (!type)
        return;
    Result<std::vector<DirEntry>> names = tree.enter(type->target, {0});
    if (!names) {
        problems.push_back(names.failure());
        return;
    }
    for (const DirEntry& e : *names) {
        if (e.named)
            continue;
        Result<std::uint32_t> data = tree.firstLanguage(e, type->target);
        if (data)
            into.push_back(IconResource{e.id, module.dataOf(rsrc, *data)});
        else
            problems.push_back(data.failure());
    }
    std::stable_sort(into.begin(), into.end(), [](const IconResource& a, const IconResource& b) { return a.id < b.id; });
}

// The group resources (of icons or cursors) under a type directory, in icon order.
void readGroupsOfType(ResourceTree& tree, const PeModule& module, const ByteRange& rsrc, const DirEntry& type,
                      std::vector<GroupEntry>& into, std::vector<ReadFailure>& problems)
{
    Result<std::vector<DirEntry>> groups = tree.enter(type.target, {0});
    if (!groups) {
        problems.push_back(groups.failure());
        return;
    }
    for (const DirEntry& e : inIconOrder(*groups)) {
        Result<std::uint32_t> dataEntry = tree.firstLanguage(e, type.target);
        if (!dataEntry) {
            problems.push_back(dataEntry.failure());
            continue;
        }
        Result<ByteRange> body = module.dataOf(rsrc, *dataEntry);
        if (!body) {
            problems.push_back(body.failure());
            continue;
        }
        into.push_back(GroupEntry{{}, *body, peGroupIdentity(rsrc, e.named, e.id)});
    }
}

// The first unnamed subdirectory of each resource type an icon or cursor reader needs.
struct ResourceTypes {
    std::optional<DirEntry> icons, groups, cursors, cursorGroups;
};

ResourceTypes findResourceTypes(const std::vector<DirEntry>& types)
{
    ResourceTypes found;
    for (const DirEntry& e : types) {
        if (e.named || !e.subdirectory)
            continue;
        for (auto [id, slot] : {std::pair{pe::kTypeIcon, &found.icons}, std::pair{pe::kTypeGroupIcon, &found.groups},
                                std::pair{pe::kTypeCursor, &found.cursors},
                                std::pair{pe::kTypeGroupCursor, &found.cursorGroups}})
            if (e.id == id && !*slot)
                *slot = e;
    }
    return found;
}

void readPe(const ByteRange& file, std::uint64_t peOffset, ParsedFile& parsed)
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
    const ByteRange rsrc = file.clipped(rsrcAt->offset, rsrcAt->available);
    ResourceTree tree(rsrc);

    Result<std::vector<DirEntry>> types = tree.enter(0, {});
    if (!types) {
        parsed.problems.push_back(types.failure());
        return;
    }
    const ResourceTypes found = findResourceTypes(*types);
    if (!found.groups && !found.cursorGroups) {
        parsed.problems.push_back(fail(ReadError::NoIcons, rsrc.base()));
        return;
    }

    if (found.groups) {
        readImagesOfType(tree, module, rsrc, found.icons, parsed.icons, parsed.problems);
        readGroupsOfType(tree, module, rsrc, *found.groups, parsed.groups, parsed.problems);
    }
    if (found.cursorGroups) {
        readImagesOfType(tree, module, rsrc, found.cursors, parsed.cursors, parsed.problems);
        readGroupsOfType(tree, module, rsrc, *found.cursorGroups, parsed.cursorGroups, parsed.problems);
    }
    // Cursors alone hold no icon for the gallery.
    if (!found.groups)
        parsed.problems.push_back(fail(ReadError::NoIcons, rsrc.base()));
}

// A group resource (GRPICONDIR, or its cursor twin) of a module: its images, found by id among
// the module's icons or cursors. NE modules give each image the smaller of the group's byte count
// and the table's length. A cursor's image begins with its hot spot, which goes into its entry as
// a cursor file has it (width, height halved back from the DIB's, no colour count, the hot spot).
Result<IconGroup> imagesNamedBy(const ByteRange& body, const std::vector<IconResource>& images, bool fromNe,
                                bool cursors, std::vector<ReadFailure>& problems)
{
    Result<ByteReader> head = body.slice(0, grpdir::kSize);
    const std::uint64_t listed = head ? head->u16(grpdir::kCount) : 0;
    if (!head || listed == 0 || !body.has(grpdir::kSize, listed * grpdir::kEntrySize))
        return fail(ReadError::BadIconDirectory, body.base());
    const std::uint64_t count = std::min<std::uint64_t>(listed, kMaxImagesPerGroup);
    if (WorkBudget* budget = body.budget())
        budget->spendImages(count);
    Result<ByteReader> entries = body.slice(grpdir::kSize, count * grpdir::kEntrySize);
    if (!entries)
        return entries.failure();
    IconGroup group;
    group.directoryType = cursors ? 2 : 1;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t e = i * grpdir::kEntrySize;
        const std::uint32_t id = entries->u16(e + grpdir::kEntryId) | (fromNe ? ne::kIntegerId : 0u);
        auto found = std::lower_bound(images.begin(), images.end(), id,
                                      [](const IconResource& r, std::uint32_t key) { return r.id < key; });
        if (found == images.end() || found->id != id) {
            problems.push_back(fail(ReadError::MissingImage, entries->base() + e));
            continue;
        }
        if (!found->data) {
            problems.push_back(found->data.failure());
            continue;
        }
        ByteRange image = *found->data;
        // The group's byte count and the table's length may disagree; trust the smaller.
        if (fromNe)
            image = image.clipped(0, entries->u32(e + grpdir::kEntryBytes));
        if (!cursors) {
            group.images.push_back(ImageCandidate{image, 0, 0});
            group.entries.push_back(rawEntry(*entries, e, grpdir::kEntrySize));
            continue;
        }
        Result<ByteReader> hotSpot = image.slice(0, grpdir::kCursorHotSpot);
        if (!hotSpot) {
            problems.push_back(hotSpot.failure());
            continue;
        }
        const std::uint16_t hotX = hotSpot->u16(0), hotY = hotSpot->u16(2);
        group.images.push_back(ImageCandidate{image.clipped(grpdir::kCursorHotSpot, image.size()), hotX, hotY});
        std::array<std::uint8_t, 16> entry{};
        entry[0] = static_cast<std::uint8_t>(entries->u16(e + grpdir::kCursorWidth));
        entry[1] = static_cast<std::uint8_t>(entries->u16(e + grpdir::kCursorHeight) / 2);
        entry[4] = static_cast<std::uint8_t>(hotX);
        entry[5] = static_cast<std::uint8_t>(hotX >> 8);
        entry[6] = static_cast<std::uint8_t>(hotY);
        entry[7] = static_cast<std::uint8_t>(hotY >> 8);
        group.entries.push_back(entry);
    }
    return group;
}

void readNe(const ByteRange& file, std::uint64_t neOffset, ParsedFile& parsed)
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
        const std::uint64_t namesAt = at + ne::kTypeInfoSize;
        if (!file.has(namesAt, count * ne::kNameInfoSize)) {
            parsed.problems.push_back(fail(ReadError::BadNeHeader, at));
            break;
        }
        if (type == ne::kTypeGroupIcon || type == ne::kTypeIcon || type == ne::kTypeGroupCursor || type == ne::kTypeCursor) {
            Result<ByteReader> names = file.slice(namesAt, count * ne::kNameInfoSize);
            if (!names) {
                parsed.problems.push_back(names.failure());
                break;
            }
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint64_t n = i * ne::kNameInfoSize;
                const ByteRange data =
                    file.clipped(std::uint64_t{names->u16(n)} << shift, std::uint64_t{names->u16(n + 2)} << shift);
                const std::uint16_t id = names->u16(n + 6);
                if (type == ne::kTypeGroupIcon)
                    parsed.groups.push_back(GroupEntry{{}, data, neGroupIdentity(file, tableAt, id)});
                else if (type == ne::kTypeGroupCursor)
                    parsed.cursorGroups.push_back(GroupEntry{{}, data, neGroupIdentity(file, tableAt, id)});
                else
                    (type == ne::kTypeIcon ? parsed.icons : parsed.cursors).push_back(IconResource{id, data});
            }
        }
        at = namesAt + count * ne::kNameInfoSize;
    }

    // Icons and cursors are found by integer id; the first of equal ids in table order wins.
    for (std::vector<IconResource>* images : {&parsed.icons, &parsed.cursors})
        std::stable_sort(images->begin(), images->end(),
                         [](const IconResource& a, const IconResource& b) { return a.id < b.id; });
}

void readAni(const ByteRange& file, ParsedFile& parsed)
{
    parsed.kind = FileKind::AnimatedCursor;
    // The RIFF size may overstate the file; the bytes present are what count.
    const ByteRange riffBody = file.clipped(riff::kHeaderSize, std::uint64_t{file.u32(4)} - 4);
    auto findChunk = [](const ByteRange& within, const char* id, const char* listType) -> std::optional<ByteRange> {
        for (std::uint64_t at = 0; within.has(at, riff::kChunkHeader);) {
            Result<ByteReader> header = within.slice(at, riff::kChunkHeader);
            if (!header)
                return std::nullopt;
            std::uint64_t size = header->u32(4);
            ByteRange body = within.clipped(at + riff::kChunkHeader, size);
            if (header->startsWith(0, id, 4) && (!listType || body.startsWith(0, listType, 4)))
                return body;
            at += riff::kChunkHeader + size + (size & 1);
        }
        return std::nullopt;
    };
    std::optional<ByteRange> frames = findChunk(riffBody, "LIST", "fram");
    std::optional<ByteRange> first = frames ? findChunk(frames->clipped(4, frames->size()), "icon", nullptr)
                                             : std::nullopt;
    if (!first) {
        parsed.problems.push_back(fail(ReadError::BadAniFile, file.base()));
        return;
    }
    FileKind frameKind = FileKind::Unknown;
    Result<IconGroup> group = readIconDirectory(*first, frameKind);
    if (!group) {
        parsed.problems.push_back(group.failure());
        return;
    }
    parsed.groups.push_back(GroupEntry{std::move(*group), {}, {}});
}

} // namespace

ParsedFile parseIconContainer(const ByteRange& file)
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
    Result<IconGroup> group = readIconDirectory(file, kind);
    parsed.kind = kind;
    if (group)
        parsed.groups.push_back(GroupEntry{std::move(*group), {}, {}});
    else
        parsed.problems.push_back(group.failure());
    return parsed;
}

Result<IconGroup> imagesOfGroup(const ParsedFile& parsed, std::size_t index, std::vector<ReadFailure>& problems)
{
    const GroupEntry& entry = parsed.groups.at(index);
    if (parsed.kind != FileKind::Pe32 && parsed.kind != FileKind::Pe32Plus && parsed.kind != FileKind::Ne)
        return entry.images;
    Result<IconGroup> group = imagesNamedBy(entry.directory, parsed.icons, parsed.kind == FileKind::Ne, false, problems);
    if (group)
        group.value().identity = entry.identity;
    return group;
}

Result<IconGroup> imagesOfCursorGroup(const ParsedFile& parsed, std::size_t index, std::vector<ReadFailure>& problems)
{
    const GroupEntry& entry = parsed.cursorGroups.at(index);
    Result<IconGroup> group = imagesNamedBy(entry.directory, parsed.cursors, parsed.kind == FileKind::Ne, true, problems);
    if (group)
        group.value().identity = entry.identity;
    return group;
}

} // namespace gg
