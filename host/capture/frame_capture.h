// Writes what the vis window shows as PNG files, through the platform's
// image codecs, without holding up the vis: the vis thread copies each
// frame's pixels into a bounded queue and goes on, and a writer thread of
// its own encodes and writes them. When the writer falls behind, frames are
// dropped from the capture (and counted), never from the display.
#pragma once

#include <windows.h>

#include <string>

// Starts the writer thread for folder. Returns false with error set when
// the codecs are missing.
bool startCapture(const std::string &folder, std::string &error);

// Copies the client area of window and queues it to be written as
// folder\frame-NNNNNN.png, NNNNNN being frameNumber. Returns false with
// error set when the copy failed or the writer failed on an earlier frame.
bool captureFrame(HWND window, long long frameNumber, std::string &error);

// Frames queued and dropped since the capture started.
struct CaptureCounts {
    long long queued, dropped;
};
CaptureCounts captureCounts();

// Waits until every queued frame is written and ends the writer. Returns
// false with error set when a write failed.
bool stopCapture(std::string &error);
