#include "sound/sample_window.h"

#include <cmath>
#include <cstring>

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
    const bool floats = format.floatingPoint && format.bitsPerSample == 32;
    if (!format.integerPcm && !floats)
        return "only integer PCM and 32-bit floating-point samples are supported (not compressed data)";
    if (format.channels < 1 || format.channels > 2) return "only mono and stereo files are supported";
    if (!floats && format.bitsPerSample != 8 && format.bitsPerSample != 16 && format.bitsPerSample != 24)
        return "only 8-, 16- and 24-bit integer samples are supported";
    if (format.sampleRate < 1 || format.sampleRate > 1000000) return "the sample rate is not between 1 and 1000000 Hz";
    if (format.blockAlign != format.channels * format.bitsPerSample / 8)
        return "the block size does not match the channels and the sample width";
    return nullptr;
}

long long floatSamplesToPcm16(unsigned char *bytes, long long sampleCount)
{
    for (long long i = 0; i < sampleCount; ++i) {
        float value;
        std::memcpy(&value, bytes + i * 4, 4);
        // Written in this order, a NaN fails both tests and stays 0.
        long scaled = 0;
        if (value >= 1.0f)
            scaled = 32767;
        else if (value <= -1.0f)
            scaled = -32768;
        else if (value == value)
            scaled = std::lround(value * 32768.0f);
        if (scaled > 32767) scaled = 32767;
        const unsigned int word = static_cast<unsigned int>(scaled) & 0xFFFF;
        bytes[i * 2] = static_cast<unsigned char>(word & 0xFF);
        bytes[i * 2 + 1] = static_cast<unsigned char>(word >> 8);
    }
    return sampleCount * 2;
}
