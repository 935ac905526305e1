#include "tool/commands.h"

#include "icons/file_icons.h"
#include "icons/write_icon.h"
#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"
#include "icons/pixel_buffer.h"
#include "icons/save_names.h"
#include "tool/output_files.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <system_error>
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

std::string errnoText(int error) { return std::generic_category().message(error); }

// Named files as given; folders as the regular files in them and their subfolders, in name
// order. Links to folders are not followed, so a link loop cannot trap the walk.
std::vector<Input> gatherInputs(const std::vector<std::string>& args, Console& console, bool& problem)
{
    namespace fs = std::filesystem;
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
        std::vector<std::string> found;
        std::error_code error;
        fs::recursive_directory_iterator walk(arg, fs::directory_options::skip_permission_denied, error);
        for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
            std::error_code typeError;
            if (walk->is_regular_file(typeError))
                found.push_back(walk->path().string());
        }
        if (error) {
            console.problem(arg, error.message());
            problem = true;
        }
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

std::string whyNoIcons(const std::string& path, const IconSource& source)
{
    if (::access(path.c_str(), R_OK) != 0)
        return errnoText(errno);
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

std::uint64_t outputLimit(const std::string& path)
{
    struct stat info {};
    const std::uint64_t size = ::stat(path.c_str(), &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    return kBaseOutputPerFile + std::min<std::uint64_t>(size, std::uint64_t{1} << 40) * kOutputPerInputByte;
}

// "icon 1950 and later refused: the file asks for far more work than any icon file needs"
std::string refusedFrom(int index, const std::string& why)
{
    return (index == 0 ? std::string("every icon") : "icon " + std::to_string(index) + " and later") + " refused: " + why;
}

std::string tooMuchWork() { return asClause(describeReadError(ReadError::TooMuchWork)); }

// Qt's PNG quality 80 is zlib's fastest level: thumbnails are made often and kept in a cache,
// where twice the bytes cost less than the time the default compression takes (most of a
// thumbnail's own work at 256 px).
constexpr int kThumbnailPngQuality = 80;

std::optional<Bytes> encodePng(const QImage& image, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG", quality))
        return std::nullopt;
    return Bytes(bytes.begin(), bytes.end());
}

// Keeps the first report of the writer.
struct FirstReport : ErrorReporter {
    std::string description;
    void ReportError(const std::string&, int, const std::string& what) override
    {
        if (description.empty())
            description = what.empty() ? std::string("the writer failed") : what;
    }
};

// What the window's save commands write for a gallery icon: the gallery image over the key
// colour, its 32 x 32 pixels without alpha, SaveIcon at 24 bits. SaveIcon writes only to a
// path, so it writes into a folder of our own and the bytes are read back from there.
std::optional<Bytes> windowSavedIcon(const QImage& icon, std::string& why)
{
    constexpr int kSide = 32;
    constexpr int kDepth = 24;
    static QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/glimmer-extract-XXXXXX"));
    if (!scratch.isValid()) {
        why = "no temporary folder: " + scratch.errorString().toStdString();
        return std::nullopt;
    }
    QImage picture(kSide, kSide, QImage::Format_RGB32);
    picture.fill(QColor(static_cast<int>(kKeyColour & 0xFF), static_cast<int>((kKeyColour >> 8) & 0xFF),
                        static_cast<int>((kKeyColour >> 16) & 0xFF)));
    {
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, GalleryImage(icon));
    }
    const Bitmap work = Bitmap::fromRgb32(reinterpret_cast<const std::uint32_t*>(picture.constBits()), kSide, kSide,
                                          static_cast<int>(picture.bytesPerLine() / 4));
    const QString path = scratch.filePath(QStringLiteral("icon.ico"));
    FirstReport reporter;
    SaveIcon(reporter, QFile::encodeName(path).toStdString(), work, kDepth);
    QFile file(path);
    if (!reporter.description.empty() || !file.open(QIODevice::ReadOnly)) {
        why = reporter.description.empty() ? file.errorString().toStdString() : reporter.description;
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    file.remove();
    return Bytes(bytes.begin(), bytes.end());
}

// The bytes of icon `index` in the format asked for, and the suffix its file gets.
std::optional<Bytes> iconBytes(const Request& request, const IconSource& source, int index, std::string& suffix,
                               std::string& why)
{
    const IconGroup& group = *source.group(index);
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
        Result<QImage> picture = pictureAt(group, std::max(side, 1));
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
        return windowSavedIcon(source.icon(index), why);
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
        QString name = QString::fromStdU16String(identity.name);
        // A tab or line break in a name would break the line into fields that are not there.
        for (QChar& c : name)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = u'?';
        return name.toStdString();
    }
    case GroupIdentity::Kind::None:
        break;
    }
    return "-";
}

