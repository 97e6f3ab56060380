// The meter face: the bitmap made from the face's BMP file, and the info
// header of the last file read. One of each per library, owned here.
#pragma once

#include <windows.h>

struct MeterFace {
    // Made by the last load, or null. A load deletes the bitmap it replaces,
    // so at most one face is alive, and the handle is never a deleted one.
    HBITMAP bitmap;
    // All 40 bytes of the last info header really read; biWidth and
    // biHeight (sign included) are the face's size for the VU meters'
    // copies. All zero until the first read; never cleared.
    BITMAPINFOHEADER header;
};
extern MeterFace meterFace;

// Loads the face from a BMP file and returns the new bitmap (also kept in
// meterFace.bitmap), or null when none was made; either way the previous
// bitmap is deleted. Failures to open or read are drawn as text onto the
// screen; the load always returns. Which files give a bitmap:
// planBitmapLayout in bitmap_file_layout.h.
HBITMAP loadBackgroundBitmap(const char *path);

// Deletes the face's bitmap, as quit does; the header stays.
void releaseMeterFace();
