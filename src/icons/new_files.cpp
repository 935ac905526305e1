#include "icons/new_files.h"

#include "icons/atomic_file.h"

#include <cerrno>
#include <optional>
#include <utility>

namespace gg {

namespace {

// "dir/name" -> {"dir", "name"}; a bare name lies in ".", and "/name" in "/".
std::pair<std::string, std::string> splitPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

FileOutcome failedAt(FileStep step, int error, std::size_t written = 0)
{
    return FileOutcome{step, error, written, {}};
}

// Opens a new file in the folder and writes the bytes into it; not yet placed.
FileOutcome fill(AtomicFile& file, int folder, std::span<const std::uint8_t> bytes)
{
    if (const int error = file.open(folder); error != 0)
        return failedAt(FileStep::Open, error);
    if (const int error = file.write(bytes); error != 0)
        return failedAt(FileStep::Write, error, file.written());
    return FileOutcome{FileStep::None, 0, file.written(), {}};
}

FileOutcome placed(const AtomicFile& file, int error, FileOutcome outcome)
{
    outcome.name = file.name();
    if (error != 0) {
        outcome.failedStep = FileStep::Place;
        outcome.error = error;
    }
    return outcome;
}

} // namespace

FileOutcome NewFiles::write(const std::string& folder, const std::string& base, const std::string& suffix,
                            std::span<const std::uint8_t> bytes)
{
    FreeNames::Probe probe = names_.probe(base, suffix);
    const FolderHandle handle = FolderHandle::open(folder);
    if (!handle.isValid()) {
        FileOutcome outcome = failedAt(FileStep::Open, errno);
        outcome.name = probe.first(-1);
        return outcome;
    }
    if (folder != readFolder_) {
        // What a killed writer left here goes before this run adds its own files.
        names_.readFolder(handle.fd());
        readFolder_ = folder;
    }
    AtomicFile file;
    FileOutcome outcome = fill(file, handle.fd(), bytes);
    if (!outcome.ok()) {
        outcome.name = probe.first(handle.fd());
        return outcome;
    }
    const int error = file.commitAsNew([&] { return std::optional<std::string>(probe(handle.fd())); });
    outcome = placed(file, error, std::move(outcome));
    if (outcome.ok())
        probe.taken();
    return outcome;
}

namespace {

// Fills a new file in the folder of path; place(file, name) puts it in place and answers an errno.
template <class Place>
FileOutcome writeAt(const std::string& path, std::span<const std::uint8_t> bytes, const Place& place)
{
    const auto [folder, name] = splitPath(path);
    if (name.empty())
        return failedAt(FileStep::Open, path.empty() ? ENOENT : EISDIR);
    const FolderHandle handle = FolderHandle::open(folder);
    if (!handle.isValid())
        return failedAt(FileStep::Open, errno);
    AtomicFile file;
    FileOutcome outcome = fill(file, handle.fd(), bytes);
    if (!outcome.ok())
        return outcome;
    return placed(file, place(file, name), std::move(outcome));
}

} // namespace

FileOutcome writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    return writeAt(path, bytes, [](AtomicFile& file, const std::string& name) {
        bool offered = false;
        return file.commitAsNew([&]() -> std::optional<std::string> {
            if (offered)
                return std::nullopt; // it turned up meanwhile: not ours to replace
            offered = true;
            return name;
        });
    });
}

FileOutcome replaceFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    return writeAt(path, bytes, [](AtomicFile& file, const std::string& name) { return file.commitReplacing(name); });
}

bool failsForEveryFile(int error)
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