QJsonValue groupJson(const GroupIdentity& identity)
{
    switch (identity.kind) {
    case GroupIdentity::Kind::Number:
        return static_cast<qint64>(identity.number);
    case GroupIdentity::Kind::Name:
        return QString::fromStdU16String(identity.name);
    case GroupIdentity::Kind::None:
        break;
    }
    return QJsonValue::Null;
}

std::string imageText(const IconImageInfo& image)
{
    if (image.width == 0)
        return "?";
    return std::to_string(image.width) + "x" + std::to_string(image.height) + "@" +
           (image.png ? std::string("png") : std::to_string(image.depth));
}

QJsonObject imageJson(const IconImageInfo& image)
{
    QJsonObject object;
    object[QStringLiteral("width")] = image.width;
    object[QStringLiteral("height")] = image.height;
    object[QStringLiteral("depth")] = image.depth;
    object[QStringLiteral("format")] =
        image.width == 0 ? QStringLiteral("unknown") : (image.png ? QStringLiteral("png") : QStringLiteral("bmp"));
    object[QStringLiteral("bytes")] = static_cast<qint64>(image.bytes);
    return object;
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
    const std::vector<Input> inputs = gatherInputs(request.files, console, problem);
    QJsonArray all;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const Input& input = inputs[k];
        console.progress(k, inputs.size(), input.path);
        const IconSource source = IconSource::open(input.path);
        const int count = source.count();
        if (count == 0 && input.named) {
            console.problem(input.path, whyNoIcons(input.path, source));
            problem = true;
        }
        std::string lines;
        for (int i = 0; i < count; ++i) {
            const IconGroup& group = *source.group(i);
            const std::vector<IconImageInfo> images = describeImages(group);
            if (request.json) {
                QJsonArray imageList;
                for (const IconImageInfo& image : images)
                    imageList.append(imageJson(image));
                QJsonObject icon;
                icon[QStringLiteral("file")] = QFile::decodeName(QByteArray::fromStdString(input.path));
                icon[QStringLiteral("icon")] = i;
                icon[QStringLiteral("group")] = groupJson(group.identity);
                icon[QStringLiteral("images")] = imageList;
                all.append(icon);
                continue;
            }
            lines += input.path + '\t' + std::to_string(i) + '\t' + groupText(group.identity) + '\t';
            for (std::size_t n = 0; n < images.size(); ++n)
                lines += (n == 0 ? "" : " ") + imageText(images[n]);
            lines += '\n';
        }
        if (!lines.empty())
            console.output(lines);
        if (source.refusedRest()) {
            console.problem(input.path, refusedFrom(count, tooMuchWork()));
            problem = true;
        }
    }
    if (request.json)
        console.output(QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString());
    console.endProgress();
    return problem ? kSomeFileFailed : kAllWritten;
}

