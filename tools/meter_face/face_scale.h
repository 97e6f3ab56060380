// Where the meter face's scale marks go. Platform-free and free of any
// drawing library, so the geometry can be checked natively.
//
// The scale reads in VU: decibels of the mean absolute amplitude, 20 x log10,
// with 0 VU a mean absolute amplitude 18 dB below the largest one an 8-bit
// sample can have (128). The level model works in 10 x log10 of the same
// amplitude, so one step of its level is two VU.
#pragma once

struct FacePoint {
    double x, y;
};

enum class MarkKind { minor, major };

struct ScaleMark {
    double vu;
    MarkKind kind;
    const char *label;  // null for an unlabelled mark; printed without sign, as on meters
};

// Marked from the end of the needle's travel at rest (about -33 VU) to the
// upper stop (about +16.7 VU); the red zone runs from 0 VU to the last mark.
inline constexpr ScaleMark scaleMarks[] = {
    {-30, MarkKind::major, "30"},
    {-25, MarkKind::minor, nullptr},
    {-20, MarkKind::major, "20"},
    {-15, MarkKind::minor, nullptr},
    {-10, MarkKind::major, "10"},
    {-7, MarkKind::minor, nullptr},
    {-5, MarkKind::major, "5"},
    {-3, MarkKind::minor, nullptr},
    {-2, MarkKind::minor, nullptr},
    {-1, MarkKind::minor, nullptr},
    {0, MarkKind::major, "0"},
    {1, MarkKind::minor, nullptr},
    {2, MarkKind::minor, nullptr},
    {3, MarkKind::minor, nullptr},
    {5, MarkKind::major, "5"},
    {7, MarkKind::minor, nullptr},
    {10, MarkKind::major, "10"},
    {15, MarkKind::major, "15"},
};
inline constexpr int scaleMarkCount = sizeof scaleMarks / sizeof scaleMarks[0];

// Full scale of the mean absolute amplitude and the reference below it.
constexpr double fullScaleAmplitude = 128.0;
constexpr double zeroVuBelowFullScale = 18.0;

// Distances from the needle's pivot, in pixels. The needle is 55 long, so its
// tip sweeps through the ticks and stops short of the numbers.
constexpr double scaleRadius = 48.0;        // the scale line; ticks rise outward from it
constexpr double minorTickRadius = 51.5;
constexpr double majorTickRadius = 54.0;
constexpr double redBandInnerRadius = 45.5; // the red zone lies inside the scale line
constexpr double labelRadius = 59.5;        // centre of a number

// The needle level at which the needle points at a mark of the given VU.
double levelForVu(double vu);

// The point at the given distance from the exact pivot (68.5, 65) along the
// needle's line for a level, in the VU frame's pixels (y downward).
FacePoint pointOnNeedle(double level, double radius);
