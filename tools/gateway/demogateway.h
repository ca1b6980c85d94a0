// A chat gateway that plays a lively channel for the demo: it logs in any
// account, puts each bot in a channel with a crowd of made-up users, keeps the
// crowd talking, joining and leaving, sends keep-alives, now and then kicks or
// bans a bot, and answers the bots' commands as a server would. It listens on
// a loopback address only (through ScriptedGateway).
#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <QVector>

#include "tools/gateway/democrowd.h"
#include "tools/gateway/scriptedgateway.h"

struct DemoOptions {
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = 6112;
    // Where a bot is put when it logs in.
    QByteArray channel = "Tenfold Demo";
    // Made-up users in a channel when its first bot comes in.
    int crowd = 30;
    // Mean gaps between events; 0 turns that kind of event off.
    int activityMs = 1100;
    // Keep-alives go to one bot at a time, in turn.
    int keepAliveMs = 3000;
    int moderationMs = 60000;
    quint32 seed = 1;
};

class DemoGateway : public QObject {
    Q_OBJECT
public:
    explicit DemoGateway(const DemoOptions& options, QObject* parent = nullptr);

    bool listening() const { return m_gateway.listening(); }

    // One event in a channel that has bots in it: talk, an emote, a join, a
    // leave, a whisper to a bot, an information or an error line.
    void playOnce();
    // "2000 NULL" to the next bot that is logged in, in turn: every bot answers
    // one with an emote that the others see, and ten at once would drown the
    // channel.
    void keepAlive();
    // An operator of a bot's channel kicks or bans one bot; false when no bot
    // is in a channel.
    bool moderateOnce();
    // Removes `target` from `by`'s channel as "/kick" or "/ban" does, telling
    // everyone there; false when the target is not in that channel.
    bool removeUser(const QByteArray& channel, const QByteArray& target, const QByteArray& by,
                    const QByteArray& reason, bool ban);

    // The names of the bots that are logged in, and the channel of one ("" when
    // it is in none).
    QByteArrayList botNames() const;
    QByteArray channelOf(const QByteArray& botName) const;

private:
    enum class Stage { Hello, Blank, Name, Password, LoggedIn, Gone };
    struct Bot {
        Stage stage = Stage::Hello;
        QByteArray pending; // received, not yet a whole line
        QByteArray name;
        QByteArray channel; // empty: in no channel
    };
    struct Channel {
        QVector<demo::User> crowd;
        QVector<int> bots; // connections, in the order they came in
    };

    void arrived(int n);
    void handleLine(int n, const QByteArray& line);
    void logIn(int n, const QByteArray& account);
    void command(int n, const QByteArray& line);
    void whisper(int n, const QByteArray& target, const QByteArray& text);
    void enter(int n, const QByteArray& channel);
    void leave(int n);

    Channel& channel(const QByteArray& name);
    QByteArrayList namesIn(const Channel& c) const;
    int botNamed(const QByteArray& name) const;
    void send(int n, const QByteArray& line);
    // To every bot in the channel but `except`.
    void broadcast(const Channel& c, const QByteArray& line, int except = -1);
    void schedule(QTimer& timer, int meanMs);

    DemoOptions m_options;
    ScriptedGateway m_gateway;
    demo::Crowd m_crowd;
    QMap<int, Bot> m_bots;
    QMap<QByteArray, Channel> m_channels;
    QTimer m_activity, m_keepAlive, m_moderation;
    int m_lastKeptAlive = -1;
};
