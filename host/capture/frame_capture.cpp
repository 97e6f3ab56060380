#include "capture/frame_capture.h"

#include <wincodec.h>

#include <atomic>
#include <cstdio>

#include "capture/frame_queue.h"
#include "gdi/device_contexts.h"
#include "owners/com_owner.h"
#include "owners/locks.h"
#include "text/exception_text.h"
#include "text/wide_text.h"

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

// The capture of a run, shared by the vis thread and the writer; the
// queue's indices under the lock.
struct Capture {
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
    // frames.tsv: each frame's name and when it was drawn, for measuring
    // from outside how late the sound shows. Written by the vis thread.
    FILE *frameTimes = nullptr;
};
Capture capture;

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
    ComOwner<IWICStream> stream;
    ComOwner<IWICBitmapEncoder> encoder;
    ComOwner<IWICBitmapFrameEncode> encoded;
    ComOwner<IPropertyBag2> properties;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const UINT stride = static_cast<UINT>(packedStride(frame.width));
    const UINT height = static_cast<UINT>(frame.height);
    return SUCCEEDED(factory->CreateStream(stream.put())) &&
           SUCCEEDED(stream->InitializeFromFilename(path, GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
           SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(encoded.put(), properties.put())) &&
           SUCCEEDED(encoded->Initialize(properties.get())) &&
           SUCCEEDED(encoded->SetSize(static_cast<UINT>(frame.width), height)) &&
           SUCCEEDED(encoded->SetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
           SUCCEEDED(encoded->WritePixels(height, stride, stride * height, frame.pixels)) &&
           SUCCEEDED(encoded->Commit()) && SUCCEEDED(encoder->Commit());
}

bool writeFrame(IWICImagingFactory *factory, CapturedFrame &frame, std::string &error)
{
    packTo24Bits(frame);
    char name[64];
    std::snprintf(name, sizeof name, "\\frame-%06lld.png", frame.number);
    const std::string path = capture.folder + name;
    if (!writePng(factory, wideText(path).c_str(), frame)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// Why the writer failed, once writeFailed is set.
std::string writerError()
{
    return capture.writeError.empty() ? "the capture writer ran out of memory" : capture.writeError;
}

void failWriter(const std::string &error)
{
    if (capture.writeFailed) return;
    capture.writeError = error;
    capture.writeFailed = true;
}

// Writes the frames as they come until told to end.
void writeFrames(IWICImagingFactory *factory)
{
    for (;;) {
        int slot;
        bool end;
        {
            HeldLock held(capture.lock);
            slot = oldestWaitingFrame(capture.queue);
            end = capture.ending;
        }
        if (slot < 0) {
            if (end) return;
            if (WaitForSingleObject(capture.frameWaiting, INFINITE) != WAIT_OBJECT_0) {
                // The vis learns of it at its next frame; the frames waiting are let go.
                failWriter("the capture writer's wait failed (error " + std::to_string(GetLastError()) + ")");
                return;
            }
            continue;
        }
        // After a failed write the rest are let go: the run is ending.
        std::string error;
        if (!capture.writeFailed && !writeFrame(factory, capture.slots[slot], error)) failWriter(error);
        HeldLock held(capture.lock);
        frameWritten(capture.queue);
    }
}

// The writer thread: the codecs live on it alone. Signals the event it is
// given once it knows whether they started.
DWORD WINAPI writerMain(void *started)
{
    try {
        const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        {
            ComOwner<IWICImagingFactory> factory;
            capture.codecsStarted =
                com && SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IWICImagingFactory, factory.putVoid()));
            SetEvent(static_cast<HANDLE>(started));
            if (capture.codecsStarted) writeFrames(factory.get());
        }
        if (com) CoUninitialize();
    } catch (...) {
        const char *what = exceptionText();
        try {
            failWriter(std::string("the capture writer stopped: ") + what);
        } catch (...) {
            capture.writeFailed = true;  // writerError() says what is left to say
        }
    }
    return 0;
}

}  // namespace

