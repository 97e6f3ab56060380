#include "render/meter_copy.h"
#include "render/renderers.h"
#include "render/vu_level.h"
#include "resources/background_bitmap.h"
#include "window/vis_window.h"

// MaskBlt's two raster codes in one: SRCCOPY where the mask is white, the
// BLACKNESS code 0x00 where it is black.
constexpr DWORD faceThroughMask = 0x00CC0020;

static void drawNeedle(const NeedleLine &needle)
{
    MoveToEx(backBuffer, needle.pivotX, needle.pivotY, nullptr);
    LineTo(backBuffer, needle.endX, needle.endY);
}

// Shows the face with the back buffer's black lines over it. A copy that
// covers nothing, or a face that never loaded, is not made and counts as
// made: a missing face file leaves the meters blank but does not end the
// visualization. Otherwise MaskBlt's result; the device contexts are given
// back either way.
static bool copyFaceThroughMask(const MeterCopy &copy)
{
    if (copy.width == 0 || copy.height == 0 || !backgroundBitmap) return true;

    HDC window = GetDC(visWindow);
    HDC face = CreateCompatibleDC(window);
    HGDIOBJ previous = SelectObject(face, backgroundBitmap);
    const BOOL copied = MaskBlt(window, copy.destX, 0, copy.width, copy.height, face, 0, 0,
                                backBufferBitmap, copy.maskX, 0, faceThroughMask);
    SelectObject(face, previous);
    ReleaseDC(visWindow, window);
    DeleteDC(face);
    return copied != 0;
}

int __cdecl renderVuMeters(VisModule *module)
{
    const int faceWidth = backgroundHeader.biWidth;
    const int faceHeight = backgroundHeader.biHeight;

    // The default pen and brush: a black outline around white.
    Rectangle(backBuffer, 0, 0, vuFrameWidth, frameHeight);

    drawNeedle(updateNeedle(0, module->waveform[0]));
    MoveToEx(backBuffer, meterWidth, 0, nullptr);
    LineTo(backBuffer, meterWidth, frameHeight);
    // The left face is shown before the right needle exists, so a face wider
    // than a meter never shows the right needle on the left.
    if (!copyFaceThroughMask(meterCopy(0, faceWidth, faceHeight))) return 1;

    drawNeedle(updateNeedle(1, module->waveform[1]));
    copyFaceThroughMask(meterCopy(1, faceWidth, faceHeight));
    return 0;
}
