#include "extraction/qimage_conversion.h"

namespace gg {

QImage toQImage(const RgbaImage& image)
{
    if (image.isNull())
        return QImage();
    // Byte order R, G, B, A is Format_RGBA8888; its conversion to ARGB32 is Qt's own fast path.
    QImage rgba(image.width, image.height, QImage::Format_RGBA8888);
    if (rgba.isNull())
        return QImage();
    for (int y = 0; y < image.height; ++y)
        std::copy_n(image.row(y), image.rowBytes(), rgba.scanLine(y));
    return rgba.convertToFormat(QImage::Format_ARGB32);
}

RgbaImage toRgbaImage(const QImage& image)
{
    if (image.isNull())
        return RgbaImage();
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    RgbaImage out(rgba.width(), rgba.height());
    for (int y = 0; y < out.height; ++y)
        std::copy_n(rgba.constScanLine(y), out.rowBytes(), out.row(y));
    return out;
}

} // namespace gg
