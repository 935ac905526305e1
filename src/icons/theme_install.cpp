#include "icons/theme_install.h"

#include "icons/errno_text.h"
#include "icons/new_files.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace gg {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kTheme = "icons/hicolor";
constexpr const char* kRecordFolder = "glimmer-gatherer/installed-icons";
constexpr const char* kRecordHeading = "glimmer-gatherer icon record 1";
// Larger files are not ours: our largest is a 256 x 256 PNG.
constexpr std::uint64_t kMaxOwnedBytes = std::uint64_t{16} << 20;
constexpr std::uint64_t kMaxRecordBytes = std::uint64_t{1} << 20;

// Paths below are relative to the data home unless they are called full.
std::string sizeFolder(int side) { return std::string(kTheme) + '/' + std::to_string(side) + 'x' + std::to_string(side); }
std::string iconPath(int side, const std::string& name) { return sizeFolder(side) + "/apps/" + name + ".png"; }
std::string launcherFile(const std::string& name) { return "applications/" + name + ".desktop"; }

// Only these are ever written or removed: a record edited by hand or damaged leads nowhere else.
bool ownableFile(const std::string& path, const std::string& name)
{
    if (path == launcherFile(name))
        return true;
    return std::any_of(kThemeSides.begin(), kThemeSides.end(), [&](int side) { return path == iconPath(side, name); });
}

bool ownableFolder(const std::string& path)
{
    if (path == "icons" || path == kTheme || path == "applications")
        return true;
    return std::any_of(kThemeSides.begin(), kThemeSides.end(),
                       [&](int side) { return path == sizeFolder(side) || path == sizeFolder(side) + "/apps"; });
}

struct Fingerprint {
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    bool operator==(const Fingerprint&) const = default;
};

Fingerprint fingerprintOf(std::span<const std::uint8_t> bytes)
{
    return {bytes.size(), static_cast<std::uint32_t>(libdeflate_crc32(0, bytes.data(), bytes.size()))};
}

// The whole of a regular file (not through a link), at most limit bytes; nullopt otherwise.
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

bool exists(const std::string& fullPath)
{
    struct stat info {};
    return ::lstat(fullPath.c_str(), &info) == 0;
}

// What one install put in place. A path may appear twice while a replacing install runs: the
// old file's fingerprint and the new one's.
struct Record {
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

std::string recordText(const Record& record)
{
    std::string text = std::string(kRecordHeading) + '\n';
    for (const std::string& folder : record.folders)
        text += "folder " + folder + '\n';
    for (const Record::File& file : record.files) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", file.print.crc);
        text += "file " + std::string(crc) + ' ' + std::to_string(file.print.size) + ' ' + file.path + '\n';
    }
    return text;
}

// Lines that are not understood are passed over: they lead to nothing being touched.
Record parseRecord(std::string_view text, const std::string& name)
{
    Record record;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with("folder ")) {
            const std::string path(line.substr(7));
            if (ownableFolder(path))
                record.addFolder(path);
        } else if (line.starts_with("file ") && line.size() > 16 && line[13] == ' ') {
            Record::File file;
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

// The data home and each folder of path below it, made where missing; the ones below the data
// home that this call made are added to made. Returns the error of the first that failed, or 0.
int makeFolders(const std::string& home, const std::string& path, std::vector<std::string>* made, std::string& failedAt)
{
    std::string full;
    for (std::size_t at = 1; at <= home.size(); ++at) {
        if (at < home.size() && home[at] != '/')
            continue;
        full = home.substr(0, at);
        // The data home is private to its user when it has to be made.
        if (::mkdir(full.c_str(), 0700) != 0 && errno != EEXIST) {
            failedAt = full;
            return errno;
        }
    }
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/')
            continue;
        const std::string part = path.substr(0, at);
        full = home + '/' + part;
        if (::mkdir(full.c_str(), 0777) == 0) {
            if (made)
                made->push_back(part);
        } else if (errno != EEXIST) {
            failedAt = full;
            return errno;
        }
    }
    return 0;
}

std::string recordFolder(const ThemePlaces& places) { return places.dataHome + '/' + kRecordFolder; }

enum class RecordState { Missing, Read, Unreadable };

