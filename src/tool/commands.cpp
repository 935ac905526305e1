#include "tool/commands.h"

#include "icons/errno_text.h"
#include "icons/ico_encoder.h"
#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"
#include "icons/new_files.h"
#include "icons/png_encoder.h"
#include "icons/saved_picture.h"
#include "icons/theme_install.h"
#include "tool/output_files.h"
#include "tool/text.h"


#include <algorithm>
#include <dirent.h>
#include <filesystem>
#include <functional>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace gg::tool {

namespace {

constexpr const char* kProgram = "glimmer-extract";

using Bytes = std::vector<std::uint8_t>;

// A file to read, and whether the command line named it (rather than a folder holding it).
struct Input {
    std::string path;
    bool named;
};

// A folder by its device and inode, so that the output folder is known under any path.
struct FolderId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FolderId&) const = default;
};

// The regular files under folder (links to files included, links to folders not followed, so a
// link loop cannot trap the walk), leaving out the folder `skip`. A folder or file that cannot be
// looked at is named as a problem.
void walkFolder(const std::string& folder, const std::optional<FolderId>& skip, std::vector<std::string>& found,
                Console& console, bool& problem)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        console.problem(folder, errnoText(errno));
        problem = true;
        return;
    }
    // Read whole before going down, so a deep tree does not hold a descriptor per level.
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
        errno = 0;
    }
    if (errno != 0) {
        console.problem(folder, errnoText(errno));
        problem = true;
    }
    ::closedir(dir);
    const std::string prefix = folder.ends_with('/') ? folder : folder + '/';
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            console.problem(path, errnoText(errno));
            problem = true;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            if (!skip || !(FolderId{info.st_dev, info.st_ino} == *skip))
                walkFolder(path, skip, found, console, problem);
        } else if (S_ISREG(info.st_mode) || (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))) {
            found.push_back(path);
        }
    }
}

// Named files as given; folders as the regular files in them and their subfolders, in name
// order. The output folder is never read: what a run wrote is not taken again by the next.
std::vector<Input> gatherInputs(const std::vector<std::string>& args, const std::optional<FolderId>& outputFolder,
                                Console& console, bool& problem)
{
    std::vector<Input> inputs;
    for (const std::string& arg : args) {
        struct stat info {};
        if (::stat(arg.c_str(), &info) != 0) {
            console.problem(arg, errnoText(errno));
            problem = true;
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            inputs.push_back({arg, true});
            continue;
        }
        if (outputFolder && FolderId{info.st_dev, info.st_ino} == *outputFolder) {
            console.problem(arg, "is the output folder, which is not read; name another with -o");
            problem = true;
            continue;
        }
        std::vector<std::string> found;
        walkFolder(arg, outputFolder, found, console, problem);
        std::sort(found.begin(), found.end());
        for (std::string& path : found)
            inputs.push_back({std::move(path), false});
    }
    return inputs;
}

