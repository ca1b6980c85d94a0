// tenfold-demo-gateway: a lively chat channel on a loopback address, for
// trying the console without an account anywhere.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QRandomGenerator>
#include <cstdio>

#include "tools/gateway/demogateway.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tenfold-demo-gateway");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Plays a busy chat channel on port 6112 of a loopback address. Any account name and "
        "password log in.");
    parser.addHelpOption();
    const QCommandLineOption address("address", "The loopback address to listen on.", "address",
                                     "127.0.0.1");
    const QCommandLineOption channel("channel", "The channel a bot enters when it logs in.", "name",
                                     "Tenfold Demo");
    const QCommandLineOption seed("seed", "Seed of the crowd's choices (default: random).",
                                  "number");
    const QCommandLineOption quiet("quiet", "No events: only logins, commands and keep-alives.");
    parser.addOptions({address, channel, seed, quiet});
    parser.process(app);

    DemoOptions options;
    options.address = parser.value(address);
    if (options.address == "localhost")
        options.address = "127.0.0.1";
    const QHostAddress host(options.address);
    if (host.isNull() || !host.isLoopback()) {
        std::fprintf(stderr,
                     "tenfold-demo-gateway: %s is not a loopback address (127.x.x.x or ::1); "
                     "the demo listens on this machine only\n",
                     qPrintable(options.address));
        return 2;
    }
    options.channel = parser.value(channel).toLatin1();
    bool seeded = false;
    options.seed = parser.value(seed).toUInt(&seeded);
    if (!seeded)
        options.seed = QRandomGenerator::global()->generate();
    if (parser.isSet(quiet))
        options.activityMs = options.moderationMs = 0;

    DemoGateway gateway(options);
    if (!gateway.listening()) {
        std::fprintf(stderr, "tenfold-demo-gateway: cannot listen on %s port %u (in use?)\n",
                     qPrintable(options.address), unsigned(options.port));
        return 1;
    }
    std::printf("tenfold-demo-gateway: listening on %s port %u, channel \"%s\"\n",
                qPrintable(options.address), unsigned(options.port), options.channel.constData());
    std::fflush(stdout);
    return app.exec();
}
