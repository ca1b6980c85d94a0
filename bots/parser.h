// The arrival handler: what a bot's socket received, cut into lines and
// dispatched on each line's event code.
#pragma once

#include <string_view>

class frmMain;

// Reads everything the bot's socket holds and handles every complete line. A
// long burst is handled in slices from the event loop, so the window stays
// responsive; w.bot[Index].parsing stays set until nothing is left.
void Winsock_DataArrival(frmMain& w, int Index);
// Handles one complete line (without its line end); false when the line could
// not be cut.
bool ParseLine(frmMain& w, int Index, std::string_view line);

// Before a bot's socket is closed: whatever it received and nobody has read
// yet moves to the bot's buffer and is handled as usual.
void TakeUnread(frmMain& w, int Index);
