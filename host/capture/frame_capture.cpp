#include "capture/frame_capture.h"

#include <wincodec.h>

#include <atomic>
#include <cstdio>

#include "owners/com_release.h"
#include "capture/frame_queue.h"

namespace {

// About two seconds of the largest module's frames, far more of small ones.
constexpr long long queueByteLimit = 64LL << 20;

// A slot of the queue: a 32-bit top-down section that the window's pixels
// are copied into without conversion, remade only when the window's size
// changes. The vis thread fills it; the writer then packs its rows to 24
// bits in place and encodes them.
struct CapturedFrame {
    HDC dc;
    HBITMAP bitmap, previousBitmap;
    BYTE *pixels;
    int width, height;
    long long number;
};

// Shared by the vis thread and the writer; the queue's indices under the lock.
CRITICAL_SECTION lock;
FrameQueue queue;
CapturedFrame slots[frameQueueSlots];
HANDLE writer = nullptr;
HANDLE frameWaiting = nullptr;  // set when a frame is queued or the writer is to end
bool ending = false;
std::string folder;
bool codecsStarted = false;  // set by the writer before it signals that it started
std::atomic<bool> writeFailed{false};
std::string writeError;  // set by the writer before writeFailed

void releaseSlot(CapturedFrame &frame)
{
    if (frame.dc) {
        SelectObject(frame.dc, frame.previousBitmap);
        DeleteDC(frame.dc);
    }
    if (frame.bitmap) DeleteObject(frame.bitmap);
    frame = CapturedFrame();
}

bool makeSlot(CapturedFrame &frame, int width, int height)
{
    releaseSlot(frame);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    frame.dc = CreateCompatibleDC(nullptr);
    frame.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!frame.dc || !frame.bitmap) {
        releaseSlot(frame);
        return false;
    }
    frame.previousBitmap = static_cast<HBITMAP>(SelectObject(frame.dc, frame.bitmap));
    frame.pixels = static_cast<BYTE *>(bits);
    frame.width = width;
    frame.height = height;
    return true;
}

// The encoder takes 24-bit rows, padded to 4 bytes; they are made in place.
int packedStride(int width)
{
    return (width * 3 + 3) & ~3;
}

void packTo24Bits(CapturedFrame &frame)
{
    BYTE *pixels = frame.pixels;
    const int stride = packedStride(frame.width);
    for (int y = 0; y < frame.height; ++y) {
        const BYTE *from = pixels + static_cast<size_t>(y) * frame.width * 4;
        BYTE *to = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < frame.width; ++x, from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
}

bool writePng(IWICImagingFactory *factory, const wchar_t *path, const CapturedFrame &frame)
{
    IWICStream *stream = nullptr;
    IWICBitmapEncoder *encoder = nullptr;
    IWICBitmapFrameEncode *encoded = nullptr;
    IPropertyBag2 *properties = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const UINT stride = static_cast<UINT>(packedStride(frame.width));
    bool written =
        SUCCEEDED(factory->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromFilename(path, GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&encoded, &properties)) && SUCCEEDED(encoded->Initialize(properties)) &&
        SUCCEEDED(encoded->SetSize(static_cast<UINT>(frame.width), static_cast<UINT>(frame.height))) &&
        SUCCEEDED(encoded->SetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
        SUCCEEDED(encoded->WritePixels(static_cast<UINT>(frame.height), stride, stride * static_cast<UINT>(frame.height),
                                       frame.pixels)) &&
        SUCCEEDED(encoded->Commit()) && SUCCEEDED(encoder->Commit());
    release(properties);
    release(encoded);
    release(encoder);
    release(stream);
    return written;
}

bool writeFrame(IWICImagingFactory *factory, CapturedFrame &frame, std::string &error)
{
    packTo24Bits(frame);
    char name[64];
    std::snprintf(name, sizeof name, "\\frame-%06lld.png", frame.number);
    const std::string path = folder + name;
    wchar_t widePath[MAX_PATH * 2];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH * 2) ||
        !writePng(factory, widePath, frame)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// The writer thread: the codecs live on it alone. Signals the event it is
// given once it knows whether they started.
DWORD WINAPI writerMain(void *started)
{
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    IWICImagingFactory *factory = nullptr;
    if (!com || FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IWICImagingFactory, reinterpret_cast<void **>(&factory)))) {
        if (com) CoUninitialize();
        SetEvent(static_cast<HANDLE>(started));
        return 1;
    }
    codecsStarted = true;
    SetEvent(static_cast<HANDLE>(started));
    for (;;) {
        EnterCriticalSection(&lock);
        const int slot = oldestWaitingFrame(queue);
        const bool end = ending;
        LeaveCriticalSection(&lock);
        if (slot < 0) {
            if (end) break;
            WaitForSingleObject(frameWaiting, INFINITE);
            continue;
        }
        // After a failed write the rest are let go: the run is ending.
        std::string error;
        if (!writeFailed && !writeFrame(factory, slots[slot], error)) {
            writeError = error;
            writeFailed = true;
        }
        EnterCriticalSection(&lock);
        frameWritten(queue);
        LeaveCriticalSection(&lock);
    }
    release(factory);
    CoUninitialize();
    return 0;
}

}  // namespace

