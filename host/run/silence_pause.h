// Silence is most of a desktop's day. Once the vis has seen nothing but
// silence for long enough that its picture can no longer change (the
// needles at rest, the trace flat), the host stops calling render until
// sound comes back, and the plug-in's window paints from what it last drew.
// The frames stay what they would have been: the pause waits until the
// plug-in's smoothing has settled, so that a silent frame more would leave
// it as it is, and the first sound starts from where it would have.
// Platform-free.
#pragma once

#include "sound/stream/sample_window.h"

// A one-pole smoothing that keeps up to three quarters of its level each
// frame has settled to the last bit of a double after this many silent
// frames, from anywhere in its range (0.75^128 < 2^-53); the needles lie
// at rest from the first.
constexpr int silentFramesBeforePause = 128;

struct SilencePause {
    int silentFrames;  // in a row, up to silentFramesBeforePause
    bool paused;
};

void makeSilencePause(SilencePause &pause);

// Whether the frame whose waveform is given is to be rendered: false while
// paused. Sound ends the pause at once.
bool renderFrame(SilencePause &pause, const signed char waveform[waveformRows][waveformLength]);

// Whether the vis sees silence in every sample of both rows.
bool waveformSilent(const signed char waveform[waveformRows][waveformLength]);
