// The window position and the rule that keeps a loaded one on screen.
#pragma once

// The vis window's top-left corner in screen pixels.
struct WindowPosition {
    int x;
    int y;
};

constexpr int lowestKeptCoordinate = 100;
constexpr int highestKeptCoordinate = 2000;

// Each coordinate alone: one outside 100..2000 becomes 100; the limits
// themselves are kept.
WindowPosition clampedPosition(WindowPosition position);
