// The containers icons live in: icon and cursor files, animated cursors, PE and NE modules.
// Each is turned into the list of icon groups it offers, in the order the extraction numbers them.
#pragma once

#include "icons/byte_reader.h"
#include "icons/icon_extractor.h"
#include "icons/icon_image.h"

#include <vector>

namespace gg {

struct ParsedFile {
    FileKind kind = FileKind::Unknown;
    std::vector<IconGroup> groups;
    // Why the file, or some of its groups, gave less than it seemed to hold.
    std::vector<ReadFailure> problems;
};

// Decides the kind by the bytes alone and lists the icon groups.
ParsedFile parseIconContainer(const ByteReader& file);

// An icon (type 1) or cursor (type 2) directory with its images, offsets relative to `file`.
Result<IconGroup> readIconDirectory(const ByteReader& file, FileKind& kind);

} // namespace gg
