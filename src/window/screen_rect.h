// A window's rectangle in screen pixels, as the platform reports it: right
// and bottom lie one past the last column and row.
#pragma once

struct ScreenRect {
    int left;
    int top;
    int right;
    int bottom;
};

inline int widthOf(const ScreenRect &rect) { return rect.right - rect.left; }
inline int heightOf(const ScreenRect &rect) { return rect.bottom - rect.top; }

// Where and how large a window is to be placed.
struct WindowPlacement {
    int x;
    int y;
    int width;
    int height;
};
