#pragma once
// Small inputs for the extraction tests, made in a temporary folder.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

namespace gg::test {

// A 32 x 32 icon file: `colour` everywhere but a fully transparent top-left quarter.
inline void writeIcoFile(const QString& path, QRgb colour)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, qRgba(0, 0, 0, 0));
    QImageWriter writer(path, "ico");
    if (!writer.write(image))
        qFatal("cannot write %s", qPrintable(path));
}

inline void writeTextFile(const QString& path, const QByteArray& text = "no icon here\n")
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QString makeFolder(const QString& parent, const QString& name)
{
    QDir(parent).mkpath(name);
    return QDir(parent).filePath(name);
}

} // namespace gg::test
