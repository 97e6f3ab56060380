// The vis window's procedure: paint from the back buffer, keys on to the
// host window, dragging, snapping, and the window position kept current.
#include "settings/window_position.h"
#include "window/dragging.h"
#include "window/snapping.h"
#include "window/vis_window.h"

static ScreenRect screenRectOf(const RECT &rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// Client coordinates of the last left-button press in the vis window. Kept
// for as long as the library is loaded; init leaves them alone.
static int dragAnchorX = 0;
static int dragAnchorY = 0;

static void moveVisWindow(const WindowPlacement &placement)
{
    MoveWindow(visWindow.handle, placement.x, placement.y, placement.width, placement.height, TRUE);
}

// Judges the released vis window against the host window and returns the
// snap state; snapping above already moves the window here.
static int snapCheck(const RECT &visRect, const RECT &hostRect)
{
    const SnapVerdict verdict = snapVerdict(screenRectOf(visRect), screenRectOf(hostRect));
    if (verdict.moves) moveVisWindow(verdict.placement);
    return verdict.snapState;
}

// Places the vis window by the snap state the check gave.
static void snapApply(int snapState, const RECT &visRect, const RECT &hostRect)
{
    WindowPlacement placement;
    if (snapPlacement(snapState, screenRectOf(visRect), screenRectOf(hostRect), &placement))
        moveVisWindow(placement);
}

// The window is read through the handle the message came with: during
// creation the vis window handle is not stored yet, and a failed read must
// never reach the window position.
static void recordWindowPosition(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    windowPosition.x = rect.left;
    windowPosition.y = rect.top;
}

static void paintFromBackBuffer(HWND window)
{
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    BitBlt(target, 0, 0, client.right, client.bottom, visWindow.backBuffer.dc, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
}

static void forwardKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Null only for a key that could arrive before init stored the record.
    auto *module = reinterpret_cast<VisModule *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (module) PostMessageA(module->parentWindow, message, wParam, lParam);
}

static void dragWindow(HWND window, LPARAM lParam)
{
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    const DragStep step = dragStep(screenRectOf(rect), dragAnchorX, dragAnchorY,
                                   clientCoordinate(LOWORD(lParam)), clientCoordinate(HIWORD(lParam)));
    moveVisWindow(step.placement);
    for (int move = 0; move < step.movesToOrigin; ++move)
        moveVisWindow({0, 0, step.placement.width, step.placement.height});
}

// Both rectangles are read once, before anything moves. Without an owner or
// its rectangle there is nothing to snap to.
static void snapToHost(HWND window)
{
    RECT visRect;
    RECT hostRect;
    HWND host = GetParent(window);
    if (!host || !GetWindowRect(window, &visRect) || !GetWindowRect(host, &hostRect)) return;
    snapApply(snapCheck(visRect, hostRect), visRect, hostRect);
}

LRESULT CALLBACK visWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
        recordWindowPosition(window);
        return 0;
    case WM_PAINT:
        paintFromBackBuffer(window);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        forwardKey(window, message, wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON) dragWindow(window, lParam);
        return 0;
    case WM_LBUTTONDOWN:
        if (wParam & MK_LBUTTON) {
            dragAnchorX = clientCoordinate(LOWORD(lParam));
            dragAnchorY = clientCoordinate(HIWORD(lParam));
            SetCapture(window);
        }
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        snapToHost(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