// "The file holds no icons." -> "the file holds no icons"
std::string asClause(const char* sentence)
{
    std::string text = sentence;
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z'))
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

// A file's icons as glimmer-extract numbers them: the gallery's icons, then a module's cursor
// groups, which the gallery leaves out.
class NumberedIcons {
public:
    explicit NumberedIcons(const IconSource& source) : source_(source), icons_(source.count()) {}
    int count() const { return icons_ + source_.cursorCount(); }
    const IconGroup& group(int index) const
    {
        return *(index < icons_ ? source_.group(index) : source_.cursorGroup(index - icons_));
    }
    // The 32 x 32 image the gallery shows for an icon; a cursor's drawn at that size.
    RgbaImage galleryImage(int index) const
    {
        if (index < icons_)
            return source_.icon(index);
        Result<RgbaImage> picture = pictureAt(group(index), 32);
        return picture ? *picture : RgbaImage();
    }
    const IconSource& source() const { return source_; }

private:
    const IconSource& source_;
    int icons_;
};

// Why a file that could not be opened for reading was not, or nothing.
std::optional<std::string> unreadable(const std::string& path)
{
    if (::access(path.c_str(), R_OK) != 0)
        return errnoText(errno);
    return std::nullopt;
}

std::string whyNoIcons(const std::string& path, const IconSource& source)
{
    if (std::optional<std::string> why = unreadable(path))
        return *why;
    const std::vector<ReadFailure> problems = source.problems();
    if (problems.empty() || problems.front().error == ReadError::NoIcons)
        return "no icons";
    return "no icons: " + asClause(describeReadError(problems.front().error));
}

// Extraction writes at most this much for one input file: a base, and a multiple of its size.
// Real files give about their own size again as .ico files, and less as pictures at their own
// sizes; a file whose groups come back to the same images would write gigabytes, and encoding
// a picture costs about 30 ns a byte written.
constexpr std::uint64_t kBaseOutputPerFile = std::uint64_t{32} << 20;
constexpr std::uint64_t kOutputPerInputByte = 3;

// And makes at most this many files for one: a base, and one for every so many bytes of it.
// Creating a file costs the file system up to a millisecond when it is busy. A library of 32 x 32
// pictures at 16 colours takes some 770 bytes an icon, so one of 10,000 icons may make more than
// 15,000 files, while a file whose groups share their images is held to a few thousand.
constexpr std::uint64_t kBaseFilesPerFile = 1024;
constexpr std::uint64_t kInputBytesPerFile = 512;

struct OutputLimits {
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
};

OutputLimits outputLimits(const std::string& path)
{
    struct stat info {};
    const std::uint64_t size = ::stat(path.c_str(), &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    const std::uint64_t counted = std::min<std::uint64_t>(size, std::uint64_t{1} << 40);
    return {kBaseOutputPerFile + counted * kOutputPerInputByte, kBaseFilesPerFile + counted / kInputBytesPerFile};
}

// "icon 1950 and later refused: the file asks for far more work than any icon file needs"
std::string refusedFrom(int index, const std::string& why)
{
    return (index == 0 ? std::string("every icon") : "icon " + std::to_string(index) + " and later") + " refused: " + why;
}

std::string tooMuchWork() { return asClause(describeReadError(ReadError::TooMuchWork)); }

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool isChosen(const GroupIdentity& identity, const GroupChoice& choice)
{
    if (choice.byNumber)
        return identity.kind == GroupIdentity::Kind::Number && identity.number == choice.number;
    return identity.kind == GroupIdentity::Kind::Name &&
           sameIgnoringAsciiCase(utf8FromUtf16(identity.name), choice.name);
}

// The numbers of the file's icons that the request asks for; when there are none, why not.
std::vector<int> chosenIcons(const Request& request, const NumberedIcons& icons, const std::string& path,
                             std::string& why)
{
    const int count = icons.count();
    std::vector<int> chosen;
    if (request.icon >= 0) {
        if (request.icon < count)
            chosen.push_back(request.icon);
        else if (icons.source().refusedRest())
            why = refusedFrom(count, tooMuchWork());
        else if (count > 0)
            why = "has " + std::to_string(count) + " icon" + (count == 1 ? "" : "s") + ", no icon " +
                  std::to_string(request.icon);
    } else {
        for (int i = 0; i < count; ++i)
            if (!request.group || isChosen(icons.group(i).identity, *request.group))
                chosen.push_back(i);
        if (chosen.empty() && icons.source().refusedRest())
            why = refusedFrom(count, tooMuchWork());
        else if (chosen.empty() && count > 0)
            why = "has no group " + request.group->name;
    }
    if (count == 0 && !icons.source().refusedRest())
        why = whyNoIcons(path, icons.source());
    return chosen;
}

// A file that gave nothing: a named one is a problem whatever the reason, a file met in a
// folder only when it could not be read (the others are only taken for what they hold).
void reportNothingTaken(const Input& input, const std::string& why, Console& console, bool& problem)
{
    if (input.named) {
        console.problem(input.path, why);
        problem = true;
    } else if (std::optional<std::string> error = unreadable(input.path)) {
        console.problem(input.path, *error);
        problem = true;
    }
}

// What a run does after one icon.
enum class AfterIcon { NextIcon, NextFile, Stop };

// Reads the inputs in turn and hands each icon the request picks to `take`, reporting the files
// that give none and those whose work budget ran out.
void forEachChosenIcon(const Request& request, const std::vector<Input>& inputs, Console& console, bool& problem,
                       const std::function<AfterIcon(const Input&, const NumberedIcons&, int)>& take)
{
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const Input& input = inputs[k];
        console.progress(k, inputs.size(), input.path);
        // Only the window's 32 x 32 icons need the gallery's pictures; the rest take the groups.
        const IconSource source =
            IconSource::open(input.path, request.format == Format::Ico32 ? IconSource::Icons::Kept : IconSource::Icons::NotKept);
        const NumberedIcons icons(source);
        std::string why;
        const std::vector<int> chosen = chosenIcons(request, icons, input.path, why);
        if (chosen.empty() && source.refusedRest()) {
            console.problem(input.path, why);
            problem = true;
        } else if (chosen.empty()) {
            reportNothingTaken(input, why, console, problem);
        }
        AfterIcon next = AfterIcon::NextIcon;
        for (auto i = chosen.begin(); i != chosen.end() && next == AfterIcon::NextIcon; ++i)
            next = take(input, icons, *i);
        if (next == AfterIcon::Stop)
            return;
        // A file cut while it was counted gave its first icons only: say where it was cut.
        if (next == AfterIcon::NextIcon && !chosen.empty() && source.refusedRest() && request.icon < 0) {
            console.problem(input.path, refusedFrom(icons.count(), tooMuchWork()));
            problem = true;
        }
    }
}

// What the window's save commands write for a gallery icon.
Bytes windowSavedIcon(const RgbaImage& icon)
{
    constexpr int kDepth = 24;
    return encodeIco(savedPicture(icon), kDepth)->bytes;
}

// The bytes of icon `index` in the format asked for, and the suffix its file gets.
std::optional<Bytes> iconBytes(const Request& request, const NumberedIcons& icons, int index, std::string& suffix,
                               std::string& why)
{
    const IconGroup& group = icons.group(index);
    switch (request.format) {
    case Format::Ico: {
        // A cursor's group rebuilt is a cursor file.
        suffix = group.directoryType == 2 ? ".cur" : ".ico";
        Result<Bytes> file = rebuildIconFile(group);
        if (!file) {
            why = asClause(describeReadError(file.failure().error));
            return std::nullopt;
        }
        return std::move(file.value());
    }
    case Format::Png: {
        suffix = ".png";
        const int side = request.size != 0 ? request.size : std::min(largestSide(group), kMaxPictureSide);
        Result<RgbaImage> picture = pictureAt(group, std::max(side, 1));
        if (!picture) {
            why = asClause(describeReadError(picture.failure().error));
            return std::nullopt;
        }
        std::optional<Bytes> png = encodePng(*picture);
        if (!png)
            why = "the PNG encoder failed";
        return png;
    }
    case Format::Ico32:
        suffix = ".ico";
        return windowSavedIcon(icons.galleryImage(index));
    }
    return std::nullopt;
}

// Group names are shown as they are, numbers as #N, and files without groups as "-".
std::string groupText(const GroupIdentity& identity)
{
    switch (identity.kind) {
    case GroupIdentity::Kind::Number:
        return "#" + std::to_string(identity.number);
    case GroupIdentity::Kind::Name: {
        std::u16string name = identity.name;
        // A tab or line break in a name would break the line into fields that are not there.
        for (char16_t& c : name)
            if (c < 0x20 || c == 0x7F)
                c = u'?';
        return utf8FromUtf16(name);
    }
    case GroupIdentity::Kind::None:
        break;
    }
    return "-";
}

// A JSON string: quotes, backslashes and control characters escaped; the rest as UTF-8.
std::string jsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char* const kHex = "0123456789abcdef";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out + '"';
}

