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
// stored in backgroundBitmap), or null when none was made. Every load
// replaces backgroundBitmap, with null too, and never deletes the handle it
// replaces: quit deletes the face (and should then null it). Failures to
// open or read are drawn as text onto the screen; the load always returns.
// Which files give a bitmap: planBitmapLayout in bitmap_file_layout.h.
HBITMAP loadBackgroundBitmap(const char *path);
