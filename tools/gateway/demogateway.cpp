#include "tools/gateway/demogateway.h"

using demo::quoted;
using demo::userLine;

namespace {

// Bots log in as chat clients.
const QByteArray kBotFlags = "0010";
const QByteArray kBotProduct = "[CHAT]";
// A line this long without an end is no chat line: the connection is dropped.
constexpr qsizetype kMaxLine = 4096;

// The first word of `text` and what follows the blank after it.
std::pair<QByteArray, QByteArray> splitWord(const QByteArray& text)
{
    const qsizetype blank = text.indexOf(' ');
    if (blank < 0)
        return {text, {}};
    return {text.left(blank), text.mid(blank + 1)};
}

} // namespace

DemoGateway::DemoGateway(const DemoOptions& options, QObject* parent)
    : QObject(parent), m_options(options), m_gateway(options.address, options.port),
      m_crowd(options.seed)
{
    connect(&m_gateway, &ScriptedGateway::accepted, this, [this](int n) { m_bots[n] = Bot{}; });
    connect(&m_gateway, &ScriptedGateway::bytesArrived, this, &DemoGateway::arrived);
    connect(&m_gateway, &ScriptedGateway::closedByPeer, this, [this](int n) {
        leave(n);
        m_bots.remove(n);
    });

    for (QTimer* t : {&m_activity, &m_keepAlive, &m_moderation})
        t->setSingleShot(true);
    connect(&m_activity, &QTimer::timeout, this, [this] {
        playOnce();
        schedule(m_activity, m_options.activityMs);
    });
    connect(&m_keepAlive, &QTimer::timeout, this, [this] {
        keepAlive();
        m_keepAlive.start(m_options.keepAliveMs);
    });
    connect(&m_moderation, &QTimer::timeout, this, [this] {
        moderateOnce();
        schedule(m_moderation, m_options.moderationMs);
    });
    schedule(m_activity, m_options.activityMs);
    if (m_options.keepAliveMs > 0)
        m_keepAlive.start(m_options.keepAliveMs);
    schedule(m_moderation, m_options.moderationMs);
}

void DemoGateway::schedule(QTimer& timer, int meanMs)
{
    if (meanMs > 0)
        timer.start(m_crowd.gap(meanMs));
}

void DemoGateway::arrived(int n)
{
    if (!m_bots.contains(n))
        return;
    m_bots[n].pending += m_gateway.received(n);
    m_gateway.clearReceived(n);
    for (;;) {
        auto bot = m_bots.find(n);
        if (bot == m_bots.end() || bot->stage == Stage::Gone)
            return;
        const qsizetype end = bot->pending.indexOf('\n');
        if (end < 0) {
            if (bot->pending.size() > kMaxLine) {
                bot->stage = Stage::Gone;
                m_gateway.close(n);
            }
            return;
        }
        QByteArray line = bot->pending.left(end);
        bot->pending.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(n, line);
    }
}

void DemoGateway::handleLine(int n, const QByteArray& line)
{
    Bot& bot = m_bots[n];
    switch (bot.stage) {
    case Stage::Hello:
        if (line != "\x03\x04") {
            send(n, "1019 ERROR " + quoted("Log in first: the login sequence was expected."));
            bot.stage = Stage::Gone;
            m_gateway.close(n);
            return;
        }
        bot.stage = Stage::Blank;
        return;
    case Stage::Blank:
        bot.stage = Stage::Name;
        if (line.isEmpty())
            return;
        [[fallthrough]]; // no empty line: this is the name already
    case Stage::Name:
        bot.name = line;
        bot.stage = Stage::Password;
        return;
    case Stage::Password:
        logIn(n, bot.name); // any password will do
        return;
    case Stage::LoggedIn:
        command(n, line);
        return;
    case Stage::Gone:
        return;
    }
}

void DemoGateway::logIn(int n, const QByteArray& account)
{
    const QByteArray base = account.isEmpty() ? QByteArray("Guest") : account;
    QByteArray name = base;
    for (int k = 2; botNamed(name) >= 0; ++k)
        name = base + '#' + QByteArray::number(k);
    Bot& bot = m_bots[n];
    bot.name = name;
    bot.stage = Stage::LoggedIn;
    send(n, "2010 NAME " + name);
    enter(n, m_options.channel);
}

void DemoGateway::command(int n, const QByteArray& line)
{
    const Bot bot = m_bots.value(n);
    if (line.isEmpty())
        return;
    if (!line.startsWith('/')) {
        if (bot.channel.isEmpty())
            send(n, "1019 ERROR " + quoted("You are not in a channel. Type /join and a channel."));
        else
            broadcast(m_channels[bot.channel],
                      "1005 TALK " + bot.name + ' ' + kBotFlags + ' ' + quoted(line), n);
        return;
    }

    const auto [word, rest] = splitWord(line.mid(1));
    const QByteArray verb = word.toLower();
    if (verb == "join" || verb == "j") {
        const QByteArray target = rest.trimmed();
        if (target.isEmpty())
            send(n, "1019 ERROR " + quoted("What channel do you want to join?"));
        else
            enter(n, target);
    } else if (verb == "w" || verb == "whisper" || verb == "m" || verb == "msg") {
        const auto [target, text] = splitWord(rest);
        whisper(n, target, text);
    } else if (verb == "kick" || verb == "ban") {
        const auto [target, reason] = splitWord(rest);
        if (bot.channel.isEmpty())
            send(n, "1019 ERROR " + quoted("You are not in a channel."));
        else if (!removeUser(bot.channel, target, bot.name, reason.trimmed(), verb == "ban"))
            send(n, "1019 ERROR " + quoted("That user is not in this channel."));
    } else if (verb == "me" || verb == "emote") {
        if (bot.channel.isEmpty())
            send(n, "1019 ERROR " + quoted("You are not in a channel."));
        else
            broadcast(m_channels[bot.channel],
                      "1023 EMOTE " + bot.name + ' ' + kBotFlags + ' ' + quoted(rest), n);
    } else {
        send(n, "1019 ERROR " + quoted("That is not a valid command."));
    }
}

