#pragma once
// The words for an errno value, the one way every message of the programs gives a failed system
// call.

#include <cerrno>
#include <string>
#include <system_error>

namespace gg {

// The system's words ("No such file or directory").
inline std::string errnoText(int error)
{
    return std::generic_category().message(error);
}

// The error report's words for a folder or a file that could not be opened, as our users have
// always read them: "Path not found" or "File not found", "Permission denied", else the system's.
enum class OpenedPath { Folder, File };

inline std::string openFailureText(int error, OpenedPath path)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return path == OpenedPath::Folder ? "Path not found" : "File not found";
    case EACCES:
    case EPERM:
        return "Permission denied";
    default:
        return errnoText(error);
    }
}

} // namespace gg
