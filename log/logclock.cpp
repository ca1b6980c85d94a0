#include "log/logclock.h"

#include <ctime>

namespace {

qint64 fixedEpoch = -1;
EntryTime cached;

void twoDigits(char* out, int v)
{
    out[0] = char('0' + v / 10);
    out[1] = char('0' + v % 10);
}

} // namespace

EntryTime EntryTimeNow()
{
    const qint64 now = fixedEpoch >= 0 ? fixedEpoch : qint64(std::time(nullptr));
    if (now != cached.epoch) {
        const std::time_t t = std::time_t(now);
        std::tm local{};
        localtime_r(&t, &local);
        cached.epoch = now;
        cached.date = (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
        twoDigits(cached.hms, local.tm_hour);
        twoDigits(cached.hms + 3, local.tm_min);
        twoDigits(cached.hms + 6, local.tm_sec);
        cached.hms[2] = cached.hms[5] = ':';
    }
    return cached;
}

void SetEntryClockForTesting(qint64 epoch)
{
    fixedEpoch = epoch;
}
