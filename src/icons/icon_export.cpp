#include "icons/icon_export.h"

#include "icons/free_names.h"
#include "icons/icon_groups.h"
#include "icons/png_encoder.h"

#include <cerrno>
#include <set>
#include <unistd.h>

namespace gg {

const IconGroup* IconRereader::group(const IconOrigin& origin)
{
    if (origin.path != path_ || !opened_) {
        path_ = origin.path;
        source_ = IconSource::open(path_, IconSource::Icons::NotKept);
        opened_ = true;
    }
    const IconGroup* found = origin.number >= 0 ? source_.group(origin.number) : nullptr;
    missing_ = Missing::No;
    if (!found) {
        error_ = ::access(path_.c_str(), R_OK) == 0 ? 0 : errno;
        missing_ = error_ != 0 ? Missing::Unreadable : Missing::Gone;
    }
    return found;
}

namespace {

ExportedFile originalFile(const IconGroup& group)
{
    Result<std::vector<std::uint8_t>> file = rebuildIconFile(group);
    if (!file)
        return {{}, {}, file.failure().error};
    // A cursor's group rebuilt is a cursor file.
    return {std::move(file.value()), group.directoryType == 2 ? ".cur" : ".ico", std::nullopt};
}

ExportedFile pictureFile(const IconGroup& group)
{
    Result<RgbaImage> picture = pictureAt(group, kExportedPictureSide);
    if (!picture)
        return {{}, {}, picture.failure().error};
    std::optional<std::vector<std::uint8_t>> png = encodePng(*picture);
    if (!png)
        return {};
    return {std::move(*png), ".png", std::nullopt};
}

} // namespace

ExportedFile exportedFile(const IconGroup& group, ExportKind kind)
{
    return kind == ExportKind::Original ? originalFile(group) : pictureFile(group);
}

std::string exportBaseName(const std::string& path)
{
    return sequenceBase(path.substr(path.rfind('/') + 1));
}

IconExport::Written IconExport::write(const std::vector<IconOrigin>& origins, const std::string& folder,
                                      const ProblemHandler& problem, const std::function<void()>& between)
{
    Written written;
    // Tells of a problem; true when the export stops there.
    auto stopsAt = [&](const ExportProblem& told) {
        written.stopped = !problem(told);
        return written.stopped;
    };
    NewFiles files;
    IconRereader reader;
    std::set<std::string> toldOf; // files whose problem has been told: once is enough
    for (const IconOrigin& origin : origins) {
        if (between)
            between();
        const IconGroup* group = reader.group(origin);
        if (!group) {
            const auto what = reader.missing() == IconRereader::Missing::Gone ? ExportProblem::What::Gone
                                                                               : ExportProblem::What::Unreadable;
            if (toldOf.insert(origin.path).second && stopsAt({what, origin, reader.error(), std::nullopt}))
                break;
            continue;
        }
        const ExportedFile content = exportedFile(*group, kind_);
        if (!content.ok()) {
            if (stopsAt({ExportProblem::What::CannotBuild, origin, 0, content.problem}))
                break;
            continue;
        }
        const std::string base = baseName_ ? baseName_(origin.path) : exportBaseName(origin.path);
        const FileOutcome saved = files.write(folder, base, content.suffix, content.bytes);
        if (saved.ok())
            written.names.push_back(saved.name);
        else if (stopsAt({ExportProblem::What::CannotWrite, origin, saved.error, std::nullopt}))
            break;
    }
    return written;
}

} // namespace gg
