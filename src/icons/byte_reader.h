// The one place that indexes untrusted bytes. Every read is bounds-checked in a form that
// cannot overflow; values are decoded little-endian field by field.
//
// A ByteReader looks at bytes already in memory. A ByteRange names a stretch of a ByteSource
// (a file, or bytes in memory) that is read only when a record in it is wanted, so a reader
// parses a large module by reading its headers, its resource directory and the chosen images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <variant>
#include <vector>

namespace gg {

enum class ReadError {
    Truncated,            // a record runs past the end of the bytes
    UnknownFormat,        // no icon file, PE, NE or ANI signature
    NoIcons,              // a well-formed file that holds no icon
    BadIconDirectory,     // icon or cursor directory inconsistent
    BadPeHeader,          // PE headers or section table unusable
    BadResourceTree,      // resource directory entries point nowhere
    ResourceLoop,         // a resource directory reached twice
    ResourceTooDeep,      // resource tree deeper than its three levels
    BadNeHeader,          // NE header or resource table unusable
    BadAniFile,           // RIFF/ACON chunks inconsistent or no frame
    MissingImage,         // a group names an icon that is not there
    BadBitmapHeader,      // DIB header fields out of range
    UnsupportedBitmap,    // compression or bit depth we do not decode
    ImageTooLarge,        // dimensions above what an icon can sensibly be
    BadPng,               // PNG stream cannot be decoded
    NoUsableImage,        // every image of a group failed
    TooMuchWork,          // the file asks for more work than its WorkBudget allows
};

// Turns an error code into a sentence for logs and test failures.
const char* describeReadError(ReadError error);

struct ReadFailure {
    ReadError error;
    std::uint64_t offset = 0; // where in the bytes being read the problem showed
};

template <typename T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(ReadFailure failure) : state_(failure) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(state_); }
    T& value() { return std::get<0>(state_); }
    const T& operator*() const { return value(); }
    const T* operator->() const { return &value(); }
    ReadFailure failure() const { return std::get<1>(state_); }

private:
    std::variant<T, ReadFailure> state_;
};

inline ReadFailure fail(ReadError error, std::uint64_t offset = 0) { return ReadFailure{error, offset}; }

