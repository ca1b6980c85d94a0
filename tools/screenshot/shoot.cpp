// Drives the console through the demo and takes the README's screenshots:
// run by tools/gateway/run-demo in the console's place, under a virtual X
// server. Connects and logs in all ten bots, lets the channel get busy, then
// saves OUTDIR/settings.png (the Settings tab) and OUTDIR/channel.png (bot 1).
//   tenfold-screenshot [OUTDIR] [BUSY_SECONDS]
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <functional>

#include "app/frmmain.h"
#include "app/style.h"
#include "app/tabstrip.h"
#include "settings/opensave.h"
#include "tools/gateway/scriptedgateway.h"

namespace {

bool allBots(const std::function<bool(int)>& test)
{
    for (int i = 0; i < BotCount; ++i)
        if (!test(i))
            return false;
    return true;
}

// What the X server shows of the window, or the window's own rendering where
// the screen cannot be read.
bool shoot(frmMain& w, const QString& file)
{
    RunFor(300); // let the last repaint reach the screen
    QPixmap shot = w.screen()->grabWindow(w.winId());
    if (shot.isNull())
        shot = w.grab();
    const bool saved = shot.save(file, "PNG");
    std::fprintf(saved ? stdout : stderr, "tenfold-screenshot: %s %s (%dx%d)\n",
                 saved ? "saved" : "cannot save", qPrintable(file), shot.width(), shot.height());
    return saved;
}

int fail(const char* what)
{
    std::fprintf(stderr, "tenfold-screenshot: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("tenfold");
    InstallConsoleStyle(app);
    const QStringList args = QCoreApplication::arguments();
    const QString outDir = args.value(1, ".");
    const int busyMs = args.value(2, "25").toInt() * 1000;

    frmMain w(DefaultSettingsPath());
    w.Load();
    w.show();
    if (!RunUntil([&] { return w.windowHandle() && w.windowHandle()->isExposed(); }, 10000))
        return fail("the window was not shown");

    w.btnConnect->click();
    if (!RunUntil(
            [&] { return allBots([&](int i) { return w.lblBotConnected[i]->text() == "Yes"; }); },
            10000))
        return fail("not every bot connected: is the demo gateway running?");
    w.btnLoginAll->click();
    if (!RunUntil(
            [&] {
                return allBots([&](int i) { return !w.lblCurrentChannel[i]->text().isEmpty(); });
            },
            10000))
        return fail("not every bot entered a channel");

    RunFor(busyMs);
    // Kicked or banned bots are back in a channel before the picture.
    RunUntil(
        [&] { return allBots([&](int i) { return !w.lblCurrentChannel[i]->text().isEmpty(); }); },
        5000);
    if (!shoot(w, outDir + "/settings.png"))
        return 1;

    w.SSTab1->tabButton(1)->click();
    w.UserList[0]->setCurrentRow(qMin(3, w.UserList[0]->count() - 1));
    w.txttalk[0]->setText("Hello, channel! Ten of us are here.");
    w.Command1[0]->click();
    RunFor(3000);
    const bool ok = shoot(w, outDir + "/channel.png");
    w.close();
    return ok ? 0 : 1;
}
