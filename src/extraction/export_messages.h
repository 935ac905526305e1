#pragma once
// The messages of the gallery's commands that name an icon, a file or why it failed.

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

#include "extraction/gallery_model.h"
#include "icons/icon_export.h"
#include "runtime/command_context.h"

namespace gg {

QString shown(const QByteArray& path);
QString shown(const std::string& path);
// The system's words for an errno, as a sentence.
QString sentence(int error);
QString sentence(ReadError error);

IconOrigin originOf(const GalleryModel::Origin& origin);
std::vector<IconOrigin> originsOf(const GalleryModel& images, const std::vector<int>& rows);
QString iconNumber(const IconOrigin& origin);

// The one message for an icon that could not be read again or built into its file.
QString problemText(const ExportProblem& problem, ExportKind kind);

// The group of the icon, or null after telling why.
const IconGroup* groupOrTell(const CommandContext& context, IconRereader& reader, const IconOrigin& origin);

} // namespace gg
