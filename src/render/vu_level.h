// The VU level model: one frame of one channel's samples and the level the
// last frame left in, the channel's new smoothed level and its needle line
// out. Platform-free, and without state: the caller keeps the levels.
#pragma once

constexpr int meterWidth = 137;
constexpr int frameHeight = 75;
constexpr int needleLength = 55;
constexpr int vuSampleCount = 576;

constexpr double meanFactor = 1.0 / 576;
constexpr double decibelFactor = 10.0;
constexpr double levelLimit = 127.0;
constexpr double smoothingWeight = 0.275;
constexpr double angleSlope = 5.6;
constexpr double angleAtZeroDb = 45.5;
constexpr double lowerStop = 20.5;
constexpr double upperStop = 160.0;
constexpr double degreePi = 3.14;  // the meter's pi, kept so the scale matches
constexpr double degreeDivisor = 1.0 / 180;

struct NeedleLine {
    double level;  // the new smoothed level in dB
    int pivotX, pivotY;
    int endX, endY;
};

// channel is 0 (left meter) or 1 (right meter); previousLevel is the level
// the channel's last frame gave (out of range or not a number, it is held
// to -127..127); samples holds that channel's 576 signed 8-bit samples.
NeedleLine updateNeedle(int channel, double previousLevel, const signed char *samples);

// The smoothed level's needle angle in degrees, held between the stops. The
// meter face places its scale marks with it.
double needleAngleDegrees(double level);

// The needle of one meter for a smoothed level.
NeedleLine needleLineForLevel(int channel, double level);
