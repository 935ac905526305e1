#include "runtime/directory_lister.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace gg {

namespace {

ListError listErrorOf(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return ListError::PermissionDenied;
    case ENOENT:
    case ENOTDIR:
        return ListError::PathNotFound;
    default:
        return ListError::Other;
    }
}

// Closes the folder stream on every way out.
struct DirCloser {
    DIR* dir;
    ~DirCloser() { ::closedir(dir); }
};

} // namespace

bool isPseudoFileSystemType(std::string_view type)
{
    // Not autofs: an automounter's root, /home on many machines, holds the user's own folders.
    static constexpr std::array<std::string_view, 21> kTypes{
        "proc",      "sysfs",    "devtmpfs",   "devpts",     "cgroup",   "cgroup2",
        "debugfs",   "tracefs",  "securityfs", "pstore",     "bpf",      "configfs",
        "fusectl",   "mqueue",   "hugetlbfs",  "binfmt_misc", "efivarfs", "selinuxfs",
        "nsfs",      "rpc_pipefs", "nfsd"};
    for (std::string_view known : kTypes)
        if (type == known)
            return true;
    return false;
}

bool isPseudoFileSystemMagic(unsigned long magic)
{
    // devtmpfs reports the tmpfs number here, so it is only known by name from mountinfo.
    static constexpr std::array<unsigned long, 18> kMagics{
        0x9fa0,     // proc
        0x62656572, // sysfs
        0x1cd1,     // devpts
        0x27e0eb,   // cgroup
        0x63677270, // cgroup2
        0x64626720, // debugfs
        0x74726163, // tracefs
        0x73636673, // securityfs
        0x6165676c, // pstore
        0xcafe4a11, // bpf
        0x62656570, // configfs
        0x65735543, // fusectl
        0x19800202, // mqueue
        0x958458f6, // hugetlbfs
        0x42494e4d, // binfmt_misc
        0xde5e81e4, // efivarfs
        0xf97cff8c, // selinuxfs
        0x6e736673, // nsfs
    };
    for (unsigned long known : kMagics)
        if (magic == known)
            return true;
    return false;
}

FolderFacts PosixDirectoryLister::facts(const std::string& path)
{
    FolderFacts facts;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return facts;
    facts.isFolder = true;
    // Only the mount point stands for the hidden system folder; a folder below it, chosen on
    // purpose, is listed like any other.
    facts.hiddenSystem = isPseudoDevice(path, st.st_dev) && isMountRoot(path, st.st_dev);
    return facts;
}

bool PosixDirectoryLister::isMountRoot(const std::string& path, dev_t device)
{
#ifdef STATX_ATTR_MOUNT_ROOT
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_TYPE, &sx) == 0 && (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0)
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    // Older kernels do not say; then a parent on another device marks the mount point.
    std::string parent = path;
    if (parent.back() != '/')
        parent.push_back('/');
    parent += "..";
    struct stat up {};
    return ::stat(parent.c_str(), &up) != 0 || up.st_dev != device;
}

bool PosixDirectoryLister::isPseudoDevice(const std::string& path, dev_t device)
{
    // A device's file system never changes kind, so each is looked up once per walk.
    if (const auto known = pseudoByDevice_.find(device); known != pseudoByDevice_.end())
        return known->second;

    if (!mountTypesRead_) {
        mountTypesRead_ = true;
        // Fields: id, parent, major:minor, root, mount point, options, optional fields, "-", type, ...
        std::ifstream mounts("/proc/self/mountinfo");
        std::string line;
        while (std::getline(mounts, line)) {
            unsigned major = 0, minor = 0;
            const size_t third = line.find(' ', line.find(' ') + 1);
            if (third == std::string::npos || std::sscanf(line.c_str() + third + 1, "%u:%u", &major, &minor) != 2)
                continue;
            const size_t dash = line.find(" - ");
            if (dash == std::string::npos)
                continue;
            const size_t typeStart = dash + 3;
            const size_t typeEnd = line.find(' ', typeStart);
            mountTypes_[makedev(major, minor)] = line.substr(typeStart, typeEnd - typeStart);
        }
    }

    bool pseudo = false;
    if (const auto type = mountTypes_.find(device); type != mountTypes_.end()) {
        pseudo = isPseudoFileSystemType(type->second);
    } else {
        struct statfs fs {};
        if (::statfs(path.c_str(), &fs) == 0)
            pseudo = isPseudoFileSystemMagic(static_cast<unsigned long>(fs.f_type) & 0xffffffffUL);
    }
    pseudoByDevice_.emplace(device, pseudo);
    return pseudo;
}

ListError PosixDirectoryLister::listSubFolders(const std::string& path, const SubFolderSink& sink)
{
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return listErrorOf(errno);
    DirCloser closer{dir};
    const int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry)
            return errno == 0 ? ListError::None : listErrorOf(errno);
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        unsigned char type = entry->d_type;
        struct stat st {};
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        bool isLink = false;
        if (type == DT_LNK) {
            // Only a link whose target is a folder counts as a sub-folder.
            if (::fstatat(dirFd, name, &st, 0) != 0 || !S_ISDIR(st.st_mode))
                continue;
            isLink = true;
        } else if (type != DT_DIR) {
            continue;
        }
        sink(SubFolder{std::string_view(name, std::strlen(name)), isLink});
    }
}

} // namespace gg