int runExtract(const Request& request, Console& console)
{
    if (!request.outputFolder.empty()) {
        struct stat info {};
        if (::stat(request.outputFolder.c_str(), &info) != 0) {
            console.problem(request.outputFolder, errnoText(errno));
            return kSomeFileFailed;
        }
        if (!S_ISDIR(info.st_mode)) {
            console.problem(request.outputFolder, "not a folder");
            return kSomeFileFailed;
        }
    }
    bool problem = false;
    const std::vector<Input> inputs = gatherInputs(request.files, console, problem);
    OutputNames names(request.outputFolder, request.overwrite);
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const Input& input = inputs[k];
        console.progress(k, inputs.size(), input.path);
        const IconSource source = IconSource::open(input.path);
        const int count = source.count();
        int first = 0, last = count - 1;
        if (request.icon >= 0) {
            first = last = request.icon;
            if (request.icon >= count) {
                // Files met in a folder are only taken for what they hold.
                if (source.refusedRest()) {
                    console.problem(input.path, refusedFrom(count, tooMuchWork()));
                    problem = true;
                } else if (input.named) {
                    console.problem(input.path, count == 0 ? whyNoIcons(input.path, source)
                                                           : "has " + std::to_string(count) + " icon" +
                                                                 (count == 1 ? "" : "s") + ", no icon " +
                                                                 std::to_string(request.icon));
                    problem = true;
                }
                continue;
            }
        } else if (count == 0) {
            if (input.named) {
                console.problem(input.path, whyNoIcons(input.path, source));
                problem = true;
            }
            continue;
        }
        const std::uint64_t limit = outputLimit(input.path);
        std::uint64_t written = 0;
        for (int i = first; i <= last; ++i) {
            std::string suffix, why;
            std::optional<Bytes> bytes = iconBytes(request, source, i, suffix, why);
            if (!bytes && source.refusedRest()) {
                console.problem(input.path, refusedFrom(i, tooMuchWork()));
                problem = true;
                break;
            }
            if (bytes && bytes->size() > limit - written) {
                console.problem(input.path, refusedFrom(i, "they would write more than " +
                                                               std::to_string(limit >> 20) + " MB for this one file"));
                problem = true;
                break;
            }
            if (!bytes) {
                console.problem(input.path, "icon " + std::to_string(i) + ": " + why);
                problem = true;
                continue;
            }
            const OutputNames::Saved saved = names.save(input.path, suffix, *bytes);
            if (saved.result.outcome == Written::Yes) {
                written += bytes->size();
                console.output(saved.path + '\n');
                if (i == last && source.refusedRest() && request.icon < 0) {
                    console.problem(input.path, refusedFrom(i + 1, tooMuchWork()));
                    problem = true;
                }
                continue;
            }
            console.problem(saved.path, saved.result.problem);
            problem = true;
            // A full, read-only or vanished folder would fail every further icon the same way.
            if (FailsForEveryIcon(saved.result.error)) {
                console.problem(request.outputFolder.empty() ? "." : request.outputFolder,
                                "takes no new files; stopping");
                return kSomeFileFailed;
            }
        }
    }
    console.endProgress();
    return problem ? kSomeFileFailed : kAllWritten;
}

int runThumbnail(const Request& request, Console& console)
{
    const std::string& input = request.files[0];
    const std::string& output = request.files[1];
    const IconSource source = IconSource::open(input);
    const IconGroup* group = source.group(0);
    if (group == nullptr) {
        console.problem(input, whyNoIcons(input, source));
        return kSomeFileFailed;
    }
    Result<QImage> picture = pictureAt(*group, std::min(request.size, kMaxPictureSide));
    std::optional<Bytes> png = picture ? encodePng(*picture, kThumbnailPngQuality) : std::nullopt;
    if (!png) {
        console.problem(input, picture ? "the PNG encoder failed" : asClause(describeReadError(picture.failure().error)));
        return kSomeFileFailed;
    }
    const WriteResult written = writeOutputFile(output, *png, true);
    if (written.outcome != Written::Yes) {
        console.problem(output, written.problem);
        return kSomeFileFailed;
    }
    return kAllWritten;
}

} // namespace gg::tool