bool startCapture(const std::string &captureFolder, std::string &error)
{
    capture.folder = captureFolder;
    InitializeCriticalSection(&capture.lock);
    makeFrameQueue(capture.queue, queueByteLimit);
    capture.ending = false;
    capture.codecsStarted = false;
    capture.writeFailed = false;
    capture.frameWaiting = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    capture.frameTimes = _wfopen(wideText(captureFolder + "\\frames.tsv").c_str(), L"wb");
    if (!capture.frameTimes) {
        error = "cannot write frames.tsv in the capture folder '" + captureFolder + "'";
        if (capture.frameWaiting) CloseHandle(capture.frameWaiting);
        capture.frameWaiting = nullptr;
        DeleteCriticalSection(&capture.lock);
        return false;
    }
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    capture.writer =
        capture.frameWaiting && started ? CreateThread(nullptr, 0, writerMain, started, 0, nullptr) : nullptr;
    bool waited = true;
    if (capture.writer) {
        // Encoding may wait whenever the vis needs the processor.
        SetThreadPriority(capture.writer, THREAD_PRIORITY_BELOW_NORMAL);
        waited = WaitForSingleObject(started, INFINITE) == WAIT_OBJECT_0;
    }
    if (started) CloseHandle(started);
    if (!waited || !capture.codecsStarted) {
        std::string ignored;
        stopCapture(ignored);
        error = waited ? "the image codecs (WIC) are not available, so frames cannot be captured"
                       : "the wait for the capture writer to start failed";
        return false;
    }
    return true;
}

// Microseconds since 1970, the clock a Linux program reads too.
long long unixMicroseconds()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const long long since1601 = static_cast<long long>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    return (since1601 - 116444736000000000LL) / 10;
}

bool captureFrame(HWND window, long long frameNumber, std::string &error)
{
    const long long drawnAt = unixMicroseconds();
    if (capture.writeFailed) {
        error = writerError();
        return false;
    }
    RECT client;
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) {
        error = "the vis window has no client area to capture";
        return false;
    }
    const long long bytes = 4LL * client.right * client.bottom;
    int slot;
    {
        HeldLock held(capture.lock);
        slot = slotForNewFrame(capture.queue, bytes);
    }
    if (slot < 0) return true;  // dropped from the capture, and counted
    CapturedFrame &frame = capture.slots[slot];
    const bool made =
        (frame.width == client.right && frame.height == client.bottom) || makeSlot(frame, client.right, client.bottom);
    BOOL copied = FALSE;
    if (made) {
        BorrowedDC windowDc(window);
        copied = BitBlt(frame.dc, 0, 0, frame.width, frame.height, windowDc, 0, 0, SRCCOPY);
    }
    GdiFlush();
    if (!copied) {
        HeldLock held(capture.lock);
        frameNotCopied(capture.queue, slot);
        error = made ? "cannot copy the vis window" : "cannot make a bitmap to capture the vis window into";
        return false;
    }
    frame.number = frameNumber;
    {
        HeldLock held(capture.lock);
        frameCopied(capture.queue, slot, bytes);
    }
    SetEvent(capture.frameWaiting);
    std::fprintf(capture.frameTimes, "frame-%06lld.png\t%lld\n", frameNumber, drawnAt);
    return true;
}

CaptureCounts captureCounts()
{
    HeldLock held(capture.lock);
    return CaptureCounts{capture.queue.queued, capture.queue.dropped};
}

bool stopCapture(std::string &error)
{
    if (capture.writer) {
        {
            HeldLock held(capture.lock);
            capture.ending = true;
        }
        SetEvent(capture.frameWaiting);
        if (WaitForSingleObject(capture.writer, INFINITE) != WAIT_OBJECT_0) {
            // The writer may still use the slots: they stay as they are.
            error = "the wait for the capture writer to finish failed (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        CloseHandle(capture.writer);
        capture.writer = nullptr;
    }
    if (capture.frameWaiting) CloseHandle(capture.frameWaiting);
    capture.frameWaiting = nullptr;
    const bool timesWritten = !capture.frameTimes || std::fclose(capture.frameTimes) == 0;
    capture.frameTimes = nullptr;
    for (CapturedFrame &frame : capture.slots) releaseSlot(frame);
    DeleteCriticalSection(&capture.lock);
    if (capture.writeFailed) {
        error = writerError();
        return false;
    }
    if (!timesWritten) {
        error = "cannot write frames.tsv in the capture folder '" + capture.folder + "'";
        return false;
    }
    return true;
}
