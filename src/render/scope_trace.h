// Where the oscilloscope draws each channel's trace. Platform-free.
#pragma once

constexpr int scopeFrameWidth = 576;
constexpr int scopeFrameHeight = 512;
constexpr int scopeSampleCount = 576;

// How many traces a frame draws for the host's channelCount: none for 0 or
// less, and never more than the two rows the waveform holds.
int scopeTraceCount(int channelCount);

// The top row of channel c's 256-row band when traceCount traces are drawn:
// (512 x c) shifted right by traceCount - 1, so one trace owns the upper
// half and two share the frame.
int scopeBandTop(int channel, int traceCount);  // traceCount 1 or 2

// The row of a sample: -128 on the band's top row, 0 on its row 128, +127 on
// its bottom row.
int scopeSampleRow(int bandTop, signed char sample);
