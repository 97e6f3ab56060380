// Where each meter's masked copy of the face lands, and which part of the
// back buffer's picture it uses as mask. Platform-free.
#pragma once

#include "render/vu_level.h"

// The VU frame: two meters and the one-column divider between them. The
// back-buffer bitmap, and so the mask, is exactly this size.
constexpr int vuFrameWidth = 2 * meterWidth + 1;
constexpr int rightMeterLeft = meterWidth + 1;

// One masked copy: the face from its top-left corner to (destX, 0) in the
// window, through the mask from (maskX, 0). An empty copy (width or height 0)
// is not made.
struct MeterCopy {
    int destX;
    int maskX;
    int width;
    int height;
};

// The copy of meter `channel` (0 left, 1 right) for a face of faceWidth x
// faceHeight as the bitmap file gives them, sign included. The left copy goes
// to (0, 0), the right one to (faceWidth + 1, 0) through mask column 138. Both
// are cut to the frame, so no copy reads a mask pixel outside the back-buffer
// bitmap; a negative height (a top-down file) counts by its magnitude.
MeterCopy meterCopy(int channel, int faceWidth, int faceHeight);
