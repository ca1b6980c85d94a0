// What the window keeps for one bot besides its controls. The routines of
// bots/ and chat/ take the bot index and find it as w.bot[Index].
//
// Yields: connect all, login all, the login's pause, a rejoin, send to all
// and the slices of a long burst let the event loop run. Any handler may then
// run inside the one that yields, for this bot or another: lines arrive, the
// board ticks, the operator clicks, the window closes. So after a yield:
// - `parsing` keeps a second handling of this bot's lines from starting
//   inside the first; the first reads what arrived meanwhile, in order;
// - `strBuffer` may have grown, so a view into it does not outlive a yield;
// - the socket may hold a new connection: `session.ending` says the lines
//   still in the buffer belong to the old one, which nothing may answer;
// - the window may be unloaded (frmMain::unloaded()): stop at the next step.
#pragma once

#include <QString>
#include <QTimer>
#include <optional>

#include "bots/pacing.h"
#include "bots/protocol.h"

// What a bot's connection has been told: after the login the server takes
// every line as chat, so a second login would say the password in the channel.
enum class LoginState { NotLoggedIn, LoginSent, LoggedIn };

// Where a bot is to go after its login: the line that takes it there and the
// channel the server then reports.
struct Destination {
    QString line;
    QString channel;
};

struct BotSession {
    LoginState login = LoginState::NotLoggedIn;
    // The name the server gave the bot on this connection (its last 2010 line).
    std::optional<QString> givenName;
    // The connection has ended; the session ends once the lines it left in the
    // bot's buffer are handled.
    bool ending = false;
    // Login Bot N's pause is over before the server named the bot: the home
    // channel goes when it does.
    bool homeChannelDue = false;
    // The channel the server last put the bot in.
    std::optional<QString> channel;
    // Owed by this connection's login, or sent and not yet answered: a
    // connection that ends first leaves it to the next.
    std::optional<Destination> headingTo;
    // Once the server has placed the bot, any later channel answers the line;
    // before, only the channel it names does (the login's own placement
    // crosses the line on the wire).
    bool anyChannelAnswers = false;

    void headFor(const Destination& where)
    {
        headingTo = where;
        anyChannelAnswers = false;
    }
    // The line that takes the bot to `headingTo` has gone out.
    void headingSent() { anyChannelAnswers = headingTo.has_value() && channel.has_value(); }
    void putIn(const QString& where)
    {
        channel = where;
        if (headingTo &&
            (anyChannelAnswers || headingTo->channel.compare(where, Qt::CaseInsensitive) == 0))
            headingTo.reset();
    }
};

// Connecting again after a drop (Bot Setup's option). It outlives the
// connections it deals with; the operator's connect, disconnect and closing
// the window end it.
struct Reconnect {
    enum class Phase {
        Idle,
        Waiting,    // for the next attempt
        Connecting, // an attempt is on its way
        Up,         // the attempt came up, and is not logging in
        LoggingIn,  // the attempt's login awaits the server's answer
    };
    Phase phase = Phase::Idle;
    int attempts = 0; // since a connection last lasted
    int refusals = 0; // of the logins of attempts, in a row
    // The dropped connection's session is yet to be read when it ends.
    bool readSession = false;
    // What to do once connected again: log in, then go back where the bot
    // was or was going. Kept across connections until something newer is known.
    bool relogin = false;
    std::optional<Destination> back;
    // The account that was logged in: a refusal of the same one is the
    // server still holding the dropped connection.
    QString account, password;
    // Login At Start's connect failed: the connection that comes up logs in
    // as at start-up, home channel included.
    bool fromStart = false;
    // Times the wait, the attempt, the login's answer, and how long a
    // connection has lasted.
    QTimer* timer = nullptr;
};

struct BotRecord {
    // As last read from the settings file by connect and login.
    QString strServer, strUsername, strPassword;
    // What the desktop keyring holds for the bot, as it last told or took it
    // (Bot Setup's Keyring option); not known until then.
    std::optional<QString> keyringPassword;
    // Received and not yet handled.
    protocol::LineBuffer strBuffer;
    // The bot's lines are being handled (see above).
    bool parsing = false;
    // The current connection's; a new one starts afresh.
    BotSession session;
    Reconnect reconnect;
    SendQueue queue;
    // The connection Login At Start made, until it comes up or fails.
    quint64 startConnection = 0;
};
