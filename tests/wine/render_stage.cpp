#include "render_stage.h"

#include "resources/meter_face.h"
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
    visWindow.handle = window_;
    visWindow.backBuffer = createBackBuffer(frameWidth_, frameHeight_);
}

RenderStage::~RenderStage()
{
    clearFace();
    releaseBackBuffer(visWindow.backBuffer);
    if (window_) DestroyWindow(window_);
    pumpMessagesFor(0);
    visWindow.handle = nullptr;
}

void RenderStage::setFace(int width, int height)
{
    const std::string path = scratchFolder("render_stage") + "face.bmp";
    writeFile(path, testFaceFile(width, height));
    loadBackgroundBitmap(path.c_str());
}

void RenderStage::clearFace(const BITMAPINFOHEADER &header)
{
    releaseMeterFace();
    meterFace.header = header;
}

Picture RenderStage::readBackBuffer() const
{
    // GetDIBits wants the bitmap out of any DC.
    const BackBuffer &buffer = visWindow.backBuffer;
    SelectObject(buffer.dc, buffer.previous);
    Picture picture = readBitmap(buffer.bitmap, frameWidth_, frameHeight_);
    SelectObject(buffer.dc, buffer.bitmap);
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
