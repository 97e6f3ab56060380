// One step of dragging the vis window with the left button held. Geometry
// only; the window procedure reads the rectangle and moves the window.
#pragma once

#include "window/screen_rect.h"

// Fixed limits, not read from the screen: a window dragged beyond either
// goes back to the screen's top-left corner.
constexpr int dragLimitX = 1280;
constexpr int dragLimitY = 1024;

// A client coordinate from its 16-bit half of a mouse message's lParam.
// Signed, so that a captured pointer left of or above the window gives a
// negative coordinate rather than one 65536 too large.
int clientCoordinate(unsigned int halfWord);

// The moves of one step: first to (x, y), then to (0, 0) once for each limit
// the new position passes, as the window procedure makes them.
struct DragStep {
    WindowPlacement placement;
    int movesToOrigin;
};

// The window moves by the pointer's displacement from the anchor, both in
// client coordinates, so the pixel under the pointer stays the one pressed.
// Nothing bounds the position from below.
DragStep dragStep(ScreenRect window, int anchorX, int anchorY, int pointerX, int pointerY);