RecordState readRecord(const ThemePlaces& places, const std::string& name, Record& record, int& error)
{
    std::optional<Bytes> bytes = readRegularFile(themeRecordPath(places, name), kMaxRecordBytes, error);
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

std::span<const std::uint8_t> asBytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

bool runCacheTool(const std::string& theme)
{
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return false;
    for (const int fd : {0, 1, 2})
        ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    std::string program = "gtk-update-icon-cache", force = "--force", quiet = "--quiet", anyIndex = "--ignore-theme-index";
    std::string folder = theme;
    char* argv[] = {program.data(), force.data(), quiet.data(), anyIndex.data(), folder.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// GTK reads a theme's icon-theme.cache instead of its folders while the cache is newer than the
// theme's folder: one that no longer lists our files would hide them.
CacheUpdate refreshCache(const ThemePlaces& places)
{
    const std::string theme = places.dataHome + '/' + kTheme;
    struct stat cache {};
    if (::lstat((theme + "/icon-theme.cache").c_str(), &cache) != 0)
        return CacheUpdate::NoCache;
    if (runCacheTool(theme))
        return CacheUpdate::Rebuilt;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // GTK compares whole seconds.
    if (now.tv_sec <= cache.st_mtim.tv_sec)
        now.tv_sec = cache.st_mtim.tv_sec + 1;
    const timespec times[2] = {{0, UTIME_OMIT}, now};
    ::utimensat(AT_FDCWD, theme.c_str(), times, 0);
    return CacheUpdate::MarkedStale;
}

// The files that give an icon of the name in the theme at root: <root>/<size>/<context>/NAME.*
std::vector<std::string> iconsNamed(const std::string& root, const std::string& name)
{
    std::vector<std::string> found;
    auto subfolders = [](const std::string& folder) {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string_view leaf = entry->d_name;
                if (leaf != "." && leaf != ".." && (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN ||
                                                     entry->d_type == DT_LNK))
                    names.emplace_back(leaf);
            }
            ::closedir(dir);
        }
        return names;
    };
    for (const std::string& size : subfolders(root))
        for (const std::string& context : subfolders(root + '/' + size))
            for (const char* suffix : {".png", ".svg", ".xpm"}) {
                const std::string path = root + '/' + size + '/' + context + '/' + name + suffix;
                if (exists(path))
                    found.push_back(path);
            }
    return found;
}

bool sameFolder(const std::string& a, const std::string& b)
{
    struct stat x {}, y {};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

ThemeChange failed(std::string path, int error)
{
    ThemeChange change;
    change.outcome = ThemeChange::Outcome::Failed;
    change.path = std::move(path);
    change.problem = errnoText(error);
    return change;
}

ThemeChange outcome(ThemeChange::Outcome kind, std::string path = {})
{
    ThemeChange change;
    change.outcome = kind;
    change.path = std::move(path);
    return change;
}

// Value of a desktop entry key: backslashes, line breaks and a leading space escaped.
std::string entryValue(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    if (out.starts_with(' '))
        out.replace(0, 1, "\\s");
    return out;
}

std::string launcherText(const LauncherEntry& launcher, const std::string& name)
{
    std::string text = "[Desktop Entry]\nType=Application\nName=" + entryValue(launcher.title) + "\nExec=" +
                       entryValue(launcher.command) + "\nIcon=" + name + "\nTerminal=false\n";
    if (!launcher.folder.empty())
        text += "Path=" + entryValue(launcher.folder) + '\n';
    return text;
}

// What an install of one name does, and undoes when it cannot finish.
class Install {
public:
    Install(const ThemePlaces& places, const std::string& name) : places_(places), name_(name) {}

    ThemeChange run(const std::vector<ThemeImage>& images, bool replace, const std::optional<LauncherEntry>& launcher)
    {
        int error = 0;
        const RecordState state = readRecord(places_, name_, previous_, error);
        if (state == RecordState::Unreadable)
            return failed(themeRecordPath(places_, name_), error);
        hadRecord_ = state == RecordState::Read;
        if (hadRecord_ && !replace)
            return outcome(ThemeChange::Outcome::InstalledBefore, themeRecordPath(places_, name_));

        struct Planned {
            std::string path;
            Bytes bytes;
        };
        std::vector<Planned> planned;
        ThemeChange done = outcome(ThemeChange::Outcome::Done);
        for (const ThemeImage& image : images) {
            planned.push_back({iconPath(image.side, name_), image.png});
            done.sides.push_back(image.side);
        }
        if (launcher) {
            const std::string text = launcherText(*launcher, name_);
            planned.push_back({launcherFile(name_), Bytes(text.begin(), text.end())});
        }
        if (std::optional<std::string> taken = takenBy(launcher.has_value()))
            return outcome(ThemeChange::Outcome::Taken, *taken);

        // The record goes in first, listing the old files and the new, so that whatever happens
        // next, an uninstall finds every file of ours.
        Record record = previous_;
        for (const Planned& file : planned) {
            record.files.push_back({file.path, fingerprintOf(file.bytes)});
            const std::size_t slash = file.path.rfind('/');
            // Folders are listed before they are made: a crash in between leaves only empty ones.
            for (std::size_t at = 0; at <= slash; ++at)
                if (at == slash || file.path[at] == '/') {
                    const std::string folder = file.path.substr(0, at);
                    if (!exists(places_.dataHome + '/' + folder) && ownableFolder(folder))
                        record.addFolder(folder);
                }
        }
        if (ThemeChange problem = writeRecord(record, hadRecord_); problem.outcome != ThemeChange::Outcome::Done)
            return problem;
        recordWritten_ = true;

        for (const Planned& file : planned) {
            const std::size_t slash = file.path.rfind('/');
            std::string failedAt;
            if (const int e = makeFolders(places_.dataHome, file.path.substr(0, slash), &made_, failedAt))
                return undo(failed(failedAt, e));
            const std::string full = places_.dataHome + '/' + file.path;
            // What holds the name now was found to be ours.
            const bool ours = exists(full);
            const FileOutcome saved = ours ? replaceFile(full, file.bytes) : writeNewFile(full, file.bytes);
            if (saved.error == EEXIST)
                return undo(outcome(ThemeChange::Outcome::Taken, full));
            if (!saved.ok())
                return undo(failed(full, saved.error));
            if (!ours)
                written_.push_back(full);
        }

        // What the old install had and this one has not goes.
        for (const Record::File& old : previous_.files) {
            const bool kept = std::any_of(planned.begin(), planned.end(), [&](const Planned& p) { return p.path == old.path; });
            const std::string full = places_.dataHome + '/' + old.path;
            if (!kept && fingerprintOfFile(full) == old.print)
                ::unlink(full.c_str());
        }
        Record final;
        final.folders = record.folders;
        for (const Planned& file : planned)
            final.files.push_back({file.path, fingerprintOf(file.bytes)});
        // Should this fail, the record written first still lists every file.
        writeRecord(final, true);
        done.cache = refreshCache(places_);
        return done;
    }

private:
    // The first file, other than ours, that gives an icon (or a launcher) of the name.
    std::optional<std::string> takenBy(bool launcher) const
    {
        const std::string& home = places_.dataHome;
        std::vector<std::string> mine = iconsNamed(home + '/' + kTheme, name_);
        if (launcher && exists(launcherPath(places_, name_)))
            mine.push_back(launcherPath(places_, name_));
        for (const std::string& full : mine) {
            const std::string path = full.substr(home.size() + 1);
            const std::optional<Fingerprint> print = fingerprintOfFile(full);
            if (!print || !previous_.holds(path, *print))
                return full;
        }
        for (const std::string& dir : places_.dataDirs) {
            if (dir.empty() || sameFolder(dir, home))
                continue;
            std::vector<std::string> theirs = iconsNamed(dir + "/icons/hicolor", name_);
            if (!theirs.empty())
                return theirs.front();
            if (launcher && exists(dir + '/' + launcherFile(name_)))
                return dir + '/' + launcherFile(name_);
        }
        return std::nullopt;
    }

    ThemeChange writeRecord(const Record& record, bool replacing)
    {
        std::string failedAt;
        if (const int error = makeFolders(places_.dataHome, kRecordFolder, nullptr, failedAt))
            return failed(failedAt, error);
        const std::string text = recordText(record);
        const std::string path = themeRecordPath(places_, name_);
        const FileOutcome saved = replacing ? replaceFile(path, asBytes(text)) : writeNewFile(path, asBytes(text));
        if (saved.error == EEXIST) // another install of the name came first
            return outcome(ThemeChange::Outcome::InstalledBefore, path);
        if (!saved.ok())
            return failed(path, saved.error);
        return outcome(ThemeChange::Outcome::Done);
    }

    // Takes out what this run put in, and hands back why it stopped.
    ThemeChange undo(ThemeChange why)
    {
        for (const std::string& full : written_)
            ::unlink(full.c_str());
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder)
            ::rmdir((places_.dataHome + '/' + *folder).c_str());
        // A replacing install keeps its record: it lists the old files and any new ones left.
        if (recordWritten_ && !hadRecord_)
            ::unlink(themeRecordPath(places_, name_).c_str());
        return why;
    }

    const ThemePlaces& places_;
    const std::string& name_;
    Record previous_;
    bool hadRecord_ = false;
    bool recordWritten_ = false;
    std::vector<std::string> written_; // full paths of the new files
    std::vector<std::string> made_;    // folders made, outermost first
};

} // namespace

