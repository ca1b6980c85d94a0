#include "figures.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

namespace {

double clockSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

} // namespace

double MonotonicSeconds()
{
    return clockSeconds(CLOCK_MONOTONIC);
}

double ProcessCpuSeconds()
{
    return clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

std::size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * std::size_t(sysconf(_SC_PAGESIZE));
}

std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void PrintTitle(const std::string& title)
{
    std::printf("\n== %s\n", title.c_str());
    std::fflush(stdout);
}

void PrintFigure(const std::string& what, double value, const std::string& unit,
                 const std::string& note)
{
    std::printf("  %-54s %12.3f %-8s %s\n", what.c_str(), value, unit.c_str(), note.c_str());
    std::fflush(stdout);
}

void PrintGoal(const std::string& what, double value, const std::string& unit,
               const std::string& goal, bool met)
{
    std::printf("  %-54s %12.3f %-8s goal %s: %s\n", what.c_str(), value, unit.c_str(),
                goal.c_str(), met ? "met" : "MISSED");
    std::fflush(stdout);
}

void PrintLoad()
{
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("  (load average %.2f %.2f %.2f on %ld cores)\n", load[0], load[1], load[2],
                    sysconf(_SC_NPROCESSORS_ONLN));
    std::fflush(stdout);
}
