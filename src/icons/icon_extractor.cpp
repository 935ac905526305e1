#include "icons/icon_extractor.h"

#include "icons/icon_formats.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>

namespace gg {
namespace {

// A file read with pread, in blocks of which a few are kept, so the many small records of a
// resource directory cost one read per block and a large installer with a small icon costs a
// few blocks, not its size. Reading rather than mapping: a file that another program shrinks
// or rewrites meanwhile gives short reads, which fail like a truncated file, where a mapping
// would end the process with SIGBUS.
class FileSource final : public ByteSource {
public:
    static std::unique_ptr<FileSource> open(const std::string& path)
    {
        // Non-blocking, so that a FIFO among the listed files cannot stall the run.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
            ::close(fd);
            return nullptr;
        }
        return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::uint64_t>(info.st_size)));
    }
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t size() const override { return size_; }

    Result<ByteReader> read(std::uint64_t offset, std::uint64_t length) override
    {
        if (offset > size_ || size_ - offset < length || length > kMaxRead)
            return fail(ReadError::Truncated, offset);
        if (length == 0)
            return ByteReader({}, offset);
        const std::uint64_t first = offset / kBlockSize;
        if (first == (offset + length - 1) / kBlockSize) {
            std::shared_ptr<Block> block = cachedBlock(first);
            const std::uint64_t at = offset - first * kBlockSize;
            if (block->valid < at + length)
                return fail(ReadError::Truncated, offset + (block->valid > at ? block->valid - at : 0));
            std::span<const std::uint8_t> bytes(block->bytes.data() + at, static_cast<std::size_t>(length));
            return ByteReader(bytes, offset, std::move(block));
        }
        std::shared_ptr<std::uint8_t[]> buffer = std::make_shared_for_overwrite<std::uint8_t[]>(length);
        if (length <= kBlockSize) {
            // A record across two blocks is pieced together from them, as neighbours are read anyway.
            std::uint64_t done = 0;
            for (std::uint64_t index = first; done < length; ++index) {
                std::shared_ptr<Block> block = cachedBlock(index);
                const std::uint64_t at = offset + done - index * kBlockSize;
                const std::uint64_t n = std::min(length - done, kBlockSize - at);
                if (block->valid < at + n)
                    return fail(ReadError::Truncated, offset + done + (block->valid > at ? block->valid - at : 0));
                std::memcpy(buffer.get() + done, block->bytes.data() + at, static_cast<std::size_t>(n));
                done += n;
            }
        } else {
            // Longer records and images get a read of their own.
            const std::uint64_t got = readAt(offset, buffer.get(), length);
            if (got < length)
                return fail(ReadError::Truncated, offset + got);
        }
        std::span<const std::uint8_t> bytes(buffer.get(), static_cast<std::size_t>(length));
        return ByteReader(bytes, offset, std::move(buffer));
    }

private:
    static constexpr std::uint64_t kBlockSize = 16384;
    static constexpr std::size_t kCachedBlocks = 8;
    // Records and images are far smaller; a larger read means a size field nobody checked.
    static constexpr std::uint64_t kMaxRead = std::uint64_t{64} << 20;

    struct Block {
        std::uint64_t index = 0;
        std::uint64_t valid = 0; // bytes the file still held when the block was read
        std::uint64_t lastUse = 0;
        std::array<std::uint8_t, kBlockSize> bytes;
    };

    FileSource(int fd, std::uint64_t size) : ByteSource(size), fd_(fd), size_(size) {}

    // Reads until `length` bytes are in or the file ends; how many came.
    std::uint64_t readAt(std::uint64_t offset, std::uint8_t* into, std::uint64_t length)
    {
        std::uint64_t done = 0;
        while (done < length) {
            const ssize_t n = ::pread(fd_, into + done, static_cast<std::size_t>(length - done),
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::uint64_t>(n);
        }
        return done;
    }

    std::shared_ptr<Block> cachedBlock(std::uint64_t index)
    {
        ++clock_;
        std::shared_ptr<Block>* slot = &cache_[0];
        for (std::shared_ptr<Block>& cached : cache_) {
            if (cached && cached->index == index) {
                cached->lastUse = clock_;
                return cached;
            }
            if (!cached || (*slot && cached->lastUse < (*slot)->lastUse))
                slot = &cached;
        }
        // The least recently used block is reused unless a reader still holds it.
        if (!*slot || slot->use_count() > 1)
            *slot = std::make_shared_for_overwrite<Block>();
        Block& block = **slot;
        block.index = index;
        block.lastUse = clock_;
        const std::uint64_t start = index * kBlockSize;
        block.valid = readAt(start, block.bytes.data(), std::min(kBlockSize, size_ - start));
        return *slot;
    }

    int fd_;
    std::uint64_t size_;
    std::array<std::shared_ptr<Block>, kCachedBlocks> cache_;
    std::uint64_t clock_ = 0;
};

} // namespace

