#include "icons/saved_picture.h"

#include <QImage>
#include <QPainter>

namespace gg {

IconPicture savedPicture(const QImage& galleryImage)
{
    QImage canvas(kIcoSide, kIcoSide, QImage::Format_RGB32);
    canvas.fill(QColor::fromRgb(kKeyColour));
    {
        QPainter painter(&canvas);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, galleryImage);
    }
    IconPicture picture;
    for (int y = 0; y < kIcoSide; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < kIcoSide; ++x)
            picture.set(x, y, row[x]);
    }
    return picture;
}

} // namespace gg
