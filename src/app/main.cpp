#include <QApplication>

#include "runtime/termination_signals.h"
#include "window/main_window.h"
#include "runtime/settings_store.h"

int main(int argc, char** argv)
{
    gg::InstallTerminationHandling();
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.vorlentis.GlimmerGatherer"));
    gg::KeepOnlyOwnSettingsFile();
    gg::MainWindow window;
    window.show();
    return app.exec();
}
