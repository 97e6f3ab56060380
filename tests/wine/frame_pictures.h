// Pictures the render tests compare: what a window or bitmap shows, read
// back as 0x00RRGGBB pixels, and the expected pictures the tests build
// themselves.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

constexpr std::uint32_t black = 0x000000;
constexpr std::uint32_t white = 0xFFFFFF;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // rows from the top

    Picture() = default;
    Picture(int w, int h, std::uint32_t fill) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
    std::uint32_t &at(int x, int y) { return pixels[std::size_t(y) * width + x]; }
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

inline RECT whole(const Picture &picture) { return {0, 0, picture.width, picture.height}; }

// A 32-bit top-down DIB section; *bits receives its pixels, rows from the top.
HBITMAP createTopDownSection(int width, int height, std::uint32_t **bits);

// width x height pixels of a device context from (x, y).
Picture copyOut(HDC source, int x, int y, int width, int height);

// The window's client area from (0, 0), through its device context.
Picture readWindow(HWND window, int width, int height);

// A bitmap's pixels; a monochrome bitmap reads as black and white.
Picture readBitmap(HBITMAP bitmap, int width, int height);

// The test face: every pixel a different colour, none black, so a shifted,
// mirrored or clipped copy shows.
std::uint32_t faceColour(int x, int y);

// The test face as a 24-bit BMP file laid out the usual way, bottom-up, or
// top-down for a negative height.
std::string testFaceFile(int width, int height);

// A line as GDI draws it: from (x0, y0) up to but not including (x1, y1).
struct Line {
    int x0, y0, x1, y1;
};

// A monochrome picture drawn with the default pen and brush: the rectangle
// (0, 0, width, height), then the lines.
Picture drawBlackOnWhite(int width, int height, std::initializer_list<Line> lines);

// Compares the pixels of `area` (left, top inclusive; right, bottom
// exclusive), listing the first differences. The one pixel comparison of the
// Wine tests.
::testing::AssertionResult samePixels(const Picture &got, const Picture &expected, RECT area);

// Fills the window's client area with one colour through its device context.
void fillWindow(HWND window, int width, int height, std::uint32_t colour);
