#include "sound/files/demo_program.h"

#include <cmath>
#include <vector>

namespace {

constexpr double twoPi = 6.283185307179586;

// Sweeps run from 110 Hz to 16 x 110 Hz = 1760 Hz (four octaves).
constexpr double sweepLow = 110.0;
constexpr double sweepRatio = 16.0;

constexpr double burstPeriod = 0.25;  // seconds from one burst to the next
constexpr double burstDecay = 0.04;   // seconds for a burst to fall to 1/e

// Short ramps at both ends of each section keep the speakers from clicking.
double edgeRamp(double t, const DemoSection &section)
{
    const double ramp = 0.01;
    double gain = 1.0;
    if (t - section.start < ramp) gain = (t - section.start) / ramp;
    if (section.end - t < ramp) gain = (section.end - t) / ramp;
    return gain;
}

// Phase of a tone whose frequency moves exponentially from f0 by the factor
// ratio over duration seconds, at time u into the sweep.
double sweepPhase(double f0, double ratio, double duration, double u)
{
    const double k = std::log(ratio) / duration;
    return twoPi * f0 * (std::exp(k * u) - 1.0) / k;
}

short clampToSample(double value)
{
    if (value > 32767.0) return 32767;
    if (value < -32768.0) return -32768;
    return static_cast<short>(std::lround(value));
}

void writeSample(unsigned char *at, short value)
{
    const unsigned short bits = static_cast<unsigned short>(value);
    at[0] = static_cast<unsigned char>(bits & 0xFF);
    at[1] = static_cast<unsigned char>(bits >> 8);
}

}  // namespace

void writeDemoProgram(unsigned char *bytes)
{
    unsigned int noise = 12345;
    int sectionIndex = 0;
    for (long long frame = 0; frame < demoFrameCount; ++frame) {
        const double t = static_cast<double>(frame) / demoSampleRate;
        while (t >= demoSections[sectionIndex].end) ++sectionIndex;
        const DemoSection &section = demoSections[sectionIndex];
        const double u = t - section.start;
        const double duration = section.end - section.start;

        double left = 0.0, right = 0.0;
        switch (sectionIndex) {
        case 1:  // quiet: two soft chords, a few steps of the vis's 8 bits
            left = 700.0 * std::sin(twoPi * 330.0 * t) + 400.0 * std::sin(twoPi * 495.0 * t);
            right = 700.0 * std::sin(twoPi * 440.0 * t) + 400.0 * std::sin(twoPi * 660.0 * t);
            break;
        case 2:  // loud: the same chords near full scale
            left = 18000.0 * std::sin(twoPi * 330.0 * t) + 9000.0 * std::sin(twoPi * 495.0 * t);
            right = 18000.0 * std::sin(twoPi * 440.0 * t) + 9000.0 * std::sin(twoPi * 660.0 * t);
            break;
        case 3: {  // sweeps: the rising tone swells while the falling one fades
            const double share = u / duration;
            left = (3000.0 + 22000.0 * share) * std::sin(sweepPhase(sweepLow, sweepRatio, duration, u));
            right = (25000.0 - 22000.0 * share) *
                    std::sin(sweepPhase(sweepLow * sweepRatio, 1.0 / sweepRatio, duration, u));
            break;
        }
        case 4: {  // bursts: noise over a low thump, decaying, sides taking turns
            const int burst = static_cast<int>(u / burstPeriod);
            const double since = u - burst * burstPeriod;
            noise = noise * 1664525u + 1013904223u;
            const double white = static_cast<double>(noise >> 16) / 32768.0 - 1.0;
            const double value =
                28000.0 * std::exp(-since / burstDecay) * (0.6 * white + 0.4 * std::sin(twoPi * 80.0 * since));
            if (burst % 2 == 0)
                left = value;
            else
                right = value;
            break;
        }
        default:  // silence
            break;
        }
        const double gain = edgeRamp(t, section);
        writeSample(bytes + frame * 4, clampToSample(left * gain));
        writeSample(bytes + frame * 4 + 2, clampToSample(right * gain));
    }
}

bool decodeDemoProgram(const SoundEntry &entry, DecodeTarget &target)
{
    std::vector<unsigned char> program(static_cast<size_t>(demoFrameCount * demoChannels * demoBytesPerSample));
    writeDemoProgram(program.data());
    const PcmFormat pcm{true, demoChannels, demoSampleRate, demoBytesPerSample * 8, demoChannels * demoBytesPerSample};
    if (!announceFormat(target, entry, pcm)) return false;
    while (giveFrames(target, program.data(), demoFrameCount, pcm)) {
    }
    return target.error.empty();
}
