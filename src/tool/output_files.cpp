#include "tool/output_files.h"

#include "icons/atomic_file.h"
#include "runtime/error_trap.h"
#include "runtime/termination_signals.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace gg::tool {

namespace {

WriteResult failed(const StepFailure& failure)
{
    const auto* file = dynamic_cast<const FileFailure*>(&failure);
    return {Written::Failed, failure.what(), file != nullptr ? file->error() : 0};
}

WriteResult failedWith(int error) { return {Written::Failed, std::generic_category().message(error), error}; }

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
        return S_ISREG(info.st_mode) ? failedWith(error) : WriteResult{Written::Failed, "not a regular file", 0};
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
    return {Written::Yes, {}};
}

WriteResult writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace)
{
    if (!replace) {
        const std::filesystem::path target(path);
        bool offered = false;
        const Placed placed = writeNewFile(target.has_parent_path() ? target.parent_path().string() : ".", bytes,
                                           [&]() -> std::optional<std::string> {
                                               if (offered)
                                                   return std::nullopt;
                                               offered = true;
                                               return target.filename().string();
                                           });
        return placed.result;
    }
    try {
        AtomicFile file;
        file.open(path);
        file.write(bytes);
        file.commitReplacing();
        return {Written::Yes, {}};
    } catch (const StepFailure& failure) {
        return failed(failure);
    }
}

Placed writeNewFile(const std::string& folder, std::span<const std::uint8_t> bytes,
                    const std::function<std::optional<std::string>()>& nextName)
{
    Placed placed;
    try {
        AtomicFile file;
        file.openInFolder(folder);
        file.write(bytes);
        // The file gets a name only once it is whole, and never one that something holds.
        placed.name = file.commitAsNew([&] {
            std::optional<std::string> name = nextName();
            if (!name)
                throw FileFailure(EEXIST);
            placed.name = *name;
            return *name;
        });
        placed.result = {Written::Yes, {}};
    } catch (const FileFailure& failure) {
        placed.result = failure.error() == EEXIST ? WriteResult{Written::NameTaken, {}, EEXIST} : failed(failure);
    } catch (const StepFailure& failure) {
        placed.result = failed(failure);
    }
    return placed;
}

OutputNames::OutputNames(std::string folder, bool overwrite) : folder_(std::move(folder)), overwrite_(overwrite)
{
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
}

OutputNames::Saved OutputNames::save(const std::string& sourcePath, const std::string& suffix,
                                     std::span<const std::uint8_t> bytes)
{
    // The window's rule (SaveBasePath) on the name's bytes: a name that is not UTF-8 keeps them.
    const std::string name = std::filesystem::path(sourcePath).filename().string();
    const std::size_t lastDot = name.rfind('.');
    const std::string base = lastDot == std::string::npos ? name : name.substr(0, lastDot);
    std::uint64_t& next = next_[base + '\n' + suffix];
    auto candidate = [&] { return base + (next == 0 ? std::string() : std::to_string(next)) + suffix; };
    if (overwrite_) {
        const std::string path = folder_ + candidate();
        ++next;
        return Saved{path, writeOutputFile(path, bytes, true)};
    }
    std::string last = candidate();
    const Placed placed = writeNewFile(folder_.empty() ? "." : folder_, bytes, [&]() -> std::optional<std::string> {
        last = candidate();
        ++next;
        return last;
    });
    return Saved{folder_ + (placed.name.empty() ? last : placed.name), placed.result};
}

} // namespace gg::tool
