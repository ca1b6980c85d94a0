// The console at rest and under load: idle, pause and flood, with ten bots
// connected to a scripted gateway on 127.0.0.200 and the real window shown.

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/frmmain.h"
#include "app/setupdialogs.h"
#include "app/tabstrip.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "figures.h"
#include "gatewaythread.h"
#include "log/logview.h"
#include "mixedstream.h"
#include "settings/opensave.h"

namespace {

const QString kAddress = "127.0.0.200";
constexpr double kIdleBaselineSeconds = 10;
constexpr int kPauses = 5;

// Runs the event loop for `seconds`, as plainly as Qt can.
void runFor(double seconds)
{
    RunFor(int(seconds * 1000));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Percent of one core the process used while `f` ran.
template <class F> double cpuPercent(F f)
{
    const double cpu = ProcessCpuSeconds();
    const double wall = MonotonicSeconds();
    f();
    return (ProcessCpuSeconds() - cpu) / (MonotonicSeconds() - wall) * 100;
}

// The times of the status board's ticks, and the longest wait between two of
// them around an interval.
struct Ticks {
    std::vector<double> at;
    std::vector<double> gaps(double from, double to) const
    {
        std::vector<double> all;
        for (std::size_t k = 1; k < at.size(); ++k)
            if (at[k] >= from && at[k - 1] <= to)
                all.push_back(at[k] - at[k - 1]);
        std::sort(all.begin(), all.end());
        return all;
    }
    double largestGap(double from, double to) const
    {
        const std::vector<double> all = gaps(from, to);
        return all.empty() ? 0 : all.back();
    }
};

QByteArray settingsFor(const QString& address)
{
    QByteArray ini;
    for (int i = 0; i < BotCount; ++i) {
        ini += QString("[Bot %1]\r\nUsername=bot%1\r\nPassword=pw%1\r\nServer=%2\r\n\r\n")
                   .arg(i + 1)
                   .arg(address)
                   .toLatin1();
    }
    return ini + "[All Bots]\r\nHome Channel=Op Den\r\nAnti Idle=away\r\n";
}

// Ten plain sockets that only count line ends: what loopback and the gateway
// can deliver with no window behind them.
double baselineLinesPerSecond(GatewayThread& gw, const QByteArray& payload, qint64 lines)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    qint64 counted = 0;
    for (int i = 0; i < BotCount; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->setReadBufferSize(1 << 20);
        QTcpSocket* s = socket.get();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, &counted] {
            const QByteArray bytes = s->readAll();
            const char* at = bytes.constData();
            const char* end = at + bytes.size();
            while (const void* lf = std::memchr(at, '\n', std::size_t(end - at))) {
                ++counted;
                at = static_cast<const char*>(lf) + 1;
            }
        });
        s->connectToHost(kAddress, kGatewayPort);
        sockets.push_back(std::move(socket));
    }
    std::vector<int> connections;
    for (auto& s : sockets) {
        if (!RunUntil([&] { return s->state() == QAbstractSocket::ConnectedState; }, 5000))
            return 0;
        const quint16 port = s->localPort();
        int n = -1;
        if (!RunUntil(
                [&] {
                    return (n = gw.run([&] { return gw.gateway().connectionFrom(port); })) >= 0;
                },
                5000))
            return 0;
        connections.push_back(n);
    }
    const double start = MonotonicSeconds();
    gw.post([&gw, connections, payload] {
        for (int n : connections)
            gw.gateway().send(n, payload);
    });
    if (!RunUntil([&] { return counted >= lines * BotCount; }, 300'000))
        return 0;
    return double(counted) / (MonotonicSeconds() - start);
}

// The window with ten bots on the gateway, and the status board's ticks.
struct Console {
    GatewayThread gw{kAddress};
    QTemporaryDir dir;
    std::unique_ptr<frmMain> w;
    Ticks ticks;

    bool start()
    {
        if (!gw.run([&] { return gw.gateway().listening(); })) {
            std::fprintf(stderr, "bench_console: cannot listen on %s:%d\n", qPrintable(kAddress),
                         kGatewayPort);
            return false;
        }
        QFile f(dir.filePath("setup.cfg"));
        const QByteArray ini = settingsFor(kAddress);
        if (!f.open(QIODevice::WriteOnly) || f.write(ini) != ini.size())
            return false;
        f.close();
        w = std::make_unique<frmMain>(f.fileName());
        w->Load();
        w->show();
        QObject::connect(w->WinsockState, &QTimer::timeout,
                         [this] { ticks.at.push_back(MonotonicSeconds()); });
        runFor(0.5);
        return true;
    }

    bool connectAll()
    {
        w->btnConnect->click();
        const bool connected = RunUntil(
            [&] {
                for (BotSocket* s : w->Winsock)
                    if (s->State() != BotSocket::Connected)
                        return false;
                return true;
            },
            10'000);
        if (!connected)
            std::fprintf(stderr, "bench_console: the bots did not connect\n");
        runFor(1);
        return connected;
    }
};

void idleFigures(Console& c, double seconds)
{
    PrintTitle("idle: CPU of the console, window shown");
    const double base = cpuPercent([] { runFor(kIdleBaselineSeconds); });
    if (!c.connectAll())
        return;
    const double used = cpuPercent([&] { runFor(seconds); });
    PrintFigure("baseline: no bot connected, 10 s", base, "% core");
    PrintGoal(QString("ten bots connected and idle, %1 s").arg(seconds).toStdString(), used,
              "% core", "< 1", used < 1);
    PrintLoad();
}

void pauseFigures(const frmMain& w)
{
    PrintTitle("pause: CPU during a one-second WaitFor, ten bots idle");
    std::vector<double> plain, waits;
    for (int k = 0; k < kPauses; ++k) {
        plain.push_back(cpuPercent([] { runFor(1); }));
        waits.push_back(cpuPercent([&] { WaitFor(w, 1); }));
    }
    PrintFigure("baseline: one second of a bare event loop", median(plain), "% core",
                "median of 5");
    PrintGoal("WaitFor(1)", median(waits), "% core", "< 2", median(waits) < 2);
    PrintLoad();
}

// Lines per second the window handled; 0 when the flood failed. `today` is
// that figure of a flood without options, or 0 in that flood itself.
double floodFigures(Console& c, int lines, const std::string& options, double today)
{
    frmMain& w = *c.w;
    PrintTitle(QString("flood: ten bots, %1 mixed lines each, into the window%2")
                   .arg(QLocale(QLocale::English).toString(lines))
                   .arg(QString::fromStdString(options))
                   .toStdString());
    const std::string stream = MixedStream(std::size_t(lines));
    const QByteArray payload(stream.data(), qsizetype(stream.size()));
    const double baseRate = today > 0 ? 0 : baselineLinesPerSecond(c.gw, payload, lines);

    w.SSTab1->setCurrentIndex(1); // the operator watches Bot 1's log
    const double quietFrom = MonotonicSeconds();
    runFor(2);
    const double quietGap = c.ticks.largestGap(quietFrom, MonotonicSeconds());

    std::vector<int> connections;
    std::array<qint64, BotCount> goal{};
    for (int i = 0; i < BotCount; ++i) {
        const quint16 port = w.Winsock[i]->LocalPort();
        connections.push_back(c.gw.run([&] { return c.gw.gateway().connectionFrom(port); }));
        if (connections.back() < 0) {
            std::fprintf(stderr, "bench_console: bot %d has no connection at the gateway\n", i + 1);
            return 0;
        }
        goal[i] = w.Winsock[i]->BytesTaken() + payload.size();
    }
    // All taken and nothing left to handle; checked right after each arrival
    // handler and by a poll.
    auto handled = [&](int i) {
        return w.Winsock[i]->BytesTaken() >= goal[i] && !w.bot[i].parsing && !w.bot[i].strBuffer.hasLine();
    };
    std::array<double, BotCount> doneAt{};
    auto check = [&] {
        bool all = true;
        for (int i = 0; i < BotCount; ++i) {
            if (!doneAt[i] && handled(i))
                doneAt[i] = MonotonicSeconds();
            all = all && doneAt[i];
        }
        return all;
    };
    std::vector<QMetaObject::Connection> checks;
    for (BotSocket* s : w.Winsock)
        checks.push_back(QObject::connect(s, &BotSocket::DataArrival, s, [&check] { check(); }));

    const std::size_t rssBefore = ResidentBytes();
    const double start = MonotonicSeconds();
    c.gw.post([&c, connections, payload] {
        for (int n : connections)
            c.gw.gateway().send(n, payload);
    });
    const bool finished = RunUntil(check, 600'000);
    for (const auto& connection : checks)
        QObject::disconnect(connection);
    if (!finished) {
        std::fprintf(stderr, "bench_console: the flood was not handled within 600 s\n");
        return 0;
    }
    const double end = *std::max_element(doneAt.begin(), doneAt.end());
    runFor(0.3); // the first tick after the flood closes the last gap
    const double rate = double(lines) * BotCount / (end - start);
    const double gap = c.ticks.largestGap(start, end) * 1000;
    if (today > 0)
        PrintFigure("baseline: the same flood without options", today, "lines/s");
    else
        PrintFigure("baseline: ten plain sockets counting line ends", baseRate, "lines/s");
    PrintGoal("lines handled by the window", rate, "lines/s", ">= 500000", rate >= 500'000);
    PrintFigure("time to handle all", end - start, "s");
    PrintFigure("baseline: largest tick gap, bots connected, quiet", quietGap * 1000, "ms");
    PrintGoal("largest tick gap during the flood", gap, "ms", "<= 120", gap <= 120);
    const std::vector<double> gaps = c.ticks.gaps(start, end);
    const auto over = std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 0.12; });
    PrintFigure("tick gaps during the flood: median",
                gaps.empty() ? 0 : gaps[gaps.size() / 2] * 1000, "ms",
                QString("%1 of %2 gaps over 120 ms").arg(over).arg(gaps.size()).toStdString());
    const double grown = (double(ResidentBytes()) - double(rssBefore)) / (1 << 20);
    PrintGoal("resident memory growth during the flood", grown, "MiB", "<= 100", grown <= 100);
    PrintLoad();
    return rate;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Smaller runs can be asked for, for a quick look or a profile; an idle
    // time of 0 leaves out idle and pause.
    const int floodLines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100'000;
    const double idleSeconds = argc > 2 ? std::max(0.0, std::atof(argv[2])) : 30;

    // Log files go to a scratch folder.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    Console c;
    if (!c.start())
        return 1;
    if (idleSeconds > 0) {
        idleFigures(c, idleSeconds);
        pauseFigures(*c.w);
    }
    if (c.w->Winsock[0]->State() != BotSocket::Connected && !c.connectAll())
        return 1;
    const double today = floodFigures(c, floodLines, "", 0);
    if (today <= 0)
        return 1;
    // Both Chat Setup options, as the dialog leaves them: every entry stamped
    // and written to its bot's file.
    if (!WriteOptions(c.w->settingsPath(), {{"Timestamps", true}, {"Log Files", true}}))
        return 1;
    ApplyChatOptions(*c.w);
    if (floodFigures(c, floodLines, ", times and log files on", today) <= 0)
        return 1;
    // Bot Setup's pacing on as well: what arrives is never paced, and of what
    // the bots send in a flood (an answer to each keep-alive) at most one
    // answer waits per bot.
    if (!WriteOptions(c.w->settingsPath(), {{"Pace Lines", true}}) ||
        floodFigures(c, floodLines, ", times, log files and pacing on", today) <= 0)
        return 1;
    qsizetype waiting = 0;
    for (const BotRecord& bot : c.w->bot)
        waiting += bot.queue.pacer.waiting();
    PrintGoal("lines waiting in the ten bots' queues after the flood", double(waiting), "lines",
              "<= 10", waiting <= 10);
    c.w->close();
    c.w.reset();
    return 0;
}
