#include "render/meter_copy.h"

static int smaller(int a, int b) { return a < b ? a : b; }

MeterCopy meterCopy(int channel, int faceWidth, int faceHeight)
{
    MeterCopy copy;
    copy.maskX = channel == 0 ? 0 : rightMeterLeft;
    // A face as wide as the frame puts the right copy wholly beyond it; the
    // bound also keeps faceWidth + 1 from overflowing.
    copy.destX = channel == 0 ? 0 : (faceWidth < vuFrameWidth ? faceWidth + 1 : vuFrameWidth);

    copy.width = faceWidth <= 0
        ? 0
        : smaller(faceWidth, smaller(vuFrameWidth - copy.maskX, vuFrameWidth - copy.destX));
    if (copy.width < 0) copy.width = 0;

    // The platform turns a top-down file into an upright bitmap of the same
    // number of rows; compared before negating so that INT_MIN cannot overflow.
    if (faceHeight >= 0)
        copy.height = smaller(faceHeight, frameHeight);
    else
        copy.height = faceHeight < -frameHeight ? frameHeight : -faceHeight;
    return copy;
}
