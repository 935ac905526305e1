#include "tool/output_files.h"

#include "icons/errno_text.h"
#include "icons/free_names.h"
#include "icons/termination_signals.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace gg::tool {

namespace {

WriteResult failedWith(int error) { return {false, errnoText(error), error}; }

WriteResult resultOf(const FileOutcome& outcome)
{
    return outcome.ok() ? WriteResult{true, {}, 0} : failedWith(outcome.error);
}

// Writes all of bytes at offset; the errno of the first failure, or 0.
int writeAllAt(int fd, std::span<const std::uint8_t> bytes, off_t offset)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

WriteResult writeIntoFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    TerminationDeferral deferral;
    // Non-blocking, so that a FIFO in its place cannot hold us up before it is refused.
    bool created = true;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0)
        return failedWith(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(fd);
        return S_ISREG(info.st_mode) ? failedWith(error) : WriteResult{false, "not a regular file", 0};
    }
    // What the new bytes will cover, to put back should the write fail halfway.
    std::vector<std::uint8_t> before(std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), bytes.size()));
    if (!before.empty() && ::pread(fd, before.data(), before.size(), 0) != static_cast<ssize_t>(before.size())) {
        const int error = errno != 0 ? errno : EIO;
        ::close(fd);
        return failedWith(error);
    }
    int error = writeAllAt(fd, bytes, 0);
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        error = errno;
    if (error != 0) {
        if (created) {
            ::unlink(path.c_str());
        } else {
            // Should this fail too, the write's own failure is still the one to report.
            writeAllAt(fd, before, 0);
            [[maybe_unused]] const int cut = ::ftruncate(fd, info.st_size);
        }
        ::close(fd);
        return failedWith(error);
    }
    if (::close(fd) != 0)
        return failedWith(errno);
    return {true, {}, 0};
}

OutputNames::OutputNames(std::string folder, bool overwrite) : folder_(std::move(folder)), overwrite_(overwrite)
{
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
}

OutputNames::Saved OutputNames::save(const std::string& sourcePath, const std::string& suffix,
                                     std::span<const std::uint8_t> bytes)
{
    // The window's rule on the name's bytes: a name that is not UTF-8 keeps them.
    const std::string base = sequenceBase(std::filesystem::path(sourcePath).filename().string());
    if (overwrite_) {
        std::uint64_t& next = next_[base + '\n' + suffix];
        const std::string path = folder_ + base + (next == 0 ? std::string() : std::to_string(next)) + suffix;
        ++next;
        return Saved{path, resultOf(replaceFile(path, bytes))};
    }
    const FileOutcome outcome = newFiles_.write(folder_.empty() ? "." : folder_, base, suffix, bytes);
    return Saved{folder_ + outcome.name, resultOf(outcome)};
}

} // namespace gg::tool
