#pragma once
// What every benchmark that opens the window does first: offscreen unless a platform is named, and
// the window's settings in a folder of their own, so the user's settings file is never touched.

#include <QFile>
#include <QTemporaryDir>

namespace gg::bench {

class WindowBenchEnvironment {
public:
    WindowBenchEnvironment()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }

private:
    QTemporaryDir config_;
};

} // namespace gg::bench
