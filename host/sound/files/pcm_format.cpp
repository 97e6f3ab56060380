#include "sound/files/pcm_format.h"

#include <cmath>
#include <cstring>

const char *pcmFormatProblem(const PcmFormat &format)
{
    const bool floats = format.floatingPoint && format.bitsPerSample == 32;
    if (!format.integerPcm && !floats)
        return "only integer PCM and 32-bit floating-point samples are read here (not compressed data)";
    if (format.channels < 1) return "it has no channels";
    if (!floats && format.bitsPerSample != 8 && format.bitsPerSample != 16 && format.bitsPerSample != 24 &&
        format.bitsPerSample != 32)
        return "only 8-, 16-, 24- and 32-bit integer samples are read here";
    if (format.sampleRate < 1 || format.sampleRate > 1000000) return "the sample rate is not between 1 and 1000000 Hz";
    if (format.blockAlign != format.channels * format.bitsPerSample / 8)
        return "the block size does not match the channels and the sample width";
    return nullptr;
}

RingFormat ringFormatOf(const PcmFormat &format)
{
    const int channels = format.channels < 2 ? format.channels : 2;
    const bool sixteen = format.floatingPoint || format.bitsPerSample == 32;
    return RingFormat{channels, sixteen ? 2 : format.bitsPerSample / 8};
}

namespace {

void floatToPcm16(const unsigned char *from, unsigned char *to)
{
    float value;
    std::memcpy(&value, from, 4);
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
    to[0] = static_cast<unsigned char>(word & 0xFF);
    to[1] = static_cast<unsigned char>(word >> 8);
}

}  // namespace

long long toRingFormat(unsigned char *bytes, long long frameCount, const PcmFormat &format)
{
    const RingFormat ring = ringFormatOf(format);
    const int sampleBytes = format.bitsPerSample / 8;
    if (ring.channels == format.channels && ring.bytesPerSample == sampleBytes) return frameCount * format.blockAlign;
    // Each sample lands at or before where it was read from.
    long long out = 0;
    for (long long frame = 0; frame < frameCount; ++frame)
        for (int channel = 0; channel < ring.channels; ++channel) {
            const unsigned char *sample = bytes + frame * format.blockAlign + channel * sampleBytes;
            if (format.floatingPoint)
                floatToPcm16(sample, bytes + out);
            else
                std::memmove(bytes + out, sample + sampleBytes - ring.bytesPerSample,
                             static_cast<size_t>(ring.bytesPerSample));
            out += ring.bytesPerSample;
        }
    return out;
}
