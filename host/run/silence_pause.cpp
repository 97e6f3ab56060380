#include "run/silence_pause.h"

void makeSilencePause(SilencePause &pause)
{
    pause.silentFrames = 0;
    pause.paused = false;
}

bool waveformSilent(const signed char waveform[waveformRows][waveformLength])
{
    for (int row = 0; row < waveformRows; ++row)
        for (int i = 0; i < waveformLength; ++i)
            if (waveform[row][i] != 0) return false;
    return true;
}

bool renderFrame(SilencePause &pause, const signed char waveform[waveformRows][waveformLength])
{
    if (!waveformSilent(waveform)) {
        makeSilencePause(pause);
        return true;
    }
    if (pause.paused) return false;
    // The frame that completes the count is the last one rendered.
    pause.paused = ++pause.silentFrames >= silentFramesBeforePause;
    return true;
}
