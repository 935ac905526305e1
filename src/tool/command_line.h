// What glimmer-extract is asked to do, read from its command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gg::tool {

enum class Verb { Help, Version, List, Extract, Thumbnail, InstallIcon, UninstallIcon };
enum class Format { Ico, Png, Ico32 };

// A group picked by its resource number, or by its name (compared without regard to ASCII case,
// as Windows finds resources).
struct GroupChoice {
    bool byNumber = false;
    std::uint32_t number = 0;
    std::string name; // UTF-8
};

struct Request {
    Verb verb = Verb::Help;
    bool json = false;
    Format format = Format::Ico;
    int size = 0;             // png: 0 for the largest size the group holds; thumbnail: the side asked for
    int icon = -1;            // -1 for every icon
    std::optional<GroupChoice> group; // only the groups of this name or number
    std::string outputFolder; // empty for the current folder
    bool overwrite = false;
    std::string iconName;     // install-icon: the name asked for, as given; empty for the file's
    bool replace = false;     // install-icon: an icon of that name installed by us gives way
    std::optional<std::string> desktopEntry; // install-icon: the launcher's command
    std::vector<std::string> files; // thumbnail: the input, then the output; uninstall-icon: the name
};

struct CommandLine {
    std::optional<Request> request;
    std::string error; // what was wrong when there is no request
};

// Reads the arguments after the program's name.
CommandLine readCommandLine(const std::vector<std::string>& args);

// The --help text; it fits an 80 x 24 terminal.
extern const char* const kHelpText;

// Exit statuses.
inline constexpr int kAllWritten = 0;
inline constexpr int kSomeFileFailed = 1;
inline constexpr int kWrongCommandLine = 2;

} // namespace gg::tool
