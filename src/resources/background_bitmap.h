// The meter face: the bitmap made from the face's BMP file, and the info
// header of the last file read. One of each per library.
#pragma once

#include <windows.h>

// The bitmap made by the last load, or null. Only quit deletes it.
inline HBITMAP backgroundBitmap = nullptr;

// All 40 bytes of the last info header really read; biWidth and biHeight
// (sign included) are the face's size for the VU meters' copies. All zero
// until the first read; never cleared.
inline BITMAPINFOHEADER backgroundHeader = {};

// Loads the face from a BMP file and returns the new background bitmap (also
// stored in backgroundBitmap), or null when none was made. Failures to open
// or read are drawn as text onto the screen; the load always returns.
HBITMAP loadBackgroundBitmap(const char *path);
