// A hostile gateway's stream for one bot: well-formed lines of every kind the
// bot handles, mixed with lines meant to break a parser, and what the bot must
// make of it all.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class QRandomGenerator;

// Every line that must reach the log carries the mark "G<bot>-<n>;", with a
// number of its own; a line that must leave no trace carries "B<bot>-<n>;".
struct HostileStream {
    QByteArray bytes;
    QVector<int> shown; // the numbers the log must show, in this order
    QStringList users;  // the user list at the end
    QByteArray replies; // what the bot must send back, in order
    QString name;       // the name the server gave the bot last, or empty
    QString channel;    // the channel it joined last, or empty
    int wellFormed = 0, hostile = 0;
};

// The stream of bot index `bot` (account name "bot<bot+1>", home channel
// "Op Den", anti-idle text "away", as GatewayConsole sets them up): at least
// `wellFormed` well-formed lines, and each kind of hostile line at least once.
HostileStream WriteHostileStream(int bot, int wellFormed, QRandomGenerator& rng);

// The marks found in a log: the numbers of this bot's good ones, in order,
// and how many others (bad ones, or another bot's) showed.
struct Marks {
    QVector<int> good;
    int wrong = 0;
};
Marks MarksIn(const QString& log, int bot);
