// What the benchmarks measure the process with, and how they print a figure
// beside its baseline and its goal. Goals are reported, never enforced: a
// missed goal does not change the exit code.
#pragma once

#include <cstddef>
#include <string>

double MonotonicSeconds();
// CPU time of the whole process, all threads.
double ProcessCpuSeconds();
// Resident set size, from /proc/self/statm.
std::size_t ResidentBytes();
// Bytes the allocator has handed out and not got back.
std::size_t HeapInUse();

void PrintTitle(const std::string& title);
void PrintFigure(const std::string& what, double value, const std::string& unit,
                 const std::string& note = {});
// `met` decides the verdict printed after the goal.
void PrintGoal(const std::string& what, double value, const std::string& unit,
               const std::string& goal, bool met);
// The load of the machine while the figures were taken.
void PrintLoad();
