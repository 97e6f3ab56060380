#include "render/vu_level.h"

#include <cmath>
#include <limits>

// Every build has SSE2: x86-64 always, and the 32-bit DLL asks for it (see
// cmake/project_options.cmake). The sum below has no other form.
#include <emmintrin.h>

static int magnitude(signed char sample) { return sample < 0 ? -sample : sample; }

// The sum of |s| over all 576 samples, at most 73,728: an exact integer, so
// the order of the additions cannot change the level.
static int sumOfMagnitudes(const signed char *samples)
{
    static_assert(vuSampleCount % 16 == 0, "the samples come in whole blocks of 16");
    // Flipping the top bit maps s to s + 128 as an unsigned byte, and the
    // sum of absolute differences against 128 is then the sum of |s|.
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    __m128i total = _mm_setzero_si128();
    for (int j = 0; j < vuSampleCount; j += 16) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i *>(samples + j));
        total = _mm_add_epi64(total, _mm_sad_epu8(_mm_xor_si128(raw, bias), bias));
    }
    return _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(total, total));
}

// Upper clamp first, then the lower one, which also catches NaN.
static double clampLevel(double level)
{
    if (level > levelLimit) level = levelLimit;
    if (!(level >= -levelLimit)) level = -levelLimit;
    return level;
}

double needleAngleDegrees(double level)
{
    double angle = level * angleSlope + angleAtZeroDb;
    if (angle < lowerStop) angle = lowerStop;
    if (angle > upperStop) angle = upperStop;
    return angle;
}

NeedleLine updateNeedle(int channel, double previousLevel, const signed char *samples)
{
    // Sample 0 is left out while the divisor stays 576: the meter has always
    // read levels this way, and its face is marked for it.
    const int sum = sumOfMagnitudes(samples) - magnitude(samples[0]);

    // Silence is minus infinity; it is produced here rather than by log10(0),
    // which would raise the divide-by-zero flag and could trap in a host that
    // unmasks floating-point exceptions.
    const double mean = sum * meanFactor;
    const double channelLevel = clampLevel(
        sum == 0 ? -std::numeric_limits<double>::infinity() : decibelFactor * std::log10(mean));

    const double previous = clampLevel(previousLevel);
    const double level = smoothingWeight * channelLevel + (1 - smoothingWeight) * previous;
    return needleLineForLevel(channel, level);
}

NeedleLine needleLineForLevel(int channel, double level)
{
    const double radians = (needleAngleDegrees(level) * degreePi) * degreeDivisor;
    const double pivotX = meterWidth * 0.5 + (channel == 0 ? 0 : meterWidth + 1);
    const double pivotY = frameHeight - 10;

    NeedleLine line;
    line.level = level;
    line.pivotX = static_cast<int>(pivotX);
    line.pivotY = static_cast<int>(pivotY);
    const double cosine = std::cos(radians);
    const double sine = std::sin(radians);
    line.endX = channel == 0
        ? static_cast<int>(cosine * -needleLength + meterWidth * 0.5)
        : static_cast<int>((cosine * -needleLength + (meterWidth + 1)) + meterWidth * 0.5);
    line.endY = static_cast<int>(pivotY - sine * needleLength);
    return line;
}
