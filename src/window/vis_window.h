// The vis window and its back buffer: made by init, used by the window
// procedure and the renderers, released by quit. One of each per library.
#pragma once

#include "plugin/vis_records.h"

inline HWND visWindow = nullptr;

// A memory device context compatible with the screen, holding a monochrome
// bitmap of the running module's frame size, and the bitmap it held before.
inline HDC backBuffer = nullptr;
inline HBITMAP backBufferBitmap = nullptr;
inline HBITMAP previousBackBufferBitmap = nullptr;

// Shared by both modules: 0 when the window is up, 1 when it is not.
int __cdecl init(VisModule *module);
void __cdecl quit(VisModule *module);

LRESULT CALLBACK visWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
