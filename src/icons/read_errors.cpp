// The sentences of the reader's errors (byte_reader.h).
#include "icons/byte_reader.h"

namespace gg {

const char* describeReadError(ReadError error)
{
    switch (error) {
    case ReadError::Truncated: return "The file ends before a record it refers to.";
    case ReadError::UnknownFormat: return "The file is not an icon, cursor, animated cursor or Windows module.";
    case ReadError::NoIcons: return "The file holds no icons.";
    case ReadError::BadIconDirectory: return "The icon directory is damaged.";
    case ReadError::BadPeHeader: return "The module's PE headers or section table are damaged.";
    case ReadError::BadResourceTree: return "The module's resource directory points outside its data.";
    case ReadError::ResourceLoop: return "The module's resource directory refers back to itself.";
    case ReadError::ResourceTooDeep: return "The module's resource directory is nested too deeply.";
    case ReadError::BadNeHeader: return "The 16-bit module's header or resource table is damaged.";
    case ReadError::BadAniFile: return "The animated cursor's chunks are damaged or hold no frame.";
    case ReadError::MissingImage: return "An icon group names an image that the file does not hold.";
    case ReadError::BadBitmapHeader: return "An icon image's bitmap header is damaged.";
    case ReadError::UnsupportedBitmap: return "An icon image uses a bitmap format that icons do not use.";
    case ReadError::ImageTooLarge: return "An icon image is larger than an icon can be.";
    case ReadError::BadPng: return "An icon image's PNG stream cannot be decoded.";
    case ReadError::NoUsableImage: return "No image of the icon can be decoded.";
    case ReadError::TooMuchWork:
        return "The file asks for far more work than any icon file needs.";
    }
    return "Unknown error.";
}

} // namespace gg