void DemoGateway::whisper(int n, const QByteArray& target, const QByteArray& text)
{
    const QByteArray from = m_bots.value(n).name;
    const int other = botNamed(target);
    if (other >= 0) {
        send(other, "1004 WHISPER " + from + ' ' + kBotFlags + ' ' + quoted(text));
        return;
    }
    for (const Channel& c : std::as_const(m_channels)) {
        for (const demo::User& u : c.crowd) {
            if (u.name != target)
                continue;
            // A made-up user answers after a moment, if the bot is still there.
            const QByteArray reply =
                "1004 WHISPER " + u.name + ' ' + u.flags + ' ' + quoted(m_crowd.whisperReply());
            QTimer::singleShot(1500, this, [this, n, from, reply] {
                if (m_bots.value(n).stage == Stage::LoggedIn && m_bots.value(n).name == from)
                    send(n, reply);
            });
            return;
        }
    }
    send(n, "1019 ERROR " + quoted("That user is not logged on."));
}

void DemoGateway::enter(int n, const QByteArray& name)
{
    leave(n);
    Channel& c = channel(name);
    Bot& bot = m_bots[n];
    bot.channel = name;
    const QByteArray self = bot.name + ' ' + kBotFlags + ' ' + kBotProduct;
    // The channel and everyone in it in one write: the bot itself first.
    QByteArray lines = "1007 CHANNEL " + quoted(name) + "\r\n1001 USER " + self + "\r\n";
    for (int other : std::as_const(c.bots))
        lines += "1001 USER " + m_bots[other].name + ' ' + kBotFlags + ' ' + kBotProduct + "\r\n";
    for (const demo::User& u : std::as_const(c.crowd))
        lines += userLine("1001 USER", u) + "\r\n";
    if (m_gateway.isOpen(n))
        m_gateway.send(n, lines);
    broadcast(c, "1002 JOIN " + self);
    c.bots.append(n);
}

void DemoGateway::leave(int n)
{
    auto bot = m_bots.find(n);
    if (bot == m_bots.end() || bot->channel.isEmpty())
        return;
    Channel& c = m_channels[bot->channel];
    c.bots.removeAll(n);
    broadcast(c, "1003 LEAVE " + bot->name + ' ' + kBotFlags);
    bot->channel.clear();
}

bool DemoGateway::removeUser(const QByteArray& channelName, const QByteArray& target,
                             const QByteArray& by, const QByteArray& reason, bool ban)
{
    auto found = m_channels.find(channelName);
    if (found == m_channels.end() || target.isEmpty())
        return false;
    Channel& c = *found;
    int crowdIndex = -1;
    for (int i = 0; i < c.crowd.size() && crowdIndex < 0; ++i)
        if (c.crowd[i].name == target)
            crowdIndex = i;
    int botIndex = -1;
    for (int n : std::as_const(c.bots))
        if (m_bots.value(n).name == target)
            botIndex = n;
    if (crowdIndex < 0 && botIndex < 0)
        return false;

    QByteArray info = target + (ban ? " has been banned by " : " has been kicked by ") + by;
    info += reason.isEmpty() ? QByteArray(".") : " (" + reason + ").";
    broadcast(c, "1018 INFO " + quoted(info));
    if (botIndex >= 0) {
        leave(botIndex); // out until it joins a channel again
    } else {
        const QByteArray flags = c.crowd.at(crowdIndex).flags;
        c.crowd.removeAt(crowdIndex);
        broadcast(c, "1003 LEAVE " + target + ' ' + flags);
    }
    return true;
}

QByteArrayList DemoGateway::namesIn(const Channel& c) const
{
    QByteArrayList names;
    for (const demo::User& u : c.crowd)
        names << u.name;
    for (const Bot& bot : m_bots)
        names << bot.name;
    return names;
}

int DemoGateway::botNamed(const QByteArray& name) const
{
    for (auto bot = m_bots.cbegin(); bot != m_bots.cend(); ++bot)
        if (bot->stage == Stage::LoggedIn && bot->name == name)
            return bot.key();
    return -1;
}

QByteArrayList DemoGateway::botNames() const
{
    QByteArrayList names;
    for (const Bot& bot : m_bots)
        if (bot.stage == Stage::LoggedIn)
            names << bot.name;
    return names;
}

QByteArray DemoGateway::channelOf(const QByteArray& botName) const
{
    const int n = botNamed(botName);
    return n < 0 ? QByteArray() : m_bots.value(n).channel;
}

void DemoGateway::send(int n, const QByteArray& line)
{
    if (m_gateway.isOpen(n))
        m_gateway.send(n, line + "\r\n");
}

void DemoGateway::broadcast(const Channel& c, const QByteArray& line, int except)
{
    for (int n : c.bots)
        if (n != except)
            send(n, line);
}
