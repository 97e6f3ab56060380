#include "frame_capture.h"

#include <wincodec.h>

#include <cstdio>

namespace {

IWICImagingFactory *factory = nullptr;

// The copy of the client area: a 24-bit top-down section, remade only when
// the window's size changes.
HDC copyDc = nullptr;
HBITMAP copyBitmap = nullptr;
HBITMAP previousCopyBitmap = nullptr;
void *copyBits = nullptr;
int copyWidth = 0, copyHeight = 0;

void releaseCopy()
{
    if (copyDc) {
        SelectObject(copyDc, previousCopyBitmap);
        DeleteDC(copyDc);
    }
    if (copyBitmap) DeleteObject(copyBitmap);
    copyDc = nullptr;
    copyBitmap = previousCopyBitmap = nullptr;
    copyBits = nullptr;
    copyWidth = copyHeight = 0;
}

bool makeCopy(int width, int height)
{
    releaseCopy();
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    copyDc = CreateCompatibleDC(nullptr);
    copyBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &copyBits, nullptr, 0);
    if (!copyDc || !copyBitmap) {
        releaseCopy();
        return false;
    }
    previousCopyBitmap = static_cast<HBITMAP>(SelectObject(copyDc, copyBitmap));
    copyWidth = width;
    copyHeight = height;
    return true;
}

template <typename T>
void release(T *&object)
{
    if (object) object->Release();
    object = nullptr;
}

bool writePng(const wchar_t *path, int width, int height, int stride, BYTE *pixels)
{
    IWICStream *stream = nullptr;
    IWICBitmapEncoder *encoder = nullptr;
    IWICBitmapFrameEncode *frame = nullptr;
    IPropertyBag2 *properties = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    bool written = SUCCEEDED(factory->CreateStream(&stream)) &&
                   SUCCEEDED(stream->InitializeFromFilename(path, GENERIC_WRITE)) &&
                   SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
                   SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
                   SUCCEEDED(encoder->CreateNewFrame(&frame, &properties)) &&
                   SUCCEEDED(frame->Initialize(properties)) &&
                   SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
                   SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
                   SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(stride),
                                                static_cast<UINT>(stride * height), pixels)) &&
                   SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    release(properties);
    release(frame);
    release(encoder);
    release(stream);
    return written;
}

}  // namespace

bool startCapture(std::string &error)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(com) ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void **>(&factory)))) {
        if (SUCCEEDED(com)) CoUninitialize();
        factory = nullptr;
        error = "the image codecs (WIC) are not available, so frames cannot be captured";
        return false;
    }
    return true;
}

bool captureFrame(HWND window, const std::string &folder, long long frameNumber, std::string &error)
{
    RECT client;
    if (!factory || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) {
        error = "the vis window has no client area to capture";
        return false;
    }
    if ((client.right != copyWidth || client.bottom != copyHeight) && !makeCopy(client.right, client.bottom)) {
        error = "cannot make a bitmap to capture the vis window into";
        return false;
    }
    HDC windowDc = GetDC(window);
    const BOOL copied = BitBlt(copyDc, 0, 0, copyWidth, copyHeight, windowDc, 0, 0, SRCCOPY);
    ReleaseDC(window, windowDc);
    GdiFlush();

    char name[64];
    std::snprintf(name, sizeof name, "\\frame-%06lld.png", frameNumber);
    const std::string path = folder + name;
    wchar_t widePath[MAX_PATH * 2];
    if (!copied || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH * 2)) {
        error = "cannot copy the vis window for " + path;
        return false;
    }
    const int stride = (copyWidth * 3 + 3) & ~3;
    if (!writePng(widePath, copyWidth, copyHeight, stride, static_cast<BYTE *>(copyBits))) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void stopCapture()
{
    releaseCopy();
    if (factory) {
        release(factory);
        CoUninitialize();
    }
}
