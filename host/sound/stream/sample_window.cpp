#include "sound/stream/sample_window.h"

signed char mostSignificantByte(const unsigned char *sample, int bytesPerSample)
{
    if (bytesPerSample == 1) return static_cast<signed char>(sample[0] - 128);
    return static_cast<signed char>(sample[bytesPerSample - 1]);
}

long long framesInTicks(long long ticks, long long ticksPerSecond, int sampleRate)
{
    if (ticks <= 0 || ticksPerSecond <= 0) return 0;
    // Whole seconds and the remainder apart, so ticks x rate never overflows.
    return ticks / ticksPerSecond * sampleRate + ticks % ticksPerSecond * sampleRate / ticksPerSecond;
}

long long newestFrameEnd(long long playPosition, int latencyMs, int sampleRate)
{
    return playPosition + static_cast<long long>(latencyMs) * sampleRate / 1000;
}

int fillWaveform(const PcmBlock &block, long long frameEnd, signed char waveform[waveformRows][waveformLength])
{
    const int frameBytes = block.channels * block.bytesPerSample;
    for (int i = 0; i < waveformLength; ++i) {
        long long frame = frameEnd - waveformLength + i;
        if (frame >= block.frameCount && block.frameCount > 0) frame %= block.frameCount;
        if (frame < 0 || frame >= block.frameCount) {
            waveform[0][i] = 0;
            waveform[1][i] = 0;
            continue;
        }
        const unsigned char *first = block.bytes + frame * frameBytes;
        waveform[0][i] = mostSignificantByte(first, block.bytesPerSample);
        waveform[1][i] = block.channels == 2 ? mostSignificantByte(first + block.bytesPerSample, block.bytesPerSample)
                                             : waveform[0][i];
    }
    return block.channels;
}
