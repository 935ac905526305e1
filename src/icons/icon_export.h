#pragma once
// The gallery's icons as files of their own, read again from the files they came from: the
// original group rebuilt as an .ico (or .cur) file, or its picture as a 256 x 256 PNG, written
// into a folder under the free names of their files' sequences.
//
//   IconExport exported(ExportKind::Original);
//   exported.write({{"/apps/tool.exe", 0}, {"/apps/tool.exe", 1}}, "/out", handleProblem);
//   // tool.ico, tool1.ico

#include "icons/byte_reader.h"
#include "icons/icon_extractor.h"
#include "icons/new_files.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gg {

// An icon by where it came from: its file (a path as bytes) and its number there.
struct IconOrigin {
    std::string path;
    int number = 0;
};

// Reads icons again from their files; a run of icons from one file opens it once.
class IconRereader {
public:
    enum class Missing { No, Unreadable, Gone };

    // The icon's group, or null with why in missing() (and error(), an errno, when unreadable).
    const IconGroup* group(const IconOrigin& origin);
    Missing missing() const { return missing_; }
    int error() const { return error_; }

private:
    std::string path_;
    bool opened_ = false;
    IconSource source_;
    Missing missing_ = Missing::No;
    int error_ = 0;
};

enum class ExportKind { Original, Picture };

// The picture a PNG holds: large enough for any launcher or theme.
inline constexpr int kExportedPictureSide = 256;

// What goes into one file: its bytes and its name's suffix, or why there are none (a reader's
// error; none with empty bytes when the PNG encoder failed).
struct ExportedFile {
    std::vector<std::uint8_t> bytes;
    std::string suffix;
    std::optional<ReadError> problem;
    bool ok() const { return !bytes.empty(); }
};

ExportedFile exportedFile(const IconGroup& group, ExportKind kind);

// The base of an exported icon's name: its file's name less the last dot and what follows.
std::string exportBaseName(const std::string& path);

// Why one icon of an export went unwritten.
struct ExportProblem {
    enum class What { Unreadable, Gone, CannotBuild, CannotWrite };
    What what;
    IconOrigin origin;
    int error = 0;                        // Unreadable, CannotWrite: the errno
    std::optional<ReadError> readError;   // CannotBuild: the reader's error; none when encoding failed
};

// Writes the icons of one command into one folder, each under the first free name of its file's
// sequence. A file that cannot be read, or no longer holds the icon, is told of once.
class IconExport {
public:
    // Told of each problem; answers whether the export goes on.
    using ProblemHandler = std::function<bool(const ExportProblem&)>;
    // The base of an icon's name, from its file's path (exportBaseName unless given).
    using BaseName = std::function<std::string(const std::string& path)>;

    explicit IconExport(ExportKind kind, BaseName baseName = {}) : kind_(kind), baseName_(std::move(baseName)) {}

    struct Written {
        std::vector<std::string> names; // the names the files went in under, in order
        bool stopped = false;           // a problem ended the export
    };
    // between() runs before each icon.
    Written write(const std::vector<IconOrigin>& origins, const std::string& folder, const ProblemHandler& problem,
                  const std::function<void()>& between = {});

private:
    ExportKind kind_;
    BaseName baseName_;
};

} // namespace gg
