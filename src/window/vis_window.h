// The vis window: opened by init, used by the window procedure and the
// renderers, closed by quit. One per library, whichever module runs.
#pragma once

#include "records/vis_records.h"
#include "window/back_buffer.h"

// What init makes and quit releases; all null while no module runs.
struct VisWindow {
    HWND handle;
    BackBuffer backBuffer;  // of the running module's frame size
};
extern VisWindow visWindow;

// The client area of the window and the size of its back buffer.
struct FrameSize {
    int width;
    int height;
};

// init's work for a module that draws frames of the given size: the
// position from plugin.ini, the meter face, the window class, the window and
// its back buffer. Returns 0 when the window is up, 1 after showing why not.
int openVisWindow(VisModule *module, FrameSize frame);

// quit's work: saves the position, then releases what openVisWindow made.
void closeVisWindow(VisModule *module);

LRESULT CALLBACK visWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
