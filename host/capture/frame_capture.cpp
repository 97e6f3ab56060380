#include "capture/frame_capture.h"

#include <wincodec.h>

#include <cstdio>

#include "gdi/device_contexts.h"
#include "owners/com_owner.h"
#include "owners/locks.h"
#include "text/exception_text.h"
#include "text/wide_text.h"

namespace {

// About two seconds of the largest module's frames, far more of small ones.
constexpr long long queueByteLimit = 64LL << 20;

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

bool writeFrame(const Capture &capture, IWICImagingFactory *factory, CapturedFrame &frame, std::string &error)
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
std::string writerError(const Capture &capture)
{
    return capture.writeError.empty() ? "the capture writer ran out of memory" : capture.writeError;
}

void failWriter(Capture &capture, const std::string &error)
{
    if (capture.writeFailed) return;
    capture.writeError = error;
    capture.writeFailed = true;
}

// Writes the frames as they come until told to end.
void writeFrames(Capture &capture, IWICImagingFactory *factory)
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
                failWriter(capture, "the capture writer's wait failed (error " + std::to_string(GetLastError()) + ")");
                return;
            }
            continue;
        }
        // After a failed write the rest are let go: the run is ending.
        std::string error;
        if (!capture.writeFailed && !writeFrame(capture, factory, capture.slots[slot], error)) failWriter(capture, error);
        HeldLock held(capture.lock);
        frameWritten(capture.queue);
    }
}

// The writer thread: the codecs live on it alone. Signals capture.writerStarted
// once it knows whether they started.
DWORD WINAPI writerMain(void *parameter)
{
    Capture &capture = *static_cast<Capture *>(parameter);
    try {
        const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        {
            ComOwner<IWICImagingFactory> factory;
            capture.codecsStarted =
                com && SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IWICImagingFactory, factory.putVoid()));
            SetEvent(capture.writerStarted);
            if (capture.codecsStarted) writeFrames(capture, factory.get());
        }
        if (com) CoUninitialize();
    } catch (...) {
        const char *what = exceptionText();
        try {
            failWriter(capture, std::string("the capture writer stopped: ") + what);
        } catch (...) {
            capture.writeFailed = true;  // writerError() says what is left to say
        }
    }
    return 0;
}

}  // namespace

bool startCapture(Capture &capture, const std::string &captureFolder, std::string &error)
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
    capture.writerStarted = started;
    capture.writer =
        capture.frameWaiting && started ? CreateThread(nullptr, 0, writerMain, &capture, 0, nullptr) : nullptr;
    bool waited = true;
    if (capture.writer) {
        // Encoding may wait whenever the vis needs the processor.
        SetThreadPriority(capture.writer, THREAD_PRIORITY_BELOW_NORMAL);
        waited = WaitForSingleObject(started, INFINITE) == WAIT_OBJECT_0;
    }
    if (started) CloseHandle(started);
    capture.writerStarted = nullptr;
    if (!waited || !capture.codecsStarted) {
        std::string ignored;
        stopCapture(capture, ignored);
        error = waited ? "the image codecs (WIC) are not available, so frames cannot be captured"
                       : "the wait for the capture writer to start failed";
        return false;
    }
    return true;
}

namespace {

// Microseconds since 1970, the clock a Linux program reads too.
long long unixMicroseconds()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const long long since1601 = static_cast<long long>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    return (since1601 - 116444736000000000LL) / 10;
}

}  // namespace

bool captureFrame(Capture &capture, HWND window, long long frameNumber, std::string &error)
{
    const long long drawnAt = unixMicroseconds();
    if (capture.writeFailed) {
        error = writerError(capture);
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

CaptureCounts captureCounts(Capture &capture)
{
    HeldLock held(capture.lock);
    return CaptureCounts{capture.queue.queued, capture.queue.dropped};
}

bool stopCapture(Capture &capture, std::string &error)
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
        error = writerError(capture);
        return false;
    }
    if (!timesWritten) {
        error = "cannot write frames.tsv in the capture folder '" + capture.folder + "'";
        return false;
    }
    return true;
}
