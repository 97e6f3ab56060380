#include "window/back_buffer.h"

BackBuffer createBackBuffer(int width, int height)
{
    BackBuffer buffer;
    buffer.dc = CreateCompatibleDC(nullptr);
    buffer.bitmap = CreateCompatibleBitmap(buffer.dc, width, height);
    buffer.previous = SelectObject(buffer.dc, buffer.bitmap);
    return buffer;
}

void releaseBackBuffer(BackBuffer &buffer)
{
    SelectObject(buffer.dc, buffer.previous);
    DeleteDC(buffer.dc);
    DeleteObject(buffer.bitmap);
    buffer = {};
}
