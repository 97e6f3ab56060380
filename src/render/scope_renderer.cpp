#include "gdi/device_contexts.h"
#include "render/renderers.h"
#include "render/scope_trace.h"
#include "window/vis_window.h"

int __cdecl renderScope(VisModule *module)
{
    HDC backBuffer = visWindow.backBuffer.dc;
    // The default pen and brush: a black outline around white.
    Rectangle(backBuffer, 0, 0, scopeFrameWidth, scopeFrameHeight);

    const int traces = scopeTraceCount(module->channelCount);
    for (int channel = 0; channel < traces; ++channel) {
        const int top = scopeBandTop(channel, traces);
        const signed char *samples = module->waveform[channel];
        MoveToEx(backBuffer, 0, top, nullptr);
        for (int i = 0; i < scopeSampleCount; ++i) LineTo(backBuffer, i, scopeSampleRow(top, samples[i]));
    }

    // Without a window DC the copy just fails; the back buffer keeps the
    // frame for the next repaint.
    BorrowedDC window(visWindow.handle);
    BitBlt(window, 0, 0, scopeFrameWidth, scopeFrameHeight, backBuffer, 0, 0, SRCCOPY);
    return 0;
}
