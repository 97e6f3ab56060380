#include "render_stage.h"

#include "resources/background_bitmap.h"
#include "window/vis_window.h"
#include "wine_support.h"

#include <cstring>

static LRESULT CALLBACK stageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing of the test's own may paint over what render drew.
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT) {
        ValidateRect(window, nullptr);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

RenderStage::RenderStage(int frameWidth, int frameHeight, int clientWidth, int clientHeight)
    : frameWidth_(frameWidth), frameHeight_(frameHeight), clientWidth_(clientWidth), clientHeight_(clientHeight)
{
    static ATOM stageClass = 0;
    if (!stageClass) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = stageWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VlvisRenderStage";
        stageClass = RegisterClassA(&windowClass);
    }
    // A popup has no frame: the window is its client area.
    window_ = CreateWindowExA(0, "VlvisRenderStage", nullptr, WS_POPUP | WS_VISIBLE, 40, 40, clientWidth,
                              clientHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    pumpMessagesFor(0);

    // As init makes it: a memory DC compatible with the screen holds a 1 x 1
    // monochrome bitmap, so a bitmap compatible with it is monochrome.
    backBuffer = CreateCompatibleDC(nullptr);
    backBufferBitmap = CreateCompatibleBitmap(backBuffer, frameWidth_, frameHeight_);
    previousBitmap_ = static_cast<HBITMAP>(SelectObject(backBuffer, backBufferBitmap));
    visWindow = window_;
}

RenderStage::~RenderStage()
{
    clearFace();
    SelectObject(backBuffer, previousBitmap_);
    DeleteDC(backBuffer);
    DeleteObject(backBufferBitmap);
    if (window_) DestroyWindow(window_);
    pumpMessagesFor(0);
    backBuffer = nullptr;
    backBufferBitmap = nullptr;
    visWindow = nullptr;
}

void RenderStage::setFace(int width, int height)
{
    clearFace();
    const TestFace face = makeTestFace(width, height);
    backgroundBitmap = face.bitmap;
    backgroundHeader = face.header;
}

void RenderStage::clearFace(const BITMAPINFOHEADER &header)
{
    if (backgroundBitmap) DeleteObject(backgroundBitmap);
    backgroundBitmap = nullptr;
    backgroundHeader = header;
}

Picture RenderStage::readBackBuffer() const
{
    // GetDIBits wants the bitmap out of any DC.
    SelectObject(backBuffer, previousBitmap_);
    Picture picture = readBitmap(backBufferBitmap, frameWidth_, frameHeight_);
    SelectObject(backBuffer, backBufferBitmap);
    return picture;
}

void RenderStage::destroyWindow()
{
    DestroyWindow(window_);
    pumpMessagesFor(0);
    window_ = nullptr;
}

GuardedModule::GuardedModule()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const SIZE_T page = system.dwPageSize;
    const SIZE_T readable = (sizeof(VisModule) + page - 1) / page * page;
    pages_ = VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old;
    VirtualProtect(static_cast<char *>(pages_) + readable, page, PAGE_NOACCESS, &old);
    module_ = reinterpret_cast<VisModule *>(static_cast<char *>(pages_) + readable - sizeof(VisModule));
    std::memset(module_, 0, sizeof(VisModule));
    module_->channelCount = 2;
}

GuardedModule::~GuardedModule() { VirtualFree(pages_, 0, MEM_RELEASE); }

void GuardedModule::fillRow(int channel, int sample)
{
    std::memset(module_->waveform[channel], static_cast<unsigned char>(sample), sizeof module_->waveform[channel]);
}
