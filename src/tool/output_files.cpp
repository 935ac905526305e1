#include "tool/output_files.h"

#include "icon_writer/atomic_file.h"
#include "saving/save_names.h"
#include "shell/error_trap.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace gg::tool {

WriteResult writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace)
{
    if (replace) {
        try {
            AtomicFile file;
            file.open(path);
            file.write(bytes);
            file.commit();
            return {Written::Yes, {}};
        } catch (const StepFailure& failure) {
            return {Written::Failed, failure.what()};
        }
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return {Written::NameTaken, {}};
        return {Written::Failed, std::generic_category().message(errno)};
    }
    int error = 0;
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(done));
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        // The name was free before: what was made of it goes again rather than stay cut short.
        ::unlink(path.c_str());
        return {Written::Failed, std::generic_category().message(error)};
    }
    return {Written::Yes, {}};
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
    const QString base = SaveBasePath(QString(), QFile::decodeName(QByteArray::fromStdString(name)));
    const std::string basePath = folder_ + QFile::encodeName(base).toStdString();
    std::uint64_t& next = next_[basePath + '\n' + suffix];
    for (;;) {
        const std::string candidate = basePath + (next == 0 ? std::string() : std::to_string(next)) + suffix;
        ++next;
        WriteResult result = writeOutputFile(candidate, bytes, overwrite_);
        if (result.outcome != Written::NameTaken)
            return Saved{candidate, std::move(result)};
    }
}

bool OutputNames::folderTakesNewFiles() const
{
    return FolderTakesNewFiles(folder_.empty() ? QStringLiteral(".") : QFile::decodeName(QByteArray::fromStdString(folder_)));
}

} // namespace gg::tool
