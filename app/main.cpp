#include <QApplication>

#include "app/frmmain.h"
#include "app/style.h"
#include "settings/opensave.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("tenfold");
    QApplication::setApplicationDisplayName("Tenfold");
    // Lets a desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName("tenfold");
    InstallConsoleStyle(app);

    frmMain w(DefaultSettingsPath());
    w.Load();
    w.show();
    return app.exec();
}
