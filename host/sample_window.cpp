#include "sample_window.h"

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
        if (frame >= block.frameCount && block.loops && block.frameCount > 0) frame %= block.frameCount;
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

const char *pcmFormatProblem(const PcmFormat &format)
{
    if (!format.integerPcm) return "only integer PCM is supported (not compressed or floating-point data)";
    if (format.channels < 1 || format.channels > 2) return "only mono and stereo files are supported";
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16 && format.bitsPerSample != 24)
        return "only 8-, 16- and 24-bit samples are supported";
    if (format.sampleRate < 1 || format.sampleRate > 1000000) return "the sample rate is not between 1 and 1000000 Hz";
    if (format.blockAlign != format.channels * format.bitsPerSample / 8)
        return "the block size does not match the channels and the sample width";
    return nullptr;
}
