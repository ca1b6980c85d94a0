// The local time of a chat-log entry, read once per append and shared by the
// entry's stamp and its log file line. The local breakdown is worked out once
// a second, so that a read costs a clock read and a compare.
#pragma once

#include <QtGlobal>

struct EntryTime {
    qint64 epoch = -1; // seconds since 1970-01-01 UTC
    int date = 0;      // the local date as yyyymmdd: one compare tells a new day
    char hms[8] = {};  // the local time as "HH:MM:SS"
};

// Now, in the local time zone. For the GUI thread.
EntryTime EntryTimeNow();

// Tests: the clock reads `epoch` (seconds since 1970 UTC) until called with -1,
// which gives back the real clock.
void SetEntryClockForTesting(qint64 epoch);