struct IconSource::State {
    std::vector<std::uint8_t> owned;
    std::unique_ptr<ByteSource> source;
    std::optional<ParsedFile> parsed; // read at the first question
    std::size_t nextGroup = 0;        // first group not decoded yet
    bool keepIcons = true; // false: icons are numbered but not drawn (Icons::NotKept)
    std::vector<RgbaImage> images;    // the good groups' icons, in order, when kept
    std::vector<std::size_t> groupOfImage; // which group gave each icon: one per icon
    std::map<std::size_t, IconGroup> groupsRead; // groups handed out by group(), by index
    std::vector<ReadFailure> decodeProblems;
    bool refused = false; // the file's work budget ran out: no further group is read
    // Groups of hostile files may share images; each is decoded once.
    DecodeCache decoded;
    // The cursor groups that give an image, read at the first question about cursors.
    std::optional<std::vector<IconGroup>> cursorGroups;
    // Group entries that share one group resource give the same icon; it is worked out once.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::optional<RgbaImage>> byGroupResource;

    const ParsedFile& file()
    {
        if (!parsed)
            parsed = source ? parseIconContainer(ByteRange(*source)) : ParsedFile{};
        return *parsed;
    }

    // Records, once, that the rest of the file is refused.
    void refuse(std::uint64_t offset)
    {
        if (!refused)
            decodeProblems.push_back(fail(ReadError::TooMuchWork, offset));
        refused = true;
    }

    bool decodeNext()
    {
        const ParsedFile& parsedFile = file();
        if (refused || nextGroup >= parsedFile.groups.size())
            return false;
        const ByteRange& resource = parsedFile.groups[nextGroup].directory;
        WorkBudget& budget = source->budget(); // a file with groups has a source
        if (budget.exhausted()) {
            refuse(resource.base());
            return false;
        }
        budget.spendGroup();
        const std::size_t index = nextGroup++;
        const auto key = std::make_pair(resource.base(), resource.size());
        if (resource.size() != 0) {
            auto known = byGroupResource.find(key);
            if (known != byGroupResource.end()) {
                if (known->second)
                    keep(*known->second, index);
                return true;
            }
        }
        std::optional<RgbaImage> icon = decodeGroupAt(parsedFile, index);
        if (icon)
            keep(*icon, index);
        if (resource.size() != 0)
            byGroupResource.emplace(key, std::move(icon));
        return true;
    }

    void keep(const RgbaImage& icon, std::size_t group)
    {
        if (keepIcons)
            images.push_back(icon);
        groupOfImage.push_back(group);
    }

    // Whether there is an icon `index`, decoding groups up to it.
    bool reaches(std::size_t index)
    {
        while (groupOfImage.size() <= index && decodeNext()) {
        }
        return index < groupOfImage.size();
    }

    std::optional<RgbaImage> decodeGroupAt(const ParsedFile& parsedFile, std::size_t index)
    {
        Result<IconGroup> group = imagesOfGroup(parsedFile, index, decodeProblems);
        if (!group) {
            decodeProblems.push_back(group.failure());
            return std::nullopt;
        }
        Result<ChosenImage> chosen = decodeGroup(*group, &decoded, keepIcons ? Fit::ToIcon : Fit::DecodeOnly);
        if (!chosen && chosen.failure().error == ReadError::TooMuchWork) {
            refuse(chosen.failure().offset);
            return std::nullopt;
        }
        if (!chosen) {
            decodeProblems.push_back(chosen.failure());
            return std::nullopt;
        }
        return chosen->image;
    }
};

IconSource::IconSource() : state_(std::make_shared<State>()) {}

