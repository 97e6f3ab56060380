// init and quit, shared by both modules: the vis window, its class, its
// back buffer and the meter face come up in init and go down in quit.
#include "plugin/module_table.h"
#include "resources/background_bitmap.h"
#include "settings/window_position.h"
#include "window/vis_window.h"

static const char visWindowClass[] = "VelmoraVis";
static const char faceFile[] = "c:\\program files\\winamp\\vl-vu.bmp";

struct FrameSize {
    int width;
    int height;
};

// By the record's identity: the VU module is known by its address.
static FrameSize frameSizeOf(const VisModule *module)
{
    return module == &vuModule ? FrameSize{275, 75} : FrameSize{576, 512};
}

static int refuse(const VisModule *module, const char *text)
{
    MessageBoxA(module->parentWindow, text, "blah", MB_OK);
    return 1;
}

static void deleteBackgroundBitmap()
{
    DeleteObject(backgroundBitmap);
    backgroundBitmap = nullptr;
}

// The frame size is that of the client area, whatever the window's
// non-client parts take.
static void fitClientArea(FrameSize frame)
{
    RECT client;
    GetClientRect(visWindow, &client);
    SetWindowPos(visWindow, nullptr, 0, 0, 2 * frame.width - client.right, 2 * frame.height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER);
}

static void createBackBuffer(FrameSize frame)
{
    backBuffer = CreateCompatibleDC(nullptr);
    // A fresh memory device context holds a 1 x 1 monochrome bitmap, so a
    // bitmap compatible with it is monochrome too.
    backBufferBitmap = CreateCompatibleBitmap(backBuffer, frame.width, frame.height);
    previousBackBufferBitmap = static_cast<HBITMAP>(SelectObject(backBuffer, backBufferBitmap));
}

int __cdecl init(VisModule *module)
{
    snapState = 0;
    const FrameSize frame = frameSizeOf(module);
    loadWindowPosition(module);
    loadBackgroundBitmap(faceFile);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = visWindowProc;
    windowClass.hInstance = module->dllInstance;
    windowClass.lpszClassName = visWindowClass;
    if (!RegisterClassA(&windowClass)) return refuse(module, "Error registering window class");

    clampWindowPosition();
    visWindow = CreateWindowExA(0, visWindowClass, nullptr, WS_POPUP | WS_VISIBLE | WS_SYSMENU, windowPosition.x,
                                windowPosition.y, frame.width, frame.height, module->parentWindow, nullptr,
                                module->dllInstance, nullptr);
    if (!visWindow) {
        // Undone here so that the next init can register the class again.
        UnregisterClassA(visWindowClass, module->dllInstance);
        deleteBackgroundBitmap();
        return refuse(module, "Error creating window");
    }
    SetWindowLongPtrA(visWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(module));
    fitClientArea(frame);
    createBackBuffer(frame);
    ShowWindow(visWindow, SW_SHOWNORMAL);
    return 0;
}

// Strict reverse of the set-up; the window's destruction posts the quit
// message that ends the player's loop.
void __cdecl quit(VisModule *module)
{
    saveWindowPosition(module);
    SelectObject(backBuffer, previousBackBufferBitmap);
    DeleteDC(backBuffer);
    DeleteObject(backBufferBitmap);
    deleteBackgroundBitmap();
    DestroyWindow(visWindow);
    UnregisterClassA(visWindowClass, module->dllInstance);
    backBuffer = nullptr;
    backBufferBitmap = nullptr;
    previousBackBufferBitmap = nullptr;
    visWindow = nullptr;
}
