#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>

#include "app/frmmain.h"
#include "app/quitsignals.h"
#include "app/style.h"
#include "bots/connection.h"
#include "settings/opensave.h"

namespace {

// --help and --version, answered before anything needs a display. All other
// arguments are Qt's (-platform, -style, ...) and go on to QApplication
// untouched; single-dash words are read whole, so -stylesheet is not -s -t ...
// and never taken for -h.
bool AnsweredArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription("Runs ten chat bots at once from one window.\nSettings file: " +
                                     DefaultSettingsPath());
    const QCommandLineOption help({"h", "help"}, "Displays this help.");
    const QCommandLineOption version({"v", "version"}, "Displays the version.");
    parser.addOptions({help, version});
    // Fails on Qt's options, which are not its business.
    parser.parse(arguments);
    if (parser.isSet(help)) {
        // Parsed before any application object exists, which Qt marks so.
        const QString text = parser.helpText().replace("<executable_name>", "tenfold") +
                             "\nAny other argument goes to Qt, such as -platform offscreen or "
                             "-style Fusion.\n";
        std::fputs(qPrintable(text), stdout);
        return true;
    }
    if (parser.isSet(version)) {
        std::puts("tenfold " TENFOLD_VERSION);
        return true;
    }
    return false;
}

// Without one Qt aborts with a core dump and a hint to reinstall. A platform
// named on the command line or in QT_QPA_PLATFORM (offscreen for the tests)
// is taken as one: Qt then reports on it itself.
bool DisplayGiven(int argc, char** argv)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-platform", "--platform", "-display", "--display"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (AnsweredArguments(argc, argv))
        return 0;
    if (!DisplayGiven(argc, argv)) {
        std::fputs("tenfold: no display to open the window on; start it from a desktop session, "
                   "or try it headless with xvfb-run\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("tenfold");
    QApplication::setApplicationDisplayName("Tenfold");
    // Lets a desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName("tenfold");
    InstallConsoleStyle(app);

    frmMain w(DefaultSettingsPath());
    w.Load();
    w.show();
    CloseOnSignals(w);
    LoginAtStart(w);
    return app.exec();
}