// A path in JSON: "file" holds it as text; when its bytes are not UTF-8 the text has U+FFFD in
// their place and "file_base64" holds the exact bytes.
std::string jsonPath(const std::string& path)
{
    const std::string text = validUtf8(path);
    std::string out = "\"file\": " + jsonString(text);
    if (text != path)
        out += ", \"file_base64\": \"" + base64(path) + '"';
    return out;
}

std::string groupJson(const GroupIdentity& identity)
{
    switch (identity.kind) {
    case GroupIdentity::Kind::Number:
        return std::to_string(identity.number);
    case GroupIdentity::Kind::Name:
        // A name with a lone surrogate has U+FFFD in its place.
        return jsonString(utf8FromUtf16(identity.name));
    case GroupIdentity::Kind::None:
        break;
    }
    return "null";
}

std::string imageText(const IconImageInfo& image)
{
    if (image.width == 0)
        return "?";
    return std::to_string(image.width) + "x" + std::to_string(image.height) + "@" +
           (image.png ? std::string("png") : std::to_string(image.depth));
}

std::string imageJson(const IconImageInfo& image)
{
    const char* format = image.width == 0 ? "unknown" : (image.png ? "png" : "bmp");
    return "{\"width\": " + std::to_string(image.width) + ", \"height\": " + std::to_string(image.height) +
           ", \"depth\": " + std::to_string(image.depth) + ", \"format\": \"" + format +
           "\", \"bytes\": " + std::to_string(image.bytes) + '}';
}

