#include "app/attention.h"

#include <QLineEdit>

#include "app/frmmain.h"
#include "app/notifier.h"
#include "app/tabstrip.h"

Attention::Attention(frmMain& w) : QObject(&w), m_w(w) {}

void Attention::setOptions(bool markTabs, bool notify)
{
    m_markTabs = markTabs;
    m_notify = notify;
    if (notify && !m_notifier) {
        m_notifier = new Notifier(this);
        connect(m_notifier, &Notifier::activated, this, &Attention::showBot);
    }
}

void Attention::entryAdded(int Index)
{
    if (m_markTabs && quiet == 0 && m_w.SSTab1->currentIndex() != Index + 1)
        m_w.SSTab1->tabButton(Index + 1)->raiseMark(TabButton::Mark::NewLines);
}

void Attention::alert(int Index, Alert what, const QString& who, const QString& text)
{
    const bool shown = m_w.SSTab1->currentIndex() == Index + 1;
    if (m_markTabs && !shown)
        m_w.SSTab1->tabButton(Index + 1)->raiseMark(TabButton::Mark::NeedsAttention);
    if (!m_notify || (shown && m_w.isActiveWindow()))
        return;
    const BotSession& session = m_w.bot[Index].session;
    QString bot = session.givenName.value_or(m_w.txtUsername[Index]->text());
    if (bot.isEmpty())
        bot = QString("Bot %1").arg(Index + 1);
    const QString by = who.isEmpty() ? QString() : " by " + who;
    switch (what) {
    case Alert::Whisper:
        m_notifier->notify(Index, bot + ": whisper from " + who, text, "im.received");
        break;
    case Alert::Kicked:
        m_notifier->notify(Index, bot + " was kicked" + by, text, "im");
        break;
    case Alert::Banned:
        m_notifier->notify(Index, bot + " was banned" + by, text, "im");
        break;
    case Alert::Error:
        m_notifier->notify(Index, bot + ": error from the server", text, "im.error");
        break;
    case Alert::Lost:
        m_notifier->notify(Index, bot + " lost its connection", text, "network.disconnected");
        break;
    case Alert::LoginRefused:
        m_notifier->notify(Index, bot + ": login refused", text, "network.error");
        break;
    }
}

void Attention::showBot(int Index)
{
    m_w.showNormal();
    m_w.raise();
    m_w.activateWindow();
    if (m_w.SSTab1->currentIndex() != Index + 1)
        m_w.SSTab1->choose(Index + 1);
}

Unmarked::Unmarked(frmMain& w, bool on) : attention(on ? w.attention : nullptr)
{
    if (attention)
        ++attention->quiet;
}

Unmarked::~Unmarked()
{
    if (attention)
        --attention->quiet;
}

void NeedsOperator(frmMain& w, int Index, Alert what, const QString& who, const QString& text)
{
    w.attention->alert(Index, what, who, text);
}
