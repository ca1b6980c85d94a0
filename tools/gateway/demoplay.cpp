// What the demo channel does by itself: the crowd's talk and comings and
// goings, keep-alives, and the operators' kicks and bans of the bots.
#include "tools/gateway/demogateway.h"

#include <algorithm>
#include <iterator>

using demo::quoted;
using demo::userLine;

void DemoGateway::playOnce()
{
    QByteArrayList active;
    for (auto c = m_channels.cbegin(); c != m_channels.cend(); ++c)
        if (!c->bots.isEmpty())
            active << c.key();
    if (active.isEmpty())
        return;
    const QByteArray name = active.at(m_crowd.below(int(active.size())));
    Channel& c = m_channels[name];
    const int roll = m_crowd.below(100);
    const int crowdSize = int(c.crowd.size());

    if (crowdSize == 0 || (roll >= 50 && roll < 62 && crowdSize < m_options.crowd * 3 / 2)) {
        const demo::User u = m_crowd.newUser(namesIn(c), m_crowd.chance(5));
        c.crowd.append(u);
        broadcast(c, userLine("1002 JOIN", u));
        return;
    }
    const demo::User& u = c.crowd.at(m_crowd.below(crowdSize));
    const QByteArray who = u.name + ' ' + u.flags + ' ';
    if (roll < 40) {
        broadcast(c, "1005 TALK " + who + quoted(m_crowd.talk()));
    } else if (roll < 50) {
        broadcast(c, "1023 EMOTE " + who + quoted(m_crowd.emote()));
    } else if (roll < 74) {
        // A leave, unless the channel would thin out or lose its last operator.
        const int ops = int(std::count_if(c.crowd.cbegin(), c.crowd.cend(),
                                          [](const demo::User& x) { return x.isOperator(); }));
        if (crowdSize <= m_options.crowd / 2 || (u.isOperator() && ops <= 1))
            return;
        const QByteArray line = "1003 LEAVE " + u.name + ' ' + u.flags;
        c.crowd.removeIf([&](const demo::User& x) { return x.name == u.name; });
        broadcast(c, line);
    } else if (roll < 86) {
        send(c.bots.at(m_crowd.below(int(c.bots.size()))),
             "1004 WHISPER " + who + quoted(m_crowd.whisper()));
    } else if (roll < 95) {
        const QByteArray text = m_crowd.chance(50)
                                    ? "There are " + QByteArray::number(crowdSize + c.bots.size()) +
                                          " users in this channel."
                                    : "Welcome to " + name + ". Be nice, and have fun.";
        broadcast(c, "1018 INFO " + quoted(text));
    } else {
        send(c.bots.at(m_crowd.below(int(c.bots.size()))), "1019 ERROR " + quoted(m_crowd.error()));
    }
}

void DemoGateway::keepAlive()
{
    // The bot after the one served last, in order of connection.
    auto next = m_bots.upperBound(m_lastKeptAlive);
    for (int tries = 0; tries < 2; ++tries, next = m_bots.begin()) {
        for (; next != m_bots.end(); ++next) {
            if (next->stage == Stage::LoggedIn) {
                m_lastKeptAlive = next.key();
                send(next.key(), "2000 NULL");
                return;
            }
        }
    }
}

bool DemoGateway::moderateOnce()
{
    QVector<int> inChannel;
    for (auto bot = m_bots.cbegin(); bot != m_bots.cend(); ++bot)
        if (!bot->channel.isEmpty())
            inChannel << bot.key();
    if (inChannel.isEmpty())
        return false;
    const Bot target = m_bots.value(inChannel.at(m_crowd.below(int(inChannel.size()))));
    Channel& c = m_channels[target.channel];
    QVector<demo::User> ops;
    std::copy_if(c.crowd.cbegin(), c.crowd.cend(), std::back_inserter(ops),
                 [](const demo::User& u) { return u.isOperator(); });
    if (ops.isEmpty()) {
        // An operator comes in to do it.
        ops << m_crowd.newUser(namesIn(c), true);
        c.crowd.append(ops.first());
        broadcast(c, userLine("1002 JOIN", ops.first()));
    }
    const demo::User& op = ops.at(m_crowd.below(int(ops.size())));
    return removeUser(target.channel, target.name, op.name, m_crowd.reason(), m_crowd.chance(30));
}

DemoGateway::Channel& DemoGateway::channel(const QByteArray& name)
{
    auto found = m_channels.find(name);
    if (found != m_channels.end())
        return *found;
    Channel& c = m_channels[name];
    // The login channel is the busiest. The first users show every product
    // tag and every flags value; the first two are operators to kick with.
    const int size = name == m_options.channel ? m_options.crowd : m_options.crowd / 3;
    for (int i = 0; i < size; ++i) {
        demo::User u = m_crowd.newUser(namesIn(c), i < 2);
        if (i < demo::Crowd::kTags.size())
            u.product = demo::Crowd::kTags.at(i);
        if (i < demo::Crowd::kFlagValues.size())
            u.flags = demo::Crowd::kFlagValues.at(i);
        c.crowd.append(u);
    }
    return c;
}