ThemePlaces themePlacesFromEnvironment()
{
    ThemePlaces places;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    // A relative XDG_DATA_HOME is not valid and is ignored.
    if (dataHome != nullptr && dataHome[0] == '/')
        places.dataHome = dataHome;
    else if (home != nullptr && home[0] == '/')
        places.dataHome = std::string(home) + "/.local/share";
    while (places.dataHome.size() > 1 && places.dataHome.back() == '/')
        places.dataHome.pop_back();
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string_view list = dirs != nullptr && dirs[0] != '\0' ? dirs : "/usr/local/share:/usr/share";
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::string_view dir = list.substr(0, colon);
        if (!dir.empty() && dir[0] == '/')
            places.dataDirs.emplace_back(dir);
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return places;
}

std::string themeRecordPath(const ThemePlaces& places, const std::string& name)
{
    return recordFolder(places) + '/' + name;
}

std::string launcherPath(const ThemePlaces& places, const std::string& name)
{
    return places.dataHome + '/' + launcherFile(name);
}

ThemeChange installThemeIcon(const ThemePlaces& places, const std::string& name, const std::vector<ThemeImage>& images,
                             bool replace, const std::optional<LauncherEntry>& launcher)
{
    if (places.dataHome.empty()) {
        ThemeChange change = outcome(ThemeChange::Outcome::Failed);
        change.problem = "neither XDG_DATA_HOME nor HOME is set";
        return change;
    }
    if (name.empty() || cleanIconName(name) != name || images.empty()) {
        ThemeChange change = outcome(ThemeChange::Outcome::Failed, name);
        change.problem = images.empty() ? "no image to install" : "not a valid icon name";
        return change;
    }
    return Install(places, name).run(images, replace, launcher);
}

