#include "icon_writer/atomic_file.h"

#include "shell/error_trap.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace gg {

namespace {

[[noreturn]] void failWithErrno(int error)
{
    throw StepFailure(std::generic_category().message(error));
}

std::atomic<unsigned> temporaryCounter{0};

// ".<name>.<pid>-<n>.tmp" beside the target; the name part is cut so that a target whose name
// is close to the length limit still gets a temporary name within it.
std::string temporaryNameFor(const std::string& target, unsigned n)
{
    const std::filesystem::path path(target);
    std::string name = path.filename().string();
    if (name.size() > 200)
        name.resize(200);
    const std::string leaf = "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(n) + ".tmp";
    return (path.parent_path() / leaf).string();
}

} // namespace

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::open(const std::string& target)
{
    discard();
    if (target.empty())
        failWithErrno(ENOENT);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temporaryNameFor(target, temporaryCounter.fetch_add(1));
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            target_ = target;
            temporary_ = candidate;
            return;
        }
        if (errno != EEXIST)
            failWithErrno(errno);
    }
    failWithErrno(EEXIST);
}

void AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    if (fd_ < 0)
        failWithErrno(EBADF);
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno(errno);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

void AtomicFile::commit()
{
    if (fd_ < 0)
        failWithErrno(EBADF);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        failWithErrno(error);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        failWithErrno(error);
    }
    temporary_.clear();
}

void AtomicFile::discard() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

} // namespace gg
