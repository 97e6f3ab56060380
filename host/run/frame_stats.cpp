#include "run/frame_stats.h"

#include <cstring>

void resetFrameStats(FrameStats &stats)
{
    std::memset(&stats, 0, sizeof stats);
}

void recordFrame(FrameStats &stats, long long microseconds)
{
    if (stats.frames == 0) {
        stats.firstMicroseconds = microseconds;
    } else {
        long long bin = (microseconds - stats.lastMicroseconds) / intervalBinMicroseconds;
        if (bin < 0) bin = 0;
        if (bin >= intervalBins) bin = intervalBins - 1;
        ++stats.intervalHistogram[bin];
        ++stats.intervals;
    }
    stats.lastMicroseconds = microseconds;
    ++stats.frames;
}

double framesPerSecond(const FrameStats &stats)
{
    const long long span = stats.lastMicroseconds - stats.firstMicroseconds;
    if (stats.frames < 2 || span <= 0) return 0.0;
    return static_cast<double>(stats.frames - 1) * 1e6 / static_cast<double>(span);
}

long long intervalPercentile(const FrameStats &stats, int percent)
{
    if (stats.intervals == 0) return 0;
    // Nearest rank: the smallest interval with at least percent % of all at or below it.
    long long rank = (stats.intervals * percent + 99) / 100;
    if (rank < 1) rank = 1;
    long long seen = 0;
    for (int bin = 0; bin < intervalBins; ++bin) {
        seen += stats.intervalHistogram[bin];
        if (seen >= rank) return static_cast<long long>(bin) * intervalBinMicroseconds;
    }
    return static_cast<long long>(intervalBins - 1) * intervalBinMicroseconds;
}
