#include "window/dragging.h"

int clientCoordinate(unsigned int halfWord)
{
    const int value = static_cast<int>(halfWord & 0xffffu);
    return value >= 0x8000 ? value - 0x10000 : value;
}

DragStep dragStep(ScreenRect window, int anchorX, int anchorY, int pointerX, int pointerY)
{
    DragStep step = {};
    step.placement.x = window.left + (pointerX - anchorX);
    step.placement.y = window.top + (pointerY - anchorY);
    step.placement.width = widthOf(window);
    step.placement.height = heightOf(window);
    if (step.placement.x > dragLimitX) ++step.movesToOrigin;
    if (step.placement.y > dragLimitY) ++step.movesToOrigin;
    return step;
}
