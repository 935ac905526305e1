#include "extraction/file_icons.h"

#include "extraction/qimage_conversion.h"
#include "icons/icon_extractor.h"

namespace gg {

namespace {
constexpr int kLargeIconSize = 32;
}

int extractFileIcons(const std::string& path, const std::function<void(QImage)>& take)
{
    const IconSource source = IconSource::open(path);
    int index = 0;
    for (;;) {
        const RgbaImage icon = source.icon(index);
        if (icon.isNull())
            break;
        take(toQImage(icon));
        ++index;
    }
    return index;
}

QImage galleryImage(QImage icon)
{
    if (icon.width() != kLargeIconSize || icon.height() != kLargeIconSize)
        icon = icon.scaled(kLargeIconSize, kLargeIconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (icon.format() != QImage::Format_ARGB32)
        icon.convertTo(QImage::Format_ARGB32);
    return icon;
}

QString countersLine(long long files, long long iconFiles, long long icons)
{
    const QString gap = QStringLiteral("    ");
    return QStringLiteral("Total Files: ") + QString::number(files) + gap + QStringLiteral("Icon Files: ")
        + QString::number(iconFiles) + gap + QStringLiteral("Total Icons: ") + QString::number(icons);
}

} // namespace gg
