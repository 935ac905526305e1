// The icons of a file.
//
// An IconSource opens a file once and answers "icon i, or none". The kind of file is decided by
// its bytes: .ico/.cur (one icon), .ani (one icon, its first frame), PE32/PE32+ modules (one icon
// per group icon resource, named entries first, then ids ascending) and 16-bit NE modules (one
// per group icon resource in table order). Anything else holds no icon.
//
// Decoding is lazy: the first question reads the headers and the resource directory only.
// icon(i) decodes groups in order up to the i-th one that gives an image, and keeps every
// decoded image, so asking count() and then icon(0..n-1) decodes each group once. count() decodes every group,
// because only decoding tells whether a group gives an image; damaged groups are passed over,
// so icon(i) for i < count() always yields an image. A file that asks for more work than any real
// one needs gives the icons found until its budget ran out, and TooMuchWork among its problems.
// A file that shrinks or is rewritten while
// it is read gives the icons still found in it, or none. Copies share one parse and its cache;
// an IconSource is not meant to be used from two threads at once.
#pragma once

#include "icons/byte_reader.h"
#include "icons/icon_image.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gg {

// What the bytes say a file is.
enum class FileKind { Unknown, Icon, Cursor, AnimatedCursor, Pe32, Pe32Plus, Ne };

class IconSource {
public:
    IconSource(); // holds no icon

    // Whether icon(i) gives pictures. Without them the icons are numbered just the same (each
    // group's chosen image is still decoded, which is what tells whether it gives an icon) but not
    // brought to 32 x 32, and icon(i) is null: for callers that want the groups only.
    enum class Icons { Kept, NotKept };

    // Opens the file named by these bytes; it is read at the first question, and then only
    // its headers, resource directory and the images decoded. The file stays open while any
    // copy of the source lives. Never throws.
    static IconSource open(const std::string& path, Icons icons = Icons::Kept);
    static IconSource fromBytes(std::vector<std::uint8_t> bytes, Icons icons = Icons::Kept);

    // Icons that give an image.
    int count() const;
    // 32 x 32; a null image when there is no icon i, or the source keeps no icons.
    RgbaImage icon(int index) const;

    FileKind kind() const;
    // What was wrong with the file or its damaged groups, as far as read so far.
    std::vector<ReadFailure> problems() const;
    // Whether the file has cost all the work it may (WorkBudget in byte_reader.h): the icons
    // counted so far stay, the groups after them are not read, and pictures of them are refused.
    bool refusedRest() const;

    // --- For the icon library's groups (icon_groups.h) ---
    // The group that gave icon `index`, or null when there is no icon `index`. It lives as
    // long as this source or a copy of it.
    const IconGroup* group(int index) const;
    // A module's cursor groups, which the gallery leaves out: those that give an image, in the
    // order icon groups are numbered (named first, then ids ascending; NE in table order).
    int cursorCount() const;
    const IconGroup* cursorGroup(int index) const; // null when there is no cursor `index`
    // ---

private:
    struct State;
    std::shared_ptr<State> state_;
};

// A cursor file (.cur, or the first frame of an .ani) for the window's pointer: its image at
// 32 x 32 (chosen like an icon's) and the hot spot scaled with it; nullopt if unreadable.
struct CursorImage {
    RgbaImage image;
    int hotX = 0;
    int hotY = 0;
};
std::optional<CursorImage> readCursorFile(const std::string& path);

} // namespace gg
