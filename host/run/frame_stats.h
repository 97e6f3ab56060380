// Frame timing of one run: how many frames, at what rate, and how evenly
// spaced. Intervals go into a fixed histogram so that recording a frame
// costs no allocation however long the run. Platform-free.
#pragma once

constexpr int intervalBinMicroseconds = 10;
constexpr int intervalBins = 100000;  // 10 us bins up to 1 s; longer ones count in the last

struct FrameStats {
    long long frames;
    long long firstMicroseconds, lastMicroseconds;
    long long intervals;
    unsigned int intervalHistogram[intervalBins];
};

void resetFrameStats(FrameStats &stats);

// A frame began at the given time, from any clock that only moves forward.
void recordFrame(FrameStats &stats, long long microseconds);

// Frames per second from the first frame to the last; 0 with fewer than two.
double framesPerSecond(const FrameStats &stats);

// The interval at the given percentile (nearest rank, so 50 is the median
// and 99 the 99th percentile), in microseconds, rounded down to its bin;
// 0 with no intervals.
long long intervalPercentile(const FrameStats &stats, int percent);
