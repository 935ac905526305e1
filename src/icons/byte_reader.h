// The one place that indexes untrusted bytes. Every read is bounds-checked in a form that
// cannot overflow; values are decoded little-endian field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <variant>

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
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::uint64_t base = 0)
        : bytes_(bytes), base_(base) {}

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
                          base_ + offset);
    }

    // From offset to the end, at most length bytes: for data whose declared size may overstate it.
    ByteReader clipped(std::uint64_t offset, std::uint64_t length) const
    {
        if (offset > bytes_.size())
            return ByteReader({}, base_ + bytes_.size());
        std::uint64_t left = bytes_.size() - offset;
        std::uint64_t n = length < left ? length : left;
        return ByteReader(bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(n)),
                          base_ + offset);
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

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t base_ = 0;
};

} // namespace gg
