// The frames the render tests expect, built by the test itself: needle end
// points from the worked table, drawn as lines into the test's own
// monochrome bitmap, the test face where the mask is white; scope traces
// placed pixel by pixel from the samples.
#pragma once

#include "frame_pictures.h"

#include <initializer_list>
#include <vector>

// Where nothing was painted: a colour no face pixel has.
constexpr std::uint32_t untouched = 0xFF00FF;

struct Point {
    int x, y;
};

// The VU back buffer's black lines when the left copy is made (outline,
// left needle, divider) and when the frame is done (the right needle too).
Picture vuMaskBeforeRightNeedle(Point left);
Picture vuMask(Point left, Point right);

// One masked copy as the window should show it: window column destX + x
// takes face column x and mask column maskX + x.
struct ExpectedCopy {
    int destX, maskX, width, height;
    bool beforeRightNeedle;
};

// A window of width x height where only the copies are painted.
Picture expectedVuWindow(int width, int height, Point left, Point right, std::initializer_list<ExpectedCopy> copies);

// The frame for a face of 137 x 75: column 137 belongs to neither copy.
Picture expectedMeters(Point left, Point right);
constexpr RECT leftMeterColumns = {0, 0, 137, 75};
constexpr RECT rightMeterColumns = {138, 0, 275, 75};

// The scope frame's outline on white.
Picture scopeOutline();

// A triangle wave from -128 up to 127 and down again, a step of 1 per
// sample, starting `phase` samples into its period of 510.
void fillTriangle(signed char *row, int phase);

// The scope frame for rows whose neighbouring samples differ by at most 1:
// then every segment between neighbouring columns paints just its start, so
// a channel's trace is pixel (i, top + 128 + s_i) for i = 0 to 574 (the end
// point in column 575 is never painted, and column 0's stroke down from the
// band's top lies on the outline). null: no trace.
Picture scopeFrame(const signed char *channel0, const signed char *channel1);