// One icon of `list`: a line of tab-separated fields, or a JSON object on a line of its own.
std::string listEntry(const Request& request, const std::string& path, int index, const IconGroup& group)
{
    const std::vector<IconImageInfo> images = describeImages(group);
    std::string entry;
    if (request.json) {
        entry = "{" + jsonPath(path) + ", \"icon\": " + std::to_string(index) + ", \"kind\": \"" +
                (group.directoryType == 2 ? "cursor" : "icon") + "\", \"group\": " + groupJson(group.identity) +
                ", \"images\": [";
        for (std::size_t n = 0; n < images.size(); ++n)
            entry += (n == 0 ? "" : ", ") + imageJson(images[n]);
        return entry + "]}";
    }
    entry = path + '\t' + std::to_string(index) + '\t' + groupText(group.identity) + '\t';
    for (std::size_t n = 0; n < images.size(); ++n)
        entry += (n == 0 ? "" : " ") + imageText(images[n]);
    return entry + '\n';
}

} // namespace

Console::Console() : terminal_(::isatty(STDERR_FILENO) == 1), outputOnTerminal_(::isatty(STDOUT_FILENO) == 1) {}

void Console::problem(const std::string& file, const std::string& what)
{
    endProgress();
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, file.c_str(), what.c_str());
}

