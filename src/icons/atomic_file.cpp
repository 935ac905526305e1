#include "icons/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gg {

namespace {

constexpr std::string_view kTemporaryPrefix = ".glimmer-";
constexpr std::string_view kTemporarySuffix = ".tmp";
// Names tried before a placement gives up; only a race lost this often ends it.
constexpr int kMaxNameAttempts = 100000;
// Well above any file the writer makes; a bigger file under one of our names is not ours.
constexpr off_t kLargestTemporaryFile = 65536;
// Marks a file system on which a nameless file cannot be given a name.
constexpr int kCannotLink = -1;

std::atomic<unsigned> temporaryCounter{0};

std::string nextTemporaryName()
{
    return std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "." + std::to_string(temporaryCounter++)
           + std::string(kTemporarySuffix);
}

bool allDigits(std::string_view s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// ".glimmer-<pid>.<n>.tmp", and ".<name>.ico.<pid>-<n>.tmp" of earlier versions of the program.
bool isOurTemporaryName(std::string_view name)
{
    if (!name.ends_with(kTemporarySuffix))
        return false;
    std::string_view body = name.substr(0, name.size() - kTemporarySuffix.size());
    if (name.starts_with(kTemporaryPrefix)) {
        body.remove_prefix(kTemporaryPrefix.size());
        const std::size_t dot = body.find('.');
        return dot != std::string_view::npos && allDigits(body.substr(0, dot)) && allDigits(body.substr(dot + 1));
    }
    const std::size_t ico = body.rfind(".ico.");
    if (!name.starts_with('.') || ico == std::string_view::npos)
        return false;
    const std::string_view numbers = body.substr(ico + 5);
    const std::size_t dash = numbers.find('-');
    return dash != std::string_view::npos && allDigits(numbers.substr(0, dash)) && allDigits(numbers.substr(dash + 1));
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int lockExclusive(int fd)
{
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

// Whether linking a descriptor itself (AT_EMPTY_PATH) works for us: newer kernels allow it for
// the file's own opener, older ones only with a privilege. Until known, it is tried first.
enum class Answer { Unknown, Yes, No };
std::atomic<Answer> linkByDescriptor{Answer::Unknown};

// Gives a nameless (O_TMPFILE) file a name in the folder; kCannotLink where that is impossible.
int linkNameless(int fd, int folder, const std::string& name)
{
    if (linkByDescriptor.load() != Answer::No) {
        if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) {
            linkByDescriptor.store(Answer::Yes);
            return 0;
        }
        const int error = errno;
        if (error != ENOENT && error != EPERM)
            return error;
    }
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, procPath, folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        linkByDescriptor.store(Answer::No);
        return 0;
    }
    const int error = errno;
    if (error == EEXIST)
        linkByDescriptor.store(Answer::No);
    if ((error == ENOENT && ::access("/proc/self/fd", F_OK) != 0) || error == EPERM || error == EOPNOTSUPP
        || error == EXDEV)
        return kCannotLink;
    return error;
}

// Puts the named temporary file under a new name that nothing holds; never replaces anything.
int placeNamedAsNew(int folder, const std::string& temporary, const std::string& name)
{
    if (::renameat2(folder, temporary.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;
    // No RENAME_NOREPLACE here: a hard link fails on an existing name just the same.
    if (::linkat(folder, temporary.c_str(), folder, name.c_str(), 0) == 0) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return 0;
    }
    error = errno;
    if (error != EPERM && error != EOPNOTSUPP && error != EMLINK)
        return error;
    // Neither: claim the name with an empty file of our own, then put the file over it.
    const int claim = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (claim < 0)
        return errno;
    struct stat claimed {};
    ::fstat(claim, &claimed);
    ::close(claim);
    if (::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0)
        return 0;
    error = errno;
    struct stat now {};
    if (::fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(now, claimed))
        ::unlinkat(folder, name.c_str(), 0);
    return error;
}

} // namespace

FolderHandle FolderHandle::open(const std::string& path)
{
    if (path.empty()) {
        errno = ENOENT;
        return FolderHandle();
    }
    return FolderHandle(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_)
{
    other.fd_ = -1;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FolderHandle::~FolderHandle()
{
    if (fd_ >= 0)
        ::close(fd_);
}

AtomicFile::~AtomicFile()
{
    discard();
}

int AtomicFile::fail(int error)
{
    discard();
    return error;
}

int AtomicFile::open(int folder)
{
    if (fd_ >= 0 || !temporary_.empty())
        discard();
    folder_ = folder;
    written_ = 0;
    name_.clear();
    deferral_.emplace();
    // Nameless until complete: nothing to clear away whenever the process ends.
    const int fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0) {
        fd_ = fd;
        return 0;
    }
    const int error = errno;
    if (error != EOPNOTSUPP && error != EISDIR && error != EINVAL)
        return fail(error);
    if (const int created = createTemporary(); created != 0)
        return fail(created);
    return 0;
}

// A new file under a temporary name of its own, locked for as long as it is open.
int AtomicFile::createTemporary()
{
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const std::string name = nextTemporaryName();
        const int fd = ::openat(folder_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        // A clean-up in another process may have taken the name before the lock: then start over.
        struct stat mine {}, named {};
        const int locked = lockExclusive(fd);
        if (locked == 0 && ::fstat(fd, &mine) == 0
            && (::fstatat(folder_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(mine, named))) {
            ::close(fd);
            continue;
        }
        fd_ = fd;
        temporary_ = name;
        return 0;
    }
    return EEXIST;
}

// Gives the nameless file a temporary name: by linking it where possible, else by copying it
// into a named file.
int AtomicFile::giveTemporaryName()
{
    lockExclusive(fd_);
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const std::string name = nextTemporaryName();
        const int linked = linkNameless(fd_, folder_, name);
        if (linked == 0) {
            temporary_ = name;
            return 0;
        }
        if (linked == kCannotLink)
            break;
        if (linked != EEXIST)
            return linked;
    }
    const int nameless = fd_;
    fd_ = -1;
    const int created = createTemporary();
    if (created != 0) {
        ::close(nameless);
        return created;
    }
    std::uint8_t buffer[8192];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(nameless, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            const int error = got < 0 ? errno : 0;
            ::close(nameless);
            return error;
        }
        std::size_t copied = 0;
        if (const int error = writeAll(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(got)), copied);
            error != 0) {
            ::close(nameless);
            return error;
        }
        offset += got;
    }
}

// Writes the whole of bytes, retrying interrupted calls; done tells how many got in.
int AtomicFile::writeAll(std::span<const std::uint8_t> bytes, std::size_t& done)
{
    done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    if (fd_ < 0)
        return fail(EBADF);
    std::size_t done = 0;
    const int error = writeAll(bytes, done);
    written_ += done;
    return error != 0 ? fail(error) : 0;
}

int AtomicFile::commitReplacing(const std::string& name)
{
    if (fd_ < 0)
        return fail(EBADF);
    name_ = name;
    if (temporary_.empty()) {
        if (const int named = giveTemporaryName(); named != 0)
            return fail(named);
    }
    if (::renameat(folder_, temporary_.c_str(), folder_, name.c_str()) != 0)
        return fail(errno);
    temporary_.clear();
    close();
    return 0;
}

int AtomicFile::commitAsNew(const std::function<std::optional<std::string>()>& nextName)
{
    if (fd_ < 0)
        return fail(EBADF);
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        std::optional<std::string> name = nextName();
        if (!name)
            break;
        name_ = std::move(*name);
        int placed = 0;
        if (temporary_.empty()) {
            placed = linkNameless(fd_, folder_, name_);
            if (placed == kCannotLink) {
                if (const int named = giveTemporaryName(); named != 0)
                    return fail(named);
                placed = placeNamedAsNew(folder_, temporary_, name_);
            }
        } else {
            placed = placeNamedAsNew(folder_, temporary_, name_);
        }
        if (placed == EEXIST)
            continue; // taken meanwhile: the next name
        if (placed != 0)
            return fail(placed);
        temporary_.clear();
        close();
        return 0;
    }
    return fail(EEXIST);
}

void AtomicFile::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    deferral_.reset();
}

void AtomicFile::discard() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlinkat(folder_, temporary_.c_str(), 0);
        temporary_.clear();
    }
    // Last: a termination request that waited for this file may end the process here.
    deferral_.reset();
}

int removeStaleTemporaryFiles(int folder, const std::function<void(std::string_view name)>& otherName)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return 0;
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (!isOurTemporaryName(name)) {
            if (otherName)
                otherName(name);
            continue;
        }
        const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {}, named {};
        // Ours: a small regular file of this user that no writer holds.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid()
            && opened.st_size <= kLargestTemporaryFile && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named)
            && ::unlinkat(folder, name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

} // namespace gg
