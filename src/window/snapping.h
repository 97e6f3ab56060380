// When a released vis window snaps to the host window, and where it goes.
// Geometry only; the window procedure reads the rectangles and moves the
// window.
#pragma once

#include "window/screen_rect.h"

// Two edges are close when they lie less than this many pixels apart.
constexpr int snapThreshold = 10;

// Snap states. Any other value is the distance that ruled snapping out,
// always snapThreshold or more.
enum : int {
    snapAbove = 5,
    snapBelow = 6,
};

// The test's verdict: the new snap state, and whether the test itself
// already moves the window (it does so when snapping above, one pixel
// higher than the placement that follows).
struct SnapVerdict {
    int snapState;
    bool moves;
    WindowPlacement placement;
};

// Left edges first, then the vis window's bottom against the host's top,
// then its top against the host's bottom; the first that decides wins.
SnapVerdict snapVerdict(ScreenRect vis, ScreenRect host);

// Where the window goes for a snap state: returns 1 and fills placement for
// snapAbove and snapBelow, 0 for anything else.
int snapPlacement(int snapState, ScreenRect vis, ScreenRect host, WindowPlacement *placement);
