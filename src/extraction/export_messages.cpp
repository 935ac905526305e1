#include "extraction/export_messages.h"

#include <QFile>

#include "icons/errno_text.h"
#include "runtime/messages.h"

namespace gg {

QString shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

QString sentence(int error)
{
    return QString::fromStdString(errnoText(error)) + u'.';
}

QString sentence(ReadError error)
{
    return QString::fromLatin1(describeReadError(error));
}

IconOrigin originOf(const GalleryModel::Origin& origin)
{
    return {origin.path.toStdString(), origin.number};
}

std::vector<IconOrigin> originsOf(const GalleryModel& images, const std::vector<int>& rows)
{
    std::vector<IconOrigin> origins;
    origins.reserve(rows.size());
    for (const int row : rows)
        origins.push_back(originOf(images.origin(row)));
    return origins;
}

QString iconNumber(const IconOrigin& origin)
{
    return QString::number(origin.number);
}

QString shown(const std::string& path)
{
    return shown(QByteArray::fromStdString(path));
}

QString problemText(const ExportProblem& problem, ExportKind kind)
{
    const IconOrigin& origin = problem.origin;
    switch (problem.what) {
    case ExportProblem::What::Unreadable:
        return messages::kCannotRead.arg(shown(origin.path), sentence(problem.error));
    case ExportProblem::What::Gone:
        return messages::kIconGone.arg(iconNumber(origin), shown(origin.path));
    case ExportProblem::What::CannotBuild:
        if (kind == ExportKind::Original)
            return messages::kCannotRebuild.arg(iconNumber(origin), shown(origin.path), sentence(*problem.readError));
        return messages::kCannotMakePng.arg(iconNumber(origin), shown(origin.path)) +
               (problem.readError ? sentence(*problem.readError) : messages::kPngEncoderFailed);
    case ExportProblem::What::CannotWrite:
        break;
    }
    return sentence(problem.error);
}

const IconGroup* groupOrTell(const CommandContext& context, IconRereader& reader, const IconOrigin& origin)
{
    const IconGroup* group = reader.group(origin);
    if (!group) {
        const auto what = reader.missing() == IconRereader::Missing::Gone ? ExportProblem::What::Gone
                                                                           : ExportProblem::What::Unreadable;
        context.showMessage(problemText({what, origin, reader.error(), std::nullopt}, ExportKind::Original));
    }
    return group;
}

} // namespace gg
