#include "app/notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <algorithm>

namespace {

const char kService[] = "org.freedesktop.Notifications";
const char kPath[] = "/org/freedesktop/Notifications";
int s_quietMs = 10'000;
// A service that does not answer must not leave a bot waiting for good.
constexpr int kCallTimeoutMs = 5'000;

QString escaped(QString text)
{
    return text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

} // namespace

Notifier::Notifier(QObject* parent) : QObject(parent)
{
    QDBusConnection::sessionBus().connect(kService, kPath, kService, "ActionInvoked", this,
                                          SLOT(actionInvoked(uint, QString)));
}

bool Notifier::Available()
{
    const QDBusConnection session = QDBusConnection::sessionBus();
    QDBusConnectionInterface* bus = session.isConnected() ? session.interface() : nullptr;
    return bus && (bus->isServiceRegistered(kService).value() ||
                   bus->activatableServiceNames().value().contains(kService));
}

void Notifier::SetQuietMs(int ms)
{
    s_quietMs = ms;
}

void Notifier::notify(int bot, const QString& summary, const QString& body, const QString& category)
{
    if (bot < 0 || bot >= int(m_shown.size()))
        return;
    Shown& s = m_shown[bot];
    if (s.since.isValid() && s.since.elapsed() < s_quietMs) {
        ++s.more;
    } else {
        s.since.start();
        s.id = 0;
        s.more = 0;
    }
    s.summary = summary;
    s.body = body;
    s.category = category;
    // Until the service gave the first one's id, a replacement would be a second one.
    if (s.waiting)
        s.due = true;
    else
        send(bot);
}

bool Notifier::idle() const
{
    return std::none_of(m_shown.begin(), m_shown.end(), [](const Shown& s) { return s.waiting; });
}

void Notifier::send(int bot)
{
    Shown& s = m_shown[bot];
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    const QString summary =
        s.more > 0 ? s.summary + QString(" (and %1 more)").arg(s.more) : s.summary;
    const QVariantMap hints{{"desktop-entry", "tenfold"}, {"category", s.category}};
    call << QString("Tenfold") << s.id << QString("tenfold") << summary << escaped(s.body)
         << QStringList{"default", "Show"} << hints << -1;
    s.waiting = true;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, bot](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                Shown& s = m_shown[bot];
                const QDBusPendingReply<uint> reply = *w;
                // Without a service nothing is shown, and nothing fails.
                if (reply.isValid())
                    s.id = reply.value();
                s.waiting = false;
                if (std::exchange(s.due, false))
                    send(bot);
            });
}

void Notifier::actionInvoked(uint id, const QString& action)
{
    if (action != "default" || id == 0)
        return;
    for (int bot = 0; bot < int(m_shown.size()); ++bot)
        if (m_shown[bot].id == id)
            emit activated(bot);
}
