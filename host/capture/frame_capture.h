// Writes what the vis window shows as PNG files, through the platform's
// image codecs, without holding up the vis: the vis thread copies each
// frame's pixels into a bounded queue and goes on, and a writer thread of
// its own encodes and writes them. When the writer falls behind, frames are
// dropped from the capture (and counted), never from the display.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "capture/frame_queue.h"

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
    Capture() = default;
    // The writer thread holds on to it.
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;

    CRITICAL_SECTION lock;
    FrameQueue queue;
    CapturedFrame slots[frameQueueSlots] = {};
    HANDLE writer = nullptr;
    HANDLE writerStarted = nullptr;  // set by the writer once it knows whether the codecs started
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

// Starts the writer thread for folder. Returns false with error set when
// the codecs are missing.
bool startCapture(Capture &capture, const std::string &folder, std::string &error);

// Copies the client area of window and queues it to be written as
// folder\frame-NNNNNN.png, NNNNNN being frameNumber. Returns false with
// error set when the copy failed or the writer failed on an earlier frame.
bool captureFrame(Capture &capture, HWND window, long long frameNumber, std::string &error);

// Frames queued and dropped since the capture started.
struct CaptureCounts {
    long long queued, dropped;
};
CaptureCounts captureCounts(Capture &capture);

// Waits until every queued frame is written and ends the writer. Returns
// false with error set when a write failed.
bool stopCapture(Capture &capture, std::string &error);