ThemeChange uninstallThemeIcon(const ThemePlaces& places, const std::string& name)
{
    if (places.dataHome.empty()) {
        ThemeChange change = outcome(ThemeChange::Outcome::Failed);
        change.problem = "neither XDG_DATA_HOME nor HOME is set";
        return change;
    }
    Record record;
    int error = 0;
    // A name that cleaning changes was never installed: its record could lie elsewhere.
    const RecordState state = cleanIconName(name) == name ? readRecord(places, name, record, error) : RecordState::Missing;
    if (state == RecordState::Missing)
        return outcome(ThemeChange::Outcome::NotInstalled, name);
    if (state == RecordState::Unreadable)
        return failed(themeRecordPath(places, name), error);

    ThemeChange change = outcome(ThemeChange::Outcome::Done);
    bool removed = false;
    std::set<std::string> seen;
    for (const Record::File& file : record.files) {
        if (!seen.insert(file.path).second)
            continue;
        const std::string full = places.dataHome + '/' + file.path;
        if (!exists(full))
            continue;
        const std::optional<Fingerprint> print = fingerprintOfFile(full);
        if (!print || !record.holds(file.path, *print)) {
            change.kept.push_back(full);
            continue;
        }
        if (::unlink(full.c_str()) != 0 && errno != ENOENT)
            return failed(full, errno); // the record stays for another try
        removed = true;
    }
    std::vector<std::string> folders = record.folders;
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& folder : folders)
        ::rmdir((places.dataHome + '/' + folder).c_str()); // only when empty: others' files stay
    if (::unlink(themeRecordPath(places, name).c_str()) != 0 && errno != ENOENT)
        return failed(themeRecordPath(places, name), errno);
    if (removed)
        change.cache = refreshCache(places);
    return change;
}

} // namespace gg
