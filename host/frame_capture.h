// Writes what a window's client area shows as PNG files, through the
// platform's image codecs. Used on the vis thread only.
#pragma once

#include <windows.h>

#include <string>

// Prepares the codecs. Returns false with error set when they are missing.
bool startCapture(std::string &error);

// Writes the client area of window to folder\frame-NNNNNN.png.
bool captureFrame(HWND window, const std::string &folder, long long frameNumber, std::string &error);

void stopCapture();
