#include "tool/output_files.h"

#include "icons/atomic_file.h"
#include "icons/save_names.h"
#include "runtime/error_trap.h"

#include <QFile>

#include <cerrno>
#include <filesystem>

namespace gg::tool {

namespace {

WriteResult failed(const StepFailure& failure)
{
    const auto* file = dynamic_cast<const FileFailure*>(&failure);
    return {Written::Failed, failure.what(), file != nullptr ? file->error() : 0};
}

} // namespace

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
    // The base is made from the name alone, so the folder's bytes are kept as given.
    const std::string name = std::filesystem::path(sourcePath).filename().string();
    const std::string base = QFile::encodeName(SaveBasePath(QString(), QFile::decodeName(QByteArray::fromStdString(name)))).toStdString();
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
