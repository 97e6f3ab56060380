#include "render/scope_trace.h"

constexpr int scopeWaveformRows = 2;

int scopeTraceCount(int channelCount)
{
    if (channelCount <= 0) return 0;
    return channelCount < scopeWaveformRows ? channelCount : scopeWaveformRows;
}

int scopeBandTop(int channel, int traceCount)
{
    return (scopeFrameHeight * channel) >> (traceCount - 1);
}

int scopeSampleRow(int bandTop, signed char sample)
{
    return bandTop + sample + 128;
}
