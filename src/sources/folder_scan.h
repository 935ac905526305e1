#pragma once
// The walk behind "Add Folder and Subfolders" (module AddFolder): a folder and every qualifying
// folder below it, breadth first. Plain C++ over byte paths; the window only starts it.

#include <chrono>
#include <climits>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace gg {

class DirectoryLister;
class ErrorReporter;

// A folder whose path, trailing separator included, is this long or longer is not listed.
inline constexpr std::size_t kLongestListedPath = PATH_MAX;
// Longest acceptable sub-folder name, in bytes.
inline constexpr std::size_t kLongestFolderName = NAME_MAX;

// True when the name is not valid UTF-8 or holds a control character (below 32, or 127 to 159).
bool hasBadChars(std::string_view name);
// True for the root folder: a path made only of separators.
bool isRootFolder(std::string_view path);

// Extends folders (paths ending in a separator) with every qualifying folder below them, level by
// level; within a level grouped by parent, in the file system's listing order. A given folder
// whose sub-folders cannot be listed (access denied, gone) is removed; so is any such folder
// found below. The mount points of kernel pseudo file systems are neither listed nor added (a given
// one is kept), names with bad characters are passed over with everything below them, and links to
// folders are added but never entered. recurse = false stops after the first level below.
// doEvents is called once per folder opened, per sub-folder seen and per folder examined.
void scanFolderTree(std::vector<std::string>& folders, bool recurse, DirectoryLister& lister,
                           ErrorReporter& reporter, const std::function<void()>& doEvents);

// Passes calls on to processEvents at most once per slice, so a long walk keeps the window
// answering without spending its time in the event loop.
class EventPacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDefaultSlice{20};

    explicit EventPacer(std::function<void()> processEvents, std::chrono::nanoseconds slice = kDefaultSlice,
                        std::function<Clock::time_point()> now = &Clock::now);
    void operator()();

private:
    std::function<void()> processEvents_;
    std::chrono::nanoseconds slice_;
    std::function<Clock::time_point()> now_;
    Clock::time_point last_;
};

} // namespace gg
