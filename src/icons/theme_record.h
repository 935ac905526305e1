// The record an install of an icon keeps: the files and folders it made, each file with its length
// and checksum, so that only what we wrote and what still holds our bytes is ever replaced or
// removed. Paths are relative to the data home unless they are called full.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gg {

inline constexpr const char* kThemeFolder = "icons/hicolor";
inline constexpr const char* kRecordFolder = "glimmer-gatherer/installed-icons";

std::string sizeFolder(int side);
std::string iconPath(int side, const std::string& name);
std::string launcherFile(const std::string& name);

// Only these are ever written or removed: a record edited by hand or damaged leads nowhere else.
bool ownableFile(const std::string& path, const std::string& name);
bool ownableFolder(const std::string& path);

struct Fingerprint {
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    bool operator==(const Fingerprint&) const = default;
};

Fingerprint fingerprintOf(std::span<const std::uint8_t> bytes);
// Of a regular file of at most 16 MiB (larger ones are not ours), not through a link.
std::optional<Fingerprint> fingerprintOfFile(const std::string& fullPath);

// The whole of a regular file (not through a link), at most limit bytes; nullopt otherwise.
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& fullPath, std::uint64_t limit, int& error);

// What one install put in place. A path may appear twice while a replacing install runs: the
// old file's fingerprint and the new one's.
struct InstallRecord {
    struct File {
        std::string path;
        Fingerprint print;
    };
    std::vector<File> files;
    std::vector<std::string> folders; // made by the install, outermost first

    bool holds(const std::string& path, const Fingerprint& print) const
    {
        return std::any_of(files.begin(), files.end(), [&](const File& f) { return f.path == path && f.print == print; });
    }
    void addFolder(const std::string& path)
    {
        if (std::find(folders.begin(), folders.end(), path) == folders.end())
            folders.push_back(path);
    }
};

std::string recordText(const InstallRecord& record);
// Lines that are not understood are passed over: they lead to nothing being touched.
InstallRecord parseRecord(std::string_view text, const std::string& name);

enum class RecordState { Missing, Read, Unreadable };

// Reads the record of the name at path; error says why it is missing or unreadable.
RecordState readRecord(const std::string& path, const std::string& name, InstallRecord& record, int& error);

} // namespace gg