void Console::output(const std::string& text)
{
    // Only a terminal that shows both needs the progress line out of the way.
    if (outputOnTerminal_)
        endProgress();
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void Console::progress(std::size_t done, std::size_t total, const std::string& file)
{
    if (!terminal_ || total < 2)
        return;
    // A line every tenth of a second is plenty, and keeps a fast run from waiting on the terminal.
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - lastShown_ < std::chrono::milliseconds(100))
        return;
    lastShown_ = now;
    std::string name = file;
    if (name.size() > 50)
        name = "..." + name.substr(name.size() - 47);
    std::fprintf(stderr, "\r\033[K%zu/%zu %s", done + 1, total, name.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void Console::endProgress()
{
    if (!shown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

int runList(const Request& request, Console& console)
{
    bool problem = false;
    const std::vector<Input> inputs = gatherInputs(request.files, std::nullopt, console, problem);
    // Each icon is written as it is read, so a library of thousands costs no more memory than one.
    bool first = true;
    if (request.json)
        console.output("[");
    forEachChosenIcon(request, inputs, console, problem, [&](const Input& input, const NumberedIcons& icons, int i) {
        const std::string entry = listEntry(request, input.path, i, icons.group(i));
        console.output(request.json ? (first ? "\n" : ",\n") + entry : entry);
        first = false;
        return AfterIcon::NextIcon;
    });
    if (request.json)
        console.output(first ? "]\n" : "\n]\n");
    console.endProgress();
    return problem ? kSomeFileFailed : kAllWritten;
}

int runExtract(const Request& request, Console& console)
{
    const std::string& folder = request.outputFolder.empty() ? std::string(".") : request.outputFolder;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        console.problem(folder, errnoText(errno));
        return kSomeFileFailed;
    }
    if (!S_ISDIR(info.st_mode)) {
        console.problem(folder, "not a folder");
        return kSomeFileFailed;
    }
    bool problem = false;
    const std::vector<Input> inputs = gatherInputs(request.files, FolderId{info.st_dev, info.st_ino}, console, problem);
    OutputNames names(request.outputFolder, request.overwrite);
    bool stopped = false;
    const Input* current = nullptr;
    OutputLimits limits;                       // for the file being read
    std::uint64_t written = 0, filesMade = 0; // of it
    forEachChosenIcon(request, inputs, console, problem, [&](const Input& input, const NumberedIcons& icons, int i) {
        if (current != &input) {
            current = &input;
            limits = outputLimits(input.path);
            written = 0;
            filesMade = 0;
        }
        if (filesMade == limits.files) {
            console.problem(input.path, refusedFrom(i, "they would make more than " + std::to_string(limits.files) +
                                                           " files for this one file"));
            problem = true;
            return AfterIcon::NextFile;
        }
        std::string suffix, why;
        std::optional<Bytes> bytes = iconBytes(request, icons, i, suffix, why);
        if (!bytes && icons.source().refusedRest()) {
            console.problem(input.path, refusedFrom(i, tooMuchWork()));
            problem = true;
            return AfterIcon::NextFile;
        }
        if (!bytes) {
            console.problem(input.path, "icon " + std::to_string(i) + ": " + why);
            problem = true;
            return AfterIcon::NextIcon;
        }
        if (bytes->size() > limits.bytes - written) {
            console.problem(input.path, refusedFrom(i, "they would write more than " + std::to_string(limits.bytes >> 20) +
                                                           " MB for this one file"));
            problem = true;
            return AfterIcon::NextFile;
        }
        const OutputNames::Saved saved = names.save(input.path, suffix, *bytes);
        if (saved.result.written) {
            written += bytes->size();
            ++filesMade;
            console.output(saved.path + '\n');
            return AfterIcon::NextIcon;
        }
        console.problem(saved.path, saved.result.problem);
        problem = true;
        // A full, read-only or vanished folder would fail every further icon the same way.
        stopped = failsForEveryFile(saved.result.error);
        if (stopped)
            console.problem(folder, "takes no new files; stopping");
        return stopped ? AfterIcon::Stop : AfterIcon::NextIcon;
    });
    if (stopped)
        return kSomeFileFailed;
    console.endProgress();
    return problem ? kSomeFileFailed : kAllWritten;
}

int runThumbnail(const Request& request, Console& console)
{
    const std::string& input = request.files[0];
    const std::string& output = request.files[1];
    const IconSource source = IconSource::open(input, IconSource::Icons::NotKept);
    // The first icon, or in a module of cursors alone its first cursor.
    const IconGroup* group = source.group(0);
    if (group == nullptr)
        group = source.cursorGroup(0);
    if (group == nullptr) {
        console.problem(input, whyNoIcons(input, source));
        return kSomeFileFailed;
    }
    Result<RgbaImage> picture = pictureAt(*group, std::min(request.size, kMaxPictureSide));
    std::optional<Bytes> png = picture ? encodePng(*picture, PngCompression::Fast) : std::nullopt;
    if (!png) {
        console.problem(input, picture ? "the PNG encoder failed" : asClause(describeReadError(picture.failure().error)));
        return kSomeFileFailed;
    }
    // Into OUTPUT itself: file managers open it before they run us and read it back through
    // that handle, so a new file renamed over it would go unseen.
    const WriteResult written = writeIntoFile(output, *png);
    if (!written.written) {
        console.problem(output, written.problem);
        return kSomeFileFailed;
    }
    return kAllWritten;
}

int runInstallIcon(const Request& request, Console& console)
{
    const std::string& path = request.files[0];
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        console.problem(path, "is a folder; name the file that holds the icon");
        return kSomeFileFailed;
    }
    const IconSource source = IconSource::open(path, IconSource::Icons::NotKept);
    const NumberedIcons icons(source);
    Request pick = request;
    if (pick.icon < 0 && !pick.group)
        pick.icon = 0;
    std::string why;
    const std::vector<int> chosen = chosenIcons(pick, icons, path, why);
    if (chosen.empty()) {
        console.problem(path, why.empty() ? std::string("no icons") : why);
        return kSomeFileFailed;
    }
    // Of several groups of one name (an icon's and a cursor's), the first.
    const int index = chosen.front();
    const ThemeImages images = themeImages(icons.group(index));
    if (images.images.empty()) {
        console.problem(path, "icon " + std::to_string(index) + ": " + images.problem);
        return kSomeFileFailed;
    }
    const std::string name = request.iconName.empty() ? iconNameForFile(path) : cleanIconName(request.iconName);
    std::optional<LauncherEntry> launcher;
    if (request.desktopEntry) {
        // The launcher is called as its file is, less the suffix, and starts in the file's folder, as
        // programs under Wine expect; names that are not UTF-8 are shown with U+FFFD, folders left out.
        const std::filesystem::path file = std::filesystem::absolute(path).lexically_normal();
        const std::string leaf = file.filename().string();
        const std::string title = validUtf8(leaf.substr(0, leaf.rfind('.')));
        const std::string folder = file.parent_path().string();
        const bool folderIsText = validUtf8(folder) == folder;
        launcher = LauncherEntry{title.empty() ? name : title, *request.desktopEntry, folderIsText ? folder : std::string()};
    }
    const ThemePlaces places = themePlacesFromEnvironment();
    const ThemeChange change = installThemeIcon(places, name, images.images, request.replace, launcher);
    switch (change.outcome) {
    case ThemeChange::Outcome::Done:
        console.output(name + '\n');
        return kAllWritten;
    case ThemeChange::Outcome::InstalledBefore:
        console.problem(name, "is in the icon theme already, installed by glimmer-extract; --replace replaces it");
        break;
    case ThemeChange::Outcome::Taken:
        console.problem(change.path, "holds the name " + name + ", and glimmer-extract did not put it there; choose another --name");
        break;
    case ThemeChange::Outcome::NotInstalled:
    case ThemeChange::Outcome::Failed:
        console.problem(change.path.empty() ? name : change.path, change.problem);
        break;
    }
    return kSomeFileFailed;
}

int runUninstallIcon(const Request& request, Console& console)
{
    const std::string name = cleanIconName(request.files[0]);
    const ThemeChange change = uninstallThemeIcon(themePlacesFromEnvironment(), name);
    switch (change.outcome) {
    case ThemeChange::Outcome::Done:
        for (const std::string& kept : change.kept)
            console.problem(kept, "changed since glimmer-extract installed it; left in place");
        return change.kept.empty() ? kAllWritten : kSomeFileFailed;
    case ThemeChange::Outcome::NotInstalled:
        console.problem(name, "no icon of this name was installed by glimmer-extract");
        break;
    case ThemeChange::Outcome::InstalledBefore:
    case ThemeChange::Outcome::Taken:
    case ThemeChange::Outcome::Failed:
        console.problem(change.path.empty() ? name : change.path, change.problem);
        break;
    }
    return kSomeFileFailed;
}

} // namespace gg::tool
