#include "icons/theme_record.h"

#include "icons/c_libraries.h"
#include "icons/icon_theme.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gg {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kRecordHeading = "glimmer-gatherer icon record 1";
// Larger files are not ours: our largest is a 256 x 256 PNG.
constexpr std::uint64_t kMaxOwnedBytes = std::uint64_t{16} << 20;
constexpr std::uint64_t kMaxRecordBytes = std::uint64_t{1} << 20;

} // namespace

std::string sizeFolder(int side) { return std::string(kThemeFolder) + '/' + std::to_string(side) + 'x' + std::to_string(side); }
std::string iconPath(int side, const std::string& name) { return sizeFolder(side) + "/apps/" + name + ".png"; }
std::string launcherFile(const std::string& name) { return "applications/" + name + ".desktop"; }

bool ownableFile(const std::string& path, const std::string& name)
{
    if (path == launcherFile(name))
        return true;
    return std::any_of(kThemeSides.begin(), kThemeSides.end(), [&](int side) { return path == iconPath(side, name); });
}

bool ownableFolder(const std::string& path)
{
    if (path == "icons" || path == kThemeFolder || path == "applications")
        return true;
    return std::any_of(kThemeSides.begin(), kThemeSides.end(),
                       [&](int side) { return path == sizeFolder(side) || path == sizeFolder(side) + "/apps"; });
}

Fingerprint fingerprintOf(std::span<const std::uint8_t> bytes)
{
    return {bytes.size(), static_cast<std::uint32_t>(libdeflate().crc32(0, bytes.data(), bytes.size()))};
}

std::optional<Bytes> readRegularFile(const std::string& fullPath, std::uint64_t limit, int& error)
{
    error = 0;
    const int fd = ::open(fullPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    struct stat info {};
    std::optional<Bytes> bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) <= limit) {
        bytes.emplace(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                bytes.reset();
                break;
            }
            done += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return bytes;
}

std::optional<Fingerprint> fingerprintOfFile(const std::string& fullPath)
{
    int error = 0;
    std::optional<Bytes> bytes = readRegularFile(fullPath, kMaxOwnedBytes, error);
    if (!bytes)
        return std::nullopt;
    return fingerprintOf(*bytes);
}

std::string recordText(const InstallRecord& record)
{
    std::string text = std::string(kRecordHeading) + '\n';
    for (const std::string& folder : record.folders)
        text += "folder " + folder + '\n';
    for (const InstallRecord::File& file : record.files) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", file.print.crc);
        text += "file " + std::string(crc) + ' ' + std::to_string(file.print.size) + ' ' + file.path + '\n';
    }
    return text;
}

InstallRecord parseRecord(std::string_view text, const std::string& name)
{
    InstallRecord record;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with("folder ")) {
            const std::string path(line.substr(7));
            if (ownableFolder(path))
                record.addFolder(path);
        } else if (line.starts_with("file ") && line.size() > 16 && line[13] == ' ') {
            InstallRecord::File file;
            const char* at = line.data() + 5;
            const char* stop = line.data() + line.size();
            auto crc = std::from_chars(at, at + 8, file.print.crc, 16);
            if (crc.ec != std::errc() || crc.ptr != at + 8)
                continue;
            auto size = std::from_chars(at + 9, stop, file.print.size);
            if (size.ec != std::errc() || size.ptr == stop || *size.ptr != ' ')
                continue;
            file.path.assign(size.ptr + 1, stop);
            if (ownableFile(file.path, name))
                record.files.push_back(std::move(file));
        }
    }
    return record;
}

RecordState readRecord(const std::string& path, const std::string& name, InstallRecord& record, int& error)
{
    std::optional<Bytes> bytes = readRegularFile(path, kMaxRecordBytes, error);
    if (!bytes)
        return error == ENOENT ? RecordState::Missing : RecordState::Unreadable;
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    if (!text.starts_with(std::string(kRecordHeading) + '\n')) {
        error = EINVAL;
        return RecordState::Unreadable;
    }
    record = parseRecord(text, name);
    return RecordState::Read;
}

} // namespace gg
