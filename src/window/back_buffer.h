// The back buffer: the frame drawn off screen, black lines on white, before
// it is copied to the vis window.
#pragma once

#include <windows.h>

// A memory device context compatible with the screen, the monochrome bitmap
// selected into it, and the bitmap it held before, to be put back.
struct BackBuffer {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};

// A fresh memory device context holds a 1 x 1 monochrome bitmap, so a bitmap
// made compatible with it is monochrome too. Failures leave null handles,
// which drawing and releasing ignore.
BackBuffer createBackBuffer(int width, int height);

// Puts the previous bitmap back, deletes the device context and then the
// bitmap, and leaves the record empty.
void releaseBackBuffer(BackBuffer &buffer);
