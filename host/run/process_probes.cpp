#include "run/process_probes.h"

#include <psapi.h>

namespace {

long long fileTime(const FILETIME &time)
{
    return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

long long counterNow()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

long long counterTicksPerSecond()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

long long counterMicroseconds(long long ticks)
{
    const long long perSecond = counterTicksPerSecond();
    return ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
}

long long processCpu100ns()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return fileTime(kernel) + fileTime(user);
}

long long microsecondsSinceProcessStart()
{
    FILETIME created, exited, kernel, user, current;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&current);
    return (fileTime(current) - fileTime(created)) / 10;
}

double peakWorkingSetMegabytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
}
