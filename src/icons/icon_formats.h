// The containers icons live in: icon and cursor files, animated cursors, PE and NE modules.
// Each is turned into the list of icon groups it offers, in the order the extraction numbers them.
#pragma once

#include "icons/byte_reader.h"
#include "icons/icon_extractor.h"
#include "icons/icon_image.h"

#include <vector>

namespace gg {

// Where one icon's images are listed.
struct GroupEntry {
    IconGroup images;    // icon, cursor and animated cursor files: the images themselves
    ByteRange directory; // modules: the group resource (GRPICONDIR), naming its images by id
    GroupIdentity identity; // modules: the group's resource name or number
};

// A module's icon resource: its id and its bytes, or why they cannot be found.
struct IconResource {
    std::uint32_t id;
    Result<ByteRange> data;
};

struct ParsedFile {
    FileKind kind = FileKind::Unknown;
    std::vector<GroupEntry> groups;
    // Modules: their icon resources sorted by id, the first of equal ids in directory order.
    std::vector<IconResource> icons;
    // Modules: their cursor groups and cursor resources (sorted like icons), apart from the icon
    // groups, which alone the gallery shows and numbers.
    std::vector<GroupEntry> cursorGroups;
    std::vector<IconResource> cursors;
    // Why the file, or some of its groups, gave less than it seemed to hold.
    std::vector<ReadFailure> problems;
};

// Decides the kind by the bytes alone and lists the icon groups. Reads the headers and the
// resource directory; the group resources and the images are read when a group is decoded.
ParsedFile parseIconContainer(const ByteRange& file);

// The images of group `index`. Images it names that the file does not hold are added to
// `problems` and passed over; a group resource that cannot be read is the failure.
Result<IconGroup> imagesOfGroup(const ParsedFile& parsed, std::size_t index, std::vector<ReadFailure>& problems);

// The images of cursor group `index` of a module, as a cursor file holds them: each image without
// the hot spot that begins its resource, the hot spot in its entry (directoryType 2).
Result<IconGroup> imagesOfCursorGroup(const ParsedFile& parsed, std::size_t index, std::vector<ReadFailure>& problems);

} // namespace gg