class ByteReader {
public:
    ByteReader() = default;
    // `owner`, when given, keeps the bytes alive for as long as any reader of them lives.
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::uint64_t base = 0,
                        std::shared_ptr<const void> owner = nullptr)
        : bytes_(bytes), base_(base), owner_(std::move(owner)) {}

    std::uint64_t size() const { return bytes_.size(); }
    // Where these bytes sit in the outermost buffer, for error reports.
    std::uint64_t base() const { return base_; }

    bool has(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= bytes_.size() && bytes_.size() - offset >= length;
    }

    // The checked step: a view of [offset, offset + length) or Truncated.
    Result<ByteReader> slice(std::uint64_t offset, std::uint64_t length) const
    {
        if (!has(offset, length))
            return fail(ReadError::Truncated, base_ + offset);
        return ByteReader(bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)),
                          base_ + offset, owner_);
    }

    // From offset to the end, at most length bytes: for data whose declared size may overstate it.
    ByteReader clipped(std::uint64_t offset, std::uint64_t length) const
    {
        if (offset > bytes_.size())
            return ByteReader({}, base_ + bytes_.size());
        std::uint64_t left = bytes_.size() - offset;
        std::uint64_t n = length < left ? length : left;
        return ByteReader(bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(n)),
                          base_ + offset, owner_);
    }

    // Field reads: callers slice a record first, so these stay inside it; a read that would
    // not still yields 0 instead of touching memory outside the bytes.
    std::uint8_t u8(std::uint64_t offset) const { return has(offset, 1) ? bytes_[offset] : 0; }
    std::uint16_t u16(std::uint64_t offset) const
    {
        if (!has(offset, 2))
            return 0;
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::uint32_t u32(std::uint64_t offset) const
    {
        if (!has(offset, 4))
            return 0;
        return static_cast<std::uint32_t>(bytes_[offset]) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
    }
    std::int32_t i32(std::uint64_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::uint16_t u16be(std::uint64_t offset) const
    {
        if (!has(offset, 2))
            return 0;
        return static_cast<std::uint16_t>((bytes_[offset] << 8) | bytes_[offset + 1]);
    }
    std::uint32_t u32be(std::uint64_t offset) const
    {
        if (!has(offset, 4))
            return 0;
        return (static_cast<std::uint32_t>(bytes_[offset]) << 24) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 16) |
               (static_cast<std::uint32_t>(bytes_[offset + 2]) << 8) | static_cast<std::uint32_t>(bytes_[offset + 3]);
    }

    bool startsWith(std::uint64_t offset, std::span<const std::uint8_t> tag) const
    {
        if (!has(offset, tag.size()))
            return false;
        for (std::size_t i = 0; i < tag.size(); ++i)
            if (bytes_[offset + i] != tag[i])
                return false;
        return true;
    }
    bool startsWith(std::uint64_t offset, const char* tag, std::size_t length) const
    {
        return startsWith(offset, std::span(reinterpret_cast<const std::uint8_t*>(tag), length));
    }

    std::span<const std::uint8_t> bytes() const { return bytes_; }

    // [offset, offset + length) for a decoder's inner loop over one row of pixels, which then
    // indexes it only below `length`; empty when it does not fit.
    std::span<const std::uint8_t> row(std::uint64_t offset, std::uint64_t length) const
    {
        if (!has(offset, length))
            return {};
        return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t base_ = 0;
    std::shared_ptr<const void> owner_;
};

// What reading one file may cost, whoever reads it: the window's extraction and every command
// of the tool share it, as they share the file's ByteSource. Each icon group and each image are
// bounded on their own (kMaxImagesPerGroup, kMaxIconSide); this bounds a file whose many groups
// come back to the same bytes, so that a few megabytes cannot ask for hours of decoding. The
// limits are far above what the largest real icon libraries need (a few thousand groups of a
// dozen or two images, at most a few hundred at 256 x 256), and the pixel limit grows with the
// file, as real images take bytes. Work already started on a group or an image is finished; the
// readers ask before they start the next.
class WorkBudget {
public:
    // Icon groups read, wherever they point.
    static constexpr std::uint64_t kMaxGroups = 65536;
    // Images that groups list, counted each time a group is read.
    static constexpr std::uint64_t kMaxImages = std::uint64_t{1} << 20;
    // Pixels decoded or drawn: a base, and a few for every byte of the file.
    static constexpr std::uint64_t kBasePixels = std::uint64_t{64} << 20;
    static constexpr std::uint64_t kPixelsPerByte = 4;

    explicit WorkBudget(std::uint64_t fileSize)
        : maxPixels_(kBasePixels + (fileSize < (std::uint64_t{1} << 40) ? fileSize : std::uint64_t{1} << 40) * kPixelsPerByte)
    {
    }

    void spendGroup() { ++groups_; }
    void spendImages(std::uint64_t count) { images_ += count; }
    void spendPixels(std::uint64_t count) { pixels_ += count; }

    bool groupsLeft() const { return groups_ < kMaxGroups && images_ < kMaxImages; }
    bool pixelsLeft() const { return pixels_ < maxPixels_; }
    bool exhausted() const { return !groupsLeft() || !pixelsLeft(); }
    std::uint64_t maxPixels() const { return maxPixels_; }

private:
    std::uint64_t groups_ = 0;
    std::uint64_t images_ = 0;
    std::uint64_t pixels_ = 0;
    std::uint64_t maxPixels_;
};

// Where the bytes of one file come from.
class ByteSource {
public:
    explicit ByteSource(std::uint64_t size) : budget_(size) {}
    virtual ~ByteSource() = default;
    // The size the file had when it was opened. It may hold fewer bytes by the time they are
    // read; the reads then fail as at the end of a truncated file.
    virtual std::uint64_t size() const = 0;
    // Bytes [offset, offset + length) in memory, or Truncated when they are not all there.
    virtual Result<ByteReader> read(std::uint64_t offset, std::uint64_t length) = 0;
    // What is left of the work this file may cost.
    WorkBudget& budget() { return budget_; }

private:
    WorkBudget budget_;
};

// Bytes that are in memory already.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : ByteSource(bytes.size()), whole_(bytes) {}
    std::uint64_t size() const override { return whole_.size(); }
    Result<ByteReader> read(std::uint64_t offset, std::uint64_t length) override { return whole_.slice(offset, length); }

private:
    ByteReader whole_;
};

// A stretch of a source, read record by record as the parsers need them. The source must
// outlive every range of it.
class ByteRange {
public:
    ByteRange() = default;
    explicit ByteRange(ByteSource& source) : source_(&source), size_(source.size()) {}

    std::uint64_t size() const { return size_; }
    // The budget of the file the range lies in; none for an empty range of no file.
    WorkBudget* budget() const { return source_ ? &source_->budget() : nullptr; }
    // Where the range starts in the source, for error reports and to tell images apart.
    std::uint64_t base() const { return base_; }

    bool has(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= size_ && size_ - offset >= length;
    }

    // Reads [offset, offset + length): Truncated when it lies outside the range or the source
    // no longer holds it.
    Result<ByteReader> slice(std::uint64_t offset, std::uint64_t length) const
    {
        if (!has(offset, length) || !source_)
            return fail(ReadError::Truncated, base_ + offset);
        return source_->read(base_ + offset, length);
    }

    // From offset to the end of the range, at most length bytes; nothing is read yet.
    ByteRange clipped(std::uint64_t offset, std::uint64_t length) const
    {
        ByteRange part = *this;
        if (offset > size_) {
            part.base_ = base_ + size_;
            part.size_ = 0;
            return part;
        }
        const std::uint64_t left = size_ - offset;
        part.base_ = base_ + offset;
        part.size_ = length < left ? length : left;
        return part;
    }

    // Single fields for records not worth a slice of their own; 0 or false when unreadable.
    std::uint32_t u32(std::uint64_t offset) const
    {
        Result<ByteReader> field = slice(offset, 4);
        return field ? field->u32(0) : 0;
    }
    bool startsWith(std::uint64_t offset, const char* tag, std::size_t length) const
    {
        Result<ByteReader> field = slice(offset, length);
        return field && field->startsWith(0, tag, length);
    }

private:
    ByteSource* source_ = nullptr;
    std::uint64_t base_ = 0;
    std::uint64_t size_ = 0;
};

} // namespace gg
