#include "face_scale.h"

#include "render/vu_level.h"

#include <cmath>

double levelForVu(double vu)
{
    const double zeroVuAmplitude = fullScaleAmplitude * std::pow(10.0, -zeroVuBelowFullScale / 20.0);
    return decibelFactor * std::log10(zeroVuAmplitude) + vu / 2.0;
}

FacePoint pointOnNeedle(double level, double radius)
{
    // The model's own angle and its own degree factors, 3.14 included: a
    // needle at rest on a level must cover that level's mark.
    const double radians = (needleAngleDegrees(level) * degreePi) * degreeDivisor;
    return {meterWidth * 0.5 - std::cos(radians) * radius,
            (frameHeight - 10) - std::sin(radians) * radius};
}
