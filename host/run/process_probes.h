// What the host measures of itself for --stats: the performance counter,
// the process's CPU time, its age and its peak memory.
#pragma once

#include <windows.h>

// The performance counter now, in its own ticks.
long long counterNow();

long long counterTicksPerSecond();

// Ticks of the performance counter in microseconds.
long long counterMicroseconds(long long ticks);

// The CPU time of the whole process, host and plug-in, in 100 ns units.
long long processCpu100ns();

// Microseconds since the process started.
long long microsecondsSinceProcessStart();

double peakWorkingSetMegabytes();
