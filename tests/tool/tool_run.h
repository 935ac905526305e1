// Runs the built glimmer-extract as a user does.
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace gg::test {

struct ToolRun {
    int code = -1; // -1 when it did not end normally within a minute
    QByteArray out;
    QString err;
};

// In folder when given; childSetup runs in the child before the program starts.
inline ToolRun runTool(const QStringList& args, const QString& folder = {},
                       const std::function<void()>& childSetup = {})
{
    QProcess process;
    process.setProgram(QStringLiteral(GG_BINARY_DIR "/glimmer-extract"));
    process.setArguments(args);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    process.start();
    ToolRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.code = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline QString fixture(const char* name) { return QStringLiteral(GG_TEST_DATA "/") + QLatin1String(name); }

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace gg::test