bool startCapture(const std::string &captureFolder, std::string &error)
{
    folder = captureFolder;
    InitializeCriticalSection(&lock);
    makeFrameQueue(queue, queueByteLimit);
    ending = false;
    codecsStarted = false;
    writeFailed = false;
    frameWaiting = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    writer = frameWaiting && started ? CreateThread(nullptr, 0, writerMain, started, 0, nullptr) : nullptr;
    if (writer) {
        // Encoding may wait whenever the vis needs the processor.
        SetThreadPriority(writer, THREAD_PRIORITY_BELOW_NORMAL);
        WaitForSingleObject(started, INFINITE);
    }
    if (started) CloseHandle(started);
    if (!codecsStarted) {
        std::string ignored;
        stopCapture(ignored);
        error = "the image codecs (WIC) are not available, so frames cannot be captured";
        return false;
    }
    return true;
}

bool captureFrame(HWND window, long long frameNumber, std::string &error)
{
    if (writeFailed) {
        error = writeError;
        return false;
    }
    RECT client;
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) {
        error = "the vis window has no client area to capture";
        return false;
    }
    const long long bytes = 4LL * client.right * client.bottom;
    EnterCriticalSection(&lock);
    const int slot = slotForNewFrame(queue, bytes);
    LeaveCriticalSection(&lock);
    if (slot < 0) return true;  // dropped from the capture, and counted
    CapturedFrame &frame = slots[slot];
    if ((frame.width != client.right || frame.height != client.bottom) && !makeSlot(frame, client.right, client.bottom)) {
        error = "cannot make a bitmap to capture the vis window into";
        return false;
    }
    HDC windowDc = GetDC(window);
    const BOOL copied = BitBlt(frame.dc, 0, 0, frame.width, frame.height, windowDc, 0, 0, SRCCOPY);
    ReleaseDC(window, windowDc);
    GdiFlush();
    if (!copied) {
        error = "cannot copy the vis window";
        return false;
    }
    frame.number = frameNumber;
    EnterCriticalSection(&lock);
    frameCopied(queue, slot, bytes);
    LeaveCriticalSection(&lock);
    SetEvent(frameWaiting);
    return true;
}

CaptureCounts captureCounts()
{
    EnterCriticalSection(&lock);
    const CaptureCounts counts = {queue.queued, queue.dropped};
    LeaveCriticalSection(&lock);
    return counts;
}

bool stopCapture(std::string &error)
{
    if (writer) {
        EnterCriticalSection(&lock);
        ending = true;
        LeaveCriticalSection(&lock);
        SetEvent(frameWaiting);
        WaitForSingleObject(writer, INFINITE);
        CloseHandle(writer);
        writer = nullptr;
    }
    if (frameWaiting) CloseHandle(frameWaiting);
    frameWaiting = nullptr;
    for (CapturedFrame &frame : slots) releaseSlot(frame);
    DeleteCriticalSection(&lock);
    if (writeFailed) {
        error = writeError;
        return false;
    }
    return true;
}