IconSource IconSource::open(const std::string& path, Icons icons)
{
    IconSource source;
    source.state_->source = FileSource::open(path);
    source.state_->keepIcons = icons == Icons::Kept;
    return source;
}

IconSource IconSource::fromBytes(std::vector<std::uint8_t> bytes, Icons icons)
{
    IconSource source;
    source.state_->keepIcons = icons == Icons::Kept;
    source.state_->owned = std::move(bytes);
    source.state_->source = std::make_unique<MemorySource>(source.state_->owned);
    return source;
}

int IconSource::count() const
{
    while (state_->decodeNext()) {
    }
    return static_cast<int>(state_->groupOfImage.size());
}

RgbaImage IconSource::icon(int index) const
{
    if (index < 0)
        return RgbaImage();
    const auto wanted = static_cast<std::size_t>(index);
    return state_->reaches(wanted) && state_->keepIcons ? state_->images[wanted] : RgbaImage();
}

FileKind IconSource::kind() const { return state_->file().kind; }

bool IconSource::refusedRest() const
{
    const State& state = *state_;
    return state.refused || (state.source && state.source->budget().exhausted());
}

std::vector<ReadFailure> IconSource::problems() const
{
    std::vector<ReadFailure> all = state_->file().problems;
    all.insert(all.end(), state_->decodeProblems.begin(), state_->decodeProblems.end());
    return all;
}

const IconGroup* IconSource::group(int index) const
{
    State& state = *state_;
    if (index < 0 || !state.reaches(static_cast<std::size_t>(index)))
        return nullptr;
    const std::size_t which = state.groupOfImage[static_cast<std::size_t>(index)];
    auto known = state.groupsRead.find(which);
    if (known == state.groupsRead.end()) {
        // Read again: a file that changed since gives what it holds now, or nothing.
        std::vector<ReadFailure> ignored;
        Result<IconGroup> group = imagesOfGroup(state.file(), which, ignored);
        if (!group)
            return nullptr;
        known = state.groupsRead.emplace(which, std::move(group.value())).first;
    }
    return &known->second;
}

int IconSource::cursorCount() const
{
    State& state = *state_;
    if (!state.cursorGroups) {
        state.cursorGroups.emplace();
        const ParsedFile& parsed = state.file();
        for (std::size_t i = 0; i < parsed.cursorGroups.size(); ++i) {
            Result<IconGroup> group = imagesOfCursorGroup(parsed, i, state.decodeProblems);
            if (group && decodeGroup(*group, &state.decoded, state.keepIcons ? Fit::ToIcon : Fit::DecodeOnly))
                state.cursorGroups->push_back(std::move(group.value()));
        }
    }
    return static_cast<int>(state.cursorGroups->size());
}

const IconGroup* IconSource::cursorGroup(int index) const
{
    if (index < 0 || index >= cursorCount())
        return nullptr;
    return &(*state_->cursorGroups)[static_cast<std::size_t>(index)];
}

std::optional<CursorImage> readCursorFile(const std::string& path)
{
    std::unique_ptr<FileSource> file = FileSource::open(path);
    if (!file)
        return std::nullopt;
    ParsedFile parsed = parseIconContainer(ByteRange(*file));
    if (parsed.kind != FileKind::Cursor && parsed.kind != FileKind::AnimatedCursor && parsed.kind != FileKind::Icon)
        return std::nullopt;
    if (parsed.groups.empty())
        return std::nullopt;
    const IconGroup& group = parsed.groups.front().images;
    Result<ChosenImage> chosen = decodeGroup(group);
    if (!chosen)
        return std::nullopt;
    const ImageCandidate& from = group.images[chosen->index];
    CursorImage cursor;
    cursor.image = chosen->image;
    // The hot spot follows the image when it is brought to 32 x 32.
    const int side = std::max(chosen->sourceWidth, chosen->sourceHeight);
    const int offsetX = (side - chosen->sourceWidth) * 32 / side / 2;
    const int offsetY = (side - chosen->sourceHeight) * 32 / side / 2;
    cursor.hotX = std::clamp(from.hotX * 32 / side + offsetX, 0, 31);
    cursor.hotY = std::clamp(from.hotY * 32 / side + offsetY, 0, 31);
    return cursor;
}

} // namespace gg
