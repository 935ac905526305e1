#pragma once
// The system's words for an errno value ("No such file or directory"), the one way every message
// of the programs gives a failed system call.

#include <string>
#include <system_error>

namespace gg {

inline std::string errnoText(int error)
{
    return std::generic_category().message(error);
}

} // namespace gg
