#include "icons/save_names.h"

#include "icons/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace gg {

QString SaveBasePath(const QString& outputFolder, const QString& caption)
{
    QString folder = outputFolder;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    const qsizetype lastDot = caption.lastIndexOf(u'.');
    return folder + (lastDot < 0 ? caption : caption.left(lastDot));
}

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

void FreeIconNames::readFolder(int folder)
{
    readFolder_ = folderIdentity(folder);
    readNames_.clear();
    RemoveStaleTemporaryFiles(folder, [&](std::string_view name) {
        if (name.ends_with(".ico"))
            readNames_.emplace(name);
    });
}

std::string FreeIconNames::Probe::candidate(std::uint64_t number) const
{
    return number == 0 ? base_ + ".ico" : base_ + std::to_string(number) + ".ico";
}

std::string FreeIconNames::Probe::operator()(int folder)
{
    if (!started_) {
        folder_ = folderIdentity(folder);
        key_ = folder_ + "/" + base_;
        const auto it = names_.resumeAt_.find(key_);
        number_ = it == names_.resumeAt_.end() ? 0 : it->second;
        started_ = true;
    }
    const bool listed = !folder_.empty() && folder_ == names_.readFolder_;
    auto taken = [&](const std::string& name) {
        // Without following links: a dangling link holds its name too. A name that cannot be
        // looked at (too long, say) is handed out all the same, and creating it reports why.
        struct stat st {};
        return (listed && names_.readNames_.contains(name))
               || ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    };
    std::string name = candidate(number_);
    while (taken(name))
        name = candidate(++number_);
    given_ = number_++;
    return name;
}

void FreeIconNames::Probe::taken()
{
    if (started_)
        names_.resumeAt_[key_] = given_ + 1;
}

bool FailsForEveryIcon(int error)
{
    switch (error) {
    case ENAMETOOLONG:
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case EACCES:
    case EPERM:
    case ENOENT:
    case ENOTDIR:
    case ESTALE:
    case EIO:
    case EFBIG:
        return true;
    default:
        return false;
    }
}

} // namespace gg
