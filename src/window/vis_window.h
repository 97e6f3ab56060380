// The vis window and its back buffer: made by init, used by the window
// procedure and the renderers, released by quit. One of each per library.
#pragma once

#include "records/vis_records.h"
#include "window/snapping.h"

inline HWND visWindow = nullptr;

// A memory device context compatible with the screen, holding a monochrome
// bitmap of the running module's frame size, and the bitmap it held before.
inline HDC backBuffer = nullptr;
inline HBITMAP backBufferBitmap = nullptr;
inline HBITMAP previousBackBufferBitmap = nullptr;

// The verdict of the last left-button release (snapAbove, snapBelow or the
// distance that ruled snapping out); init resets it to 0.
inline int snapState = 0;

// Client coordinates of the last left-button press in the vis window. Kept
// for as long as the library is loaded; init leaves them alone.
inline int dragAnchorX = 0;
inline int dragAnchorY = 0;

// Shared by both modules: 0 when the window is up, 1 when it is not.
int __cdecl init(VisModule *module);
void __cdecl quit(VisModule *module);

LRESULT CALLBACK visWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Judges the release of the vis window against the host window and returns
// the new snap state; snapping above already moves the window here.
int snapTest(RECT visRect, RECT hostRect);
// Places the vis window by the snap state the test left.
void snapApply(RECT visRect, RECT hostRect);
