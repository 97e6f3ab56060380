#include "gdi/device_contexts.h"
#include "render/meter_copy.h"
#include "render/renderers.h"
#include "render/vu_level.h"
#include "resources/meter_face.h"
#include "window/vis_window.h"

double needleLevels[2] = {0.0, 0.0};

// MaskBlt's two raster codes in one: the face where the mask is white,
// black where it is black.
constexpr DWORD faceThroughMask = MAKEROP4(SRCCOPY, BLACKNESS);

static void drawNeedle(int channel, const signed char *samples)
{
    const NeedleLine needle = updateNeedle(channel, needleLevels[channel], samples);
    needleLevels[channel] = needle.level;
    MoveToEx(visWindow.backBuffer.dc, needle.pivotX, needle.pivotY, nullptr);
    LineTo(visWindow.backBuffer.dc, needle.endX, needle.endY);
}

// Shows the face with the back buffer's black lines over it. A copy that
// covers nothing, or a face that never loaded, is not made and counts as
// made: a missing face file leaves the meters blank but does not end the
// visualization. Otherwise MaskBlt's result; the device contexts are given
// back either way.
static bool copyFaceThroughMask(const MeterCopy &copy)
{
    if (copy.width == 0 || copy.height == 0 || !meterFace.bitmap) return true;

    BorrowedDC window(visWindow.handle);
    MemoryDC face(window);
    Selection faceBitmap(face, meterFace.bitmap);
    return MaskBlt(window, copy.destX, 0, copy.width, copy.height, face, 0, 0, visWindow.backBuffer.bitmap,
                   copy.maskX, 0, faceThroughMask) != 0;
}

int __cdecl renderVuMeters(VisModule *module)
{
    const int faceWidth = meterFace.header.biWidth;
    const int faceHeight = meterFace.header.biHeight;
    HDC backBuffer = visWindow.backBuffer.dc;

    // The default pen and brush: a black outline around white.
    Rectangle(backBuffer, 0, 0, vuFrameWidth, frameHeight);

    drawNeedle(0, module->waveform[0]);
    MoveToEx(backBuffer, meterWidth, 0, nullptr);
    LineTo(backBuffer, meterWidth, frameHeight);
    // The left face is shown before the right needle exists, so a face wider
    // than a meter never shows the right needle on the left.
    if (!copyFaceThroughMask(meterCopy(0, faceWidth, faceHeight))) return 1;

    drawNeedle(1, module->waveform[1]);
    copyFaceThroughMask(meterCopy(1, faceWidth, faceHeight));
    return 0;
}
