// Icons saved before were drawn over the key colour by the toolkit's painter; the library's blend
// must give the very same bytes, for every colour and alpha.
#include "icons/colour_blend.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

TEST(KeyColourBlend, EveryColourAndAlphaGivesThePaintersBytes)
{
    for (const std::uint32_t background : {0xC5C5C5u, 0x000000u, 0xFFFFFFu, 0x3780F0u}) {
        SCOPED_TRACE(background);
        // All 65,536 pairs of a colour value and an alpha, 32 a row as saved icons are.
        QImage icon(32, 2048, QImage::Format_ARGB32);
        for (int i = 0; i < 65536; ++i)
            reinterpret_cast<QRgb*>(icon.scanLine(i / 32))[i % 32] = qRgba(i & 0xFF, 255 - (i & 0xFF), (i & 0xFF) / 3, i >> 8);
        QImage canvas(32, 2048, QImage::Format_RGB32);
        canvas.fill(QColor::fromRgb(background));
        {
            QPainter painter(&canvas);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            painter.drawImage(0, 0, icon);
        }
        int differing = 0;
        for (int i = 0; i < 65536; ++i) {
            const QRgb in = reinterpret_cast<const QRgb*>(icon.constScanLine(i / 32))[i % 32];
            const QRgb painted = reinterpret_cast<const QRgb*>(canvas.constScanLine(i / 32))[i % 32] & 0xFFFFFF;
            const gg::Rgba pixel{static_cast<std::uint8_t>(qRed(in)), static_cast<std::uint8_t>(qGreen(in)),
                                 static_cast<std::uint8_t>(qBlue(in)), static_cast<std::uint8_t>(qAlpha(in))};
            differing += gg::overOpaque(pixel, background) != painted;
        }
        EXPECT_EQ(differing, 0);
    }
}
