#include "sound/device/play_clock.h"

#include "sound/stream/sample_window.h"

void startPlayClock(PlayClock &clock, Pacing pacing, int sampleRate)
{
    clock.pacing = pacing;
    clock.sampleRate = sampleRate;
    clock.steadyMilliseconds = 0;
    QueryPerformanceFrequency(&clock.frequency);
    QueryPerformanceCounter(&clock.start);
}

long long playPosition(const PlayClock &clock, SoundDevice &device, const StreamRing &ring)
{
    if (clock.pacing == Pacing::steady) return framesInTicks(clock.steadyMilliseconds, 1000, clock.sampleRate);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const long long clockFrames =
        framesInTicks(now.QuadPart - clock.start.QuadPart, clock.frequency.QuadPart, clock.sampleRate);
    if (clock.pacing == Pacing::clock) return clockFrames;
    // A second: far longer than a working device's count stands still
    // while it plays, short enough that the picture's pause is brief.
    return devicePosition(device, ring, clockFrames, clock.sampleRate);
}

void advanceSteadyClock(PlayClock &clock, int milliseconds)
{
    clock.steadyMilliseconds += milliseconds;
}
