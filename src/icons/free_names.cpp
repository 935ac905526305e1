#include "icons/free_names.h"

#include "icons/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace gg {

namespace {

// A folder is known by its device and inode, not its path: another folder put in its place at the
// same path is another folder.
std::string folderIdentity(int folder)
{
    struct stat st {};
    if (::fstat(folder, &st) != 0)
        return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

} // namespace

void FreeNames::readFolder(int folder)
{
    readFolder_ = folderIdentity(folder);
    readNames_.clear();
    removeStaleTemporaryFiles(folder, [&](std::string_view name) { readNames_.emplace(name); });
}

std::string FreeNames::Probe::candidate(std::uint64_t number) const
{
    return number == 0 ? base_ + suffix_ : base_ + std::to_string(number) + suffix_;
}

void FreeNames::Probe::start(int folder)
{
    folder_ = folderIdentity(folder);
    key_ = folder_ + "/" + base_ + "/" + suffix_;
    const auto it = names_.resumeAt_.find(key_);
    number_ = it == names_.resumeAt_.end() ? 0 : it->second;
    started_ = true;
}

std::string FreeNames::Probe::first(int folder)
{
    if (!started_)
        start(folder);
    return candidate(number_);
}

std::string FreeNames::Probe::operator()(int folder)
{
    if (!started_)
        start(folder);
    const bool listed = !folder_.empty() && folder_ == names_.readFolder_;
    auto taken = [&](const std::string& name) {
        // A name taken since the folder was read is refused when the file is placed, which then
        // asks for the next: the listing saves a look per name.
        if (listed)
            return names_.readNames_.contains(name);
        // Without following links: a dangling link holds its name too. A name that cannot be
        // looked at (too long, say) is handed out all the same, and creating it reports why.
        struct stat st {};
        return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    };
    std::string name = candidate(number_);
    while (taken(name))
        name = candidate(++number_);
    given_ = number_++;
    return name;
}

void FreeNames::Probe::taken()
{
    if (started_)
        names_.resumeAt_[key_] = given_ + 1;
}

std::string sequenceBase(const std::string& fileName)
{
    const std::size_t lastDot = fileName.rfind('.');
    return lastDot == std::string::npos ? fileName : fileName.substr(0, lastDot);
}

std::optional<std::string> firstFreeName(const std::string& folder, const std::string& base, const std::string& suffix)
{
    const FolderHandle handle = FolderHandle::open(folder);
    if (!handle.isValid())
        return std::nullopt;
    FreeNames names;
    return names.probe(base, suffix)(handle.fd());
}

} // namespace gg
