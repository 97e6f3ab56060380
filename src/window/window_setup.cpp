// The vis window's set-up in init and its teardown in quit, shared by both
// modules: the position, the meter face, the window class, the window and
// its back buffer.
#include "resources/meter_face.h"
#include "settings/window_position.h"
#include "window/vis_window.h"

VisWindow visWindow = {};

static const char visWindowClass[] = "VelmoraVis";
static const char faceFile[] = "c:\\program files\\winamp\\vl-vu.bmp";

// "blah" is the caption these boxes have always had; users quote it.
static int refuse(const VisModule *module, const char *text)
{
    MessageBoxA(module->parentWindow, text, "blah", MB_OK);
    return 1;
}

// The frame size is that of the client area, whatever the window's
// non-client parts take.
static void fitClientArea(FrameSize frame)
{
    RECT client;
    GetClientRect(visWindow.handle, &client);
    SetWindowPos(visWindow.handle, nullptr, 0, 0, 2 * frame.width - client.right, 2 * frame.height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER);
}

// After a failure the face stays loaded: the next load or quit releases it,
// and a module already running (whose class made registration fail) keeps
// drawing with it. A failed window creation gives the class back.
int openVisWindow(VisModule *module, FrameSize frame)
{
    loadWindowPosition(module->description, module->dllInstance);
    loadBackgroundBitmap(faceFile);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = visWindowProc;
    windowClass.hInstance = module->dllInstance;
    windowClass.lpszClassName = visWindowClass;
    if (!RegisterClassA(&windowClass)) return refuse(module, "Error registering window class");

    clampWindowPosition();
    visWindow.handle = CreateWindowExA(0, visWindowClass, nullptr, WS_POPUP | WS_VISIBLE | WS_SYSMENU,
                                       windowPosition.x, windowPosition.y, frame.width, frame.height,
                                       module->parentWindow, nullptr, module->dllInstance, nullptr);
    if (!visWindow.handle) {
        UnregisterClassA(visWindowClass, module->dllInstance);
        return refuse(module, "Error creating window");
    }
    SetWindowLongPtrA(visWindow.handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(module));
    fitClientArea(frame);
    visWindow.backBuffer = createBackBuffer(frame.width, frame.height);
    ShowWindow(visWindow.handle, SW_SHOWNORMAL);
    return 0;
}

// The position is saved while the window still holds it. Destroying the
// window posts the quit message that ends the player's loop.
void closeVisWindow(VisModule *module)
{
    saveWindowPosition(module->description, module->dllInstance);
    releaseBackBuffer(visWindow.backBuffer);
    releaseMeterFace();
    DestroyWindow(visWindow.handle);
    visWindow.handle = nullptr;
    UnregisterClassA(visWindowClass, module->dllInstance);
}
