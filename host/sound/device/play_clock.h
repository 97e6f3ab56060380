// The play position: how far a file has played, from the sound device when
// one takes the sound, else from the clock.
#pragma once

#include <windows.h>

#include "sound/device/sound_device.h"

// What paces the sound.
enum class Pacing {
    device,  // the sound device's position, or the clock when no device takes the sound
    clock,   // the clock alone (--mute)
    steady,  // each frame moves it by the module's delay (--steady)
};

struct PlayClock {
    Pacing pacing = Pacing::clock;
    int sampleRate = 0;
    LARGE_INTEGER start = {}, frequency = {};
    long long steadyMilliseconds = 0;
};

// Starts counting from now.
void startPlayClock(PlayClock &clock, Pacing pacing, int sampleRate);

// Frames played since the start, the device's count while it plays (see
// devicePosition); keeps counting past the end of the file.
long long playPosition(const PlayClock &clock, SoundDevice &device, const StreamRing &ring);

// For Pacing::steady: a frame moves the position on.
void advanceSteadyClock(PlayClock &clock, int milliseconds);
