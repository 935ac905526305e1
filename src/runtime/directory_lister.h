#pragma once
// What the folder scan asks of the file system: a few facts about a folder and the names of its
// sub-folders. The scan takes it as an interface so that tests can deny access even when they
// run as root, where permission bits deny nothing.

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>

namespace gg {

enum class ListError {
    None,
    PermissionDenied, // the folder exists but may not be read
    PathNotFound,     // the folder is gone, or the path names something else
    Other,
};

struct FolderFacts {
    bool isFolder = false;     // the path names a folder, following links
    bool hiddenSystem = false; // the mount point of a kernel pseudo file system (proc, sysfs, ...)
};

struct SubFolder {
    std::string_view name; // valid only during the callback
    bool isLink = false;   // a symbolic link whose target is a folder
};

class DirectoryLister {
public:
    using SubFolderSink = std::function<void(const SubFolder&)>;

    virtual ~DirectoryLister() = default;
    // Never fails: a path that cannot be examined is simply no folder.
    virtual FolderFacts facts(const std::string& path) = 0;
    // Hands every sub-folder of path (links to folders included) to sink, in the order the file
    // system lists them. Sub-folders handed over before an error stay handed over.
    virtual ListError listSubFolders(const std::string& path, const SubFolderSink& sink) = 0;
};

// The real file system through POSIX calls. Keep one per walk: it remembers each device's kind.
class PosixDirectoryLister final : public DirectoryLister {
public:
    FolderFacts facts(const std::string& path) override;
    ListError listSubFolders(const std::string& path, const SubFolderSink& sink) override;

private:
    bool isPseudoDevice(const std::string& path, dev_t device);
    static bool isMountRoot(const std::string& path, dev_t device);

    std::unordered_map<dev_t, bool> pseudoByDevice_;
    std::unordered_map<dev_t, std::string> mountTypes_;
    bool mountTypesRead_ = false;
};

// True for the names of kernel pseudo file systems as /proc/self/mountinfo gives them.
bool isPseudoFileSystemType(std::string_view type);
// True for the statfs magic numbers of kernel pseudo file systems.
bool isPseudoFileSystemMagic(unsigned long magic);

} // namespace gg
