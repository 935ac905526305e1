#pragma once
// icotool (Debian's icoutils) as an independent .ico decoder for tests.

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace gg::test {

// The picture icotool extracts from an .ico file, or a null image where icotool is missing.
inline QImage decodeWithIcotool(const QString& icoPath)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("icotool"));
    if (tool.isEmpty())
        return {};
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("x.png"));
    QProcess p;
    p.start(tool, {QStringLiteral("-x"), QStringLiteral("-o"), png, icoPath});
    p.waitForFinished();
    return QImage(png).convertToFormat(QImage::Format_ARGB32);
}

} // namespace gg::test
