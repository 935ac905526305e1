#include <QApplication>

#include "platform/termination_signals.h"
#include "shell/form1.h"
#include "shell/settings_store.h"

int main(int argc, char** argv)
{
    gg::InstallTerminationHandling();
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.vorlentis.GlimmerGatherer"));
    gg::KeepOnlyOwnSettingsFile();
    gg::Form1 window;
    window.show();
    return app.exec();
}
