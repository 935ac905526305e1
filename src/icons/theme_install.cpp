#include "icons/theme_install.h"

#include "icons/errno_text.h"
#include "icons/new_files.h"
#include "icons/theme_record.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace gg {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool exists(const std::string& fullPath)
{
    struct stat info {};
    return ::lstat(fullPath.c_str(), &info) == 0;
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

std::span<const std::uint8_t> asBytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
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

// What an install of one name does, and undoes when it cannot finish.
class Install {
public:
    Install(const ThemePlaces& places, const std::string& name) : places_(places), name_(name) {}

    ThemeChange run(const std::vector<ThemeImage>& images, bool replace, const std::optional<LauncherEntry>& launcher)
    {
        int error = 0;
        const RecordState state = readRecord(themeRecordPath(places_, name_), name_, previous_, error);
        if (state == RecordState::Unreadable)
            return failed(themeRecordPath(places_, name_), error);
        hadRecord_ = state == RecordState::Read;
        if (hadRecord_ && !replace)
            return outcome(ThemeChange::Outcome::InstalledBefore, themeRecordPath(places_, name_));

        ThemeChange done = outcome(ThemeChange::Outcome::Done);
        for (const ThemeImage& image : images) {
            planned_.push_back({iconPath(image.side, name_), image.png});
            done.sides.push_back(image.side);
        }
        if (launcher) {
            const std::string text = launcherText(*launcher, name_);
            planned_.push_back({launcherFile(name_), Bytes(text.begin(), text.end())});
        }
        if (std::optional<std::string> taken = takenBy(launcher.has_value()))
            return outcome(ThemeChange::Outcome::Taken, *taken);

        // The record goes in first, listing the old files and the new, so that whatever happens
        // next, an uninstall finds every file of ours.
        const InstallRecord record = recordBeforeWriting();
        if (ThemeChange problem = writeRecord(record, hadRecord_); problem.outcome != ThemeChange::Outcome::Done)
            return problem;
        recordWritten_ = true;
        if (ThemeChange problem = writePlanned(); problem.outcome != ThemeChange::Outcome::Done)
            return undo(std::move(problem));
        removeLeftBehind();

        InstallRecord final;
        final.folders = record.folders;
        for (const Planned& file : planned_)
            final.files.push_back({file.path, fingerprintOf(file.bytes)});
        // Should this fail, the record written first still lists every file.
        writeRecord(final, true);
        done.cache = refreshThemeCache(places_.dataHome + '/' + kThemeFolder);
        return done;
    }

private:
    struct Planned {
        std::string path;
        Bytes bytes;
    };

    // The old record with the planned files and the folders that will be made for them.
    InstallRecord recordBeforeWriting() const
    {
        InstallRecord record = previous_;
        for (const Planned& file : planned_) {
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
        return record;
    }

    ThemeChange writePlanned()
    {
        for (const Planned& file : planned_) {
            const std::size_t slash = file.path.rfind('/');
            std::string failedAt;
            if (const int e = makeFolders(places_.dataHome, file.path.substr(0, slash), &made_, failedAt))
                return failed(failedAt, e);
            const std::string full = places_.dataHome + '/' + file.path;
            // What holds the name now was found to be ours.
            const bool ours = exists(full);
            const FileOutcome saved = ours ? replaceFile(full, file.bytes) : writeNewFile(full, file.bytes);
            if (saved.error == EEXIST)
                return outcome(ThemeChange::Outcome::Taken, full);
            if (!saved.ok())
                return failed(full, saved.error);
            if (!ours)
                written_.push_back(full);
        }
        return outcome(ThemeChange::Outcome::Done);
    }

    // What the old install had and this one has not goes, unless it was changed since.
    void removeLeftBehind() const
    {
        for (const InstallRecord::File& old : previous_.files) {
            const bool kept =
                std::any_of(planned_.begin(), planned_.end(), [&](const Planned& p) { return p.path == old.path; });
            const std::string full = places_.dataHome + '/' + old.path;
            if (!kept && fingerprintOfFile(full) == old.print)
                ::unlink(full.c_str());
        }
    }

    // The first file, other than ours, that gives an icon (or a launcher) of the name.
    std::optional<std::string> takenBy(bool launcher) const
    {
        const std::string& home = places_.dataHome;
        std::vector<std::string> mine = iconsNamed(home + '/' + kThemeFolder, name_);
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

    ThemeChange writeRecord(const InstallRecord& record, bool replacing)
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
    InstallRecord previous_;
    std::vector<Planned> planned_;
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
    InstallRecord record;
    int error = 0;
    // A name that cleaning changes was never installed: its record could lie elsewhere.
    const RecordState state = cleanIconName(name) == name ? readRecord(themeRecordPath(places, name), name, record, error) : RecordState::Missing;
    if (state == RecordState::Missing)
        return outcome(ThemeChange::Outcome::NotInstalled, name);
    if (state == RecordState::Unreadable)
        return failed(themeRecordPath(places, name), error);

    ThemeChange change = outcome(ThemeChange::Outcome::Done);
    bool removed = false;
    std::set<std::string> seen;
    for (const InstallRecord::File& file : record.files) {
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
        change.cache = refreshThemeCache(places.dataHome + '/' + kThemeFolder);
    return change;
}

} // namespace gg
