#include "window/snapping.h"

// Window coordinates come from the platform and stay far from the int
// limits, but a difference is taken wide and capped all the same so that no
// rectangle can make it overflow.
static int distanceBetween(int a, int b)
{
    long long distance = static_cast<long long>(a) - b;
    if (distance < 0) distance = -distance;
    return distance > 0x7fffffff ? 0x7fffffff : static_cast<int>(distance);
}

SnapVerdict snapVerdict(ScreenRect vis, ScreenRect host)
{
    const int width = widthOf(vis);
    const int height = heightOf(vis);

    int distance = distanceBetween(vis.left, host.left);
    if (distance >= snapThreshold) return {distance, false, {}};

    distance = distanceBetween(host.top, vis.bottom);
    if (distance < snapThreshold)
        return {snapAbove, true, {host.left, vis.top + host.top - vis.bottom, width, height}};

    distance = distanceBetween(vis.top, host.bottom);
    if (distance < snapThreshold) return {snapBelow, false, {}};
    return {distance, false, {}};
}

int snapPlacement(int snapState, ScreenRect vis, ScreenRect host, WindowPlacement *placement)
{
    const int width = widthOf(vis);
    const int height = heightOf(vis);
    switch (snapState) {
    case snapAbove:
        // One pixel lower than the test's own move: the vis window, owned
        // by the host window and so above it, covers the host's top row.
        *placement = {host.left, host.top - height + 1, width, height};
        return 1;
    case snapBelow:
        *placement = {host.left, host.bottom, width, height};
        return 1;
    default:
        return 0;
    }
}
