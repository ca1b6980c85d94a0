// Bot Setup's "Pace Lines": everything a bot sends after its login goes
// through SendPaced, which keeps each bot under the server's flood limit.
// Off by default: a line then goes at once, as it always did.
#pragma once

#include <QString>
#include <functional>

#include "bots/pacing.h"

class frmMain;

// Sends `text` as one line through the bot and then calls `shown`, which adds
// the line's log entry. With pacing on, the line waits in the bot's queue
// until the flood limit allows it, and `shown` runs as it goes out. False
// when the line can go nowhere (the bot is not connected, or a rejoin or
// answer like it already waits).
bool SendPaced(frmMain& w, int Index, const QString& text, std::function<void()> shown = {},
               pacing::Kind kind = pacing::Kind::Chat);

// Creates each bot's queue timer and empties a queue whose connection ends;
// called once by the window.
void SetUpPacing(frmMain& w);

// Tests only: the pacing window times `scale`.
void SetPaceTimeScale(double scale);
