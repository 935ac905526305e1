#include "icons/icon_extractor.h"

#include "icons/icon_formats.h"

#include <QPainter>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace gg {
namespace {

// A read-only mapping of a whole file: the reader touches only the pages it needs, so a huge
// installer with a small icon costs a few pages, not its size.
class MappedFile {
public:
    static std::shared_ptr<MappedFile> open(const std::string& path)
    {
        // Non-blocking, so that a FIFO among the listed files cannot stall the run.
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat info {};
        std::shared_ptr<MappedFile> mapped;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            auto size = static_cast<std::size_t>(info.st_size);
            void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (at != MAP_FAILED)
                mapped = std::shared_ptr<MappedFile>(new MappedFile(static_cast<const std::uint8_t*>(at), size));
            else if (size <= kMaxCopied)
                mapped = copied(fd, size);
        }
        ::close(fd);
        return mapped;
    }
    ~MappedFile()
    {
        if (copy_.empty())
            ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

private:
    // File systems that cannot map files get a copy, as long as it stays small.
    static constexpr std::size_t kMaxCopied = 64u << 20;

    MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    static std::shared_ptr<MappedFile> copied(int fd, std::size_t size)
    {
        auto file = std::shared_ptr<MappedFile>(new MappedFile(nullptr, 0));
        file->copy_.resize(size);
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(fd, file->copy_.data() + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        file->copy_.resize(done);
        if (done == 0)
            return nullptr;
        file->data_ = file->copy_.data();
        file->size_ = done;
        return file;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::vector<std::uint8_t> copy_;
};

} // namespace

struct IconSource::State {
    std::shared_ptr<MappedFile> mapping;
    std::vector<std::uint8_t> owned;
    ParsedFile parsed;
    std::size_t nextGroup = 0;         // first group not decoded yet
    std::vector<QImage> images;        // the good groups' icons, in order
    std::vector<std::size_t> groupOfImage; // which group gave each of them
    std::vector<ReadFailure> decodeProblems;
    // Groups of hostile files may share images; each is decoded once.
    DecodeCache decoded;

    void parse(std::span<const std::uint8_t> bytes) { parsed = parseIconContainer(ByteReader(bytes)); }

    bool decodeNext()
    {
        if (nextGroup >= parsed.groups.size())
            return false;
        const IconGroup& group = parsed.groups[nextGroup++];
        Result<ChosenImage> chosen = decodeGroup(group, &decoded);
        if (!chosen) {
            decodeProblems.push_back(chosen.failure());
            return true;
        }
        images.push_back(chosen->image);
        groupOfImage.push_back(nextGroup - 1);
        return true;
    }
};

IconSource::IconSource() : state_(std::make_shared<State>()) {}

IconSource IconSource::open(const std::string& path)
{
    IconSource source;
    source.state_->mapping = MappedFile::open(path);
    if (source.state_->mapping)
        source.state_->parse(source.state_->mapping->bytes());
    return source;
}

IconSource IconSource::fromBytes(std::vector<std::uint8_t> bytes)
{
    IconSource source;
    source.state_->owned = std::move(bytes);
    source.state_->parse(source.state_->owned);
    return source;
}

int IconSource::count() const
{
    while (state_->decodeNext()) {
    }
    return static_cast<int>(state_->images.size());
}

QImage IconSource::icon(int index) const
{
    if (index < 0)
        return QImage();
    const auto wanted = static_cast<std::size_t>(index);
    while (state_->images.size() <= wanted && state_->decodeNext()) {
    }
    return wanted < state_->images.size() ? state_->images[wanted] : QImage();
}

FileKind IconSource::kind() const { return state_->parsed.kind; }

std::vector<ReadFailure> IconSource::problems() const
{
    std::vector<ReadFailure> all = state_->parsed.problems;
    all.insert(all.end(), state_->decodeProblems.begin(), state_->decodeProblems.end());
    return all;
}

const IconGroup* IconSource::group(int index) const
{
    if (icon(index).isNull())
        return nullptr;
    return &state_->parsed.groups[state_->groupOfImage[static_cast<std::size_t>(index)]];
}

QImage ExtractIconExA(const std::string& path, int index) { return IconSource::open(path).icon(index); }

void DrawIcon(QImage& surface, int x, int y, const QImage& icon)
{
    if (surface.isNull() || icon.isNull())
        return;
    QPainter painter(&surface);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(x, y, icon);
}

std::optional<CursorImage> ReadCursorFile(const std::string& path)
{
    std::shared_ptr<MappedFile> mapping = MappedFile::open(path);
    if (!mapping)
        return std::nullopt;
    ParsedFile parsed = parseIconContainer(ByteReader(mapping->bytes()));
    if (parsed.kind != FileKind::Cursor && parsed.kind != FileKind::AnimatedCursor && parsed.kind != FileKind::Icon)
        return std::nullopt;
    if (parsed.groups.empty())
        return std::nullopt;
    const IconGroup& group = parsed.groups.front();
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
