#include <QApplication>

#include "icons/termination_signals.h"
#include "window/main_window.h"
#include "runtime/settings_store.h"

int main(int argc, char** argv)
{
    gg::installTerminationHandling();
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.vorlentis.GlimmerGatherer"));
    gg::keepOnlyOwnSettingsFile();
    gg::MainWindow window;
    window.show();
    return app.exec();
}
