// Under Wine: the cost of one render of each module, next to the cost of
// the platform calls such a frame has to make anyway, measured frame by
// frame in the same run. Reports figures; never fails on time.
//
//   render_bench [frames]      (default 2000 frames per module)
#include "render/renderers.h"
#include "resources/meter_face.h"
#include "window/vis_window.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int patternCount = 16;
constexpr double framePeriodUs = 25000.0;

double ticksPerMicrosecond = 0;

LONGLONG now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

struct Series {
    const char *name;
    std::vector<double> us;
    double median = 0, p99 = 0, mean = 0;

    void add(LONGLONG start, LONGLONG end) { us.push_back(double(end - start) / ticksPerMicrosecond); }
    void summarise()
    {
        std::vector<double> sorted = us;
        std::sort(sorted.begin(), sorted.end());
        median = sorted[sorted.size() / 2];
        p99 = sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
        double total = 0;
        for (double v : sorted) total += v;
        mean = total / double(sorted.size());
    }
};

LRESULT CALLBACK quietWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT) {
        ValidateRect(window, nullptr);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// What init leaves for render: the window and its back buffer, made by the
// plug-in's own functions, and the committed face, loaded from beside this
// program by the plug-in's loader.
struct Stage {
    Stage(int width, int height, bool face)
    {
        visWindow.handle = CreateWindowExA(0, "VlvisBench", nullptr, WS_POPUP | WS_VISIBLE, 60, 60, width, height,
                                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        visWindow.backBuffer = createBackBuffer(width, height);
        if (face) {
            char path[MAX_PATH];
            const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
            std::string facePath(path, length);
            facePath = facePath.substr(0, facePath.find_last_of('\\') + 1) + "vl-vu.bmp";
            if (!loadBackgroundBitmap(facePath.c_str())) std::printf("no face at %s\n", facePath.c_str());
        }
        pump();
    }
    ~Stage()
    {
        releaseMeterFace();
        releaseBackBuffer(visWindow.backBuffer);
        DestroyWindow(visWindow.handle);
        visWindow.handle = nullptr;
        pump();
    }
};

// Frames of music-like input: a different loudness and shape each time, so
// the needles keep moving and the traces keep changing.
void makeWaveforms(std::vector<VisModule> &frames)
{
    std::srand(7);
    for (int f = 0; f < patternCount; ++f) {
        VisModule &frame = frames[std::size_t(f)];
        frame = VisModule();
        frame.channelCount = 2;
        const int amplitude = f == 5 ? 0 : 8 << (f % 5);  // one silent frame drops the needles
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 576; ++i) {
                int sample = (std::rand() % (2 * amplitude + 1)) - amplitude;
                sample = std::max(-128, std::min(127, sample));
                frame.waveform[c][i] = static_cast<signed char>(sample);
            }
    }
}

void report(const char *title, Series &render, std::initializer_list<Series *> bare)
{
    render.summarise();
    std::printf("\n%s, %zu frames (microseconds per frame)\n", title, render.us.size());
    std::printf("  %-52s %9s %9s %9s %9s\n", "", "median", "p99", "mean", "median/25ms");
    std::printf("  %-52s %9.1f %9.1f %9.1f %7.2f%%\n", render.name, render.median, render.p99, render.mean,
                100.0 * render.median / framePeriodUs);
    for (Series *series : bare) {
        series->summarise();
        std::printf("  %-52s %9.1f %9.1f %9.1f %7.2f%%\n", series->name, series->median, series->p99, series->mean,
                    100.0 * series->median / framePeriodUs);
    }
    for (Series *series : bare)
        std::printf("  render against %-45s median %+6.1f%%, mean %+6.1f%%\n", series->name,
                    100.0 * (render.median / series->median - 1), 100.0 * (render.mean / series->mean - 1));
}

void benchVu(int frames, const std::vector<VisModule> &inputs)
{
    Stage stage(275, 75, true);
    constexpr DWORD rop = MAKEROP4(SRCCOPY, BLACKNESS);
    HDC backBuffer = visWindow.backBuffer.dc;
    HBITMAP mask = visWindow.backBuffer.bitmap;

    Series render{"renderVuMeters", {}};
    Series maskBlts{"bare: two 137 x 75 MaskBlts", {}};
    Series calls{"bare: every platform call of a VU frame", {}};

    // For the MaskBlts alone, the device contexts are ready beforehand.
    HDC window = GetDC(visWindow.handle);
    HDC face = CreateCompatibleDC(window);
    HGDIOBJ previous = SelectObject(face, meterFace.bitmap);

    VisModule module = inputs[0];
    for (int i = -50; i < frames; ++i) {
        const VisModule &input = inputs[std::size_t((i + 50) % patternCount)];
        std::copy(&input.waveform[0][0], &input.waveform[0][0] + 2 * 576, &module.waveform[0][0]);

        LONGLONG start = now();
        renderVuMeters(&module);
        LONGLONG end = now();
        if (i >= 0) render.add(start, end);

        start = now();
        MaskBlt(window, 0, 0, 137, 75, face, 0, 0, mask, 0, 0, rop);
        MaskBlt(window, 138, 0, 137, 75, face, 0, 0, mask, 138, 0, rop);
        end = now();
        if (i >= 0) maskBlts.add(start, end);

        // The frame's calls with fixed needles and nothing computed.
        start = now();
        Rectangle(backBuffer, 0, 0, 275, 75);
        MoveToEx(backBuffer, 68, 65, nullptr);
        LineTo(backBuffer, 41, 16);
        MoveToEx(backBuffer, 137, 0, nullptr);
        LineTo(backBuffer, 137, 75);
        for (int meter = 0; meter < 2; ++meter) {
            if (meter == 1) {
                MoveToEx(backBuffer, 206, 65, nullptr);
                LineTo(backBuffer, 179, 16);
            }
            HDC dc = GetDC(visWindow.handle);
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ held = SelectObject(memory, meterFace.bitmap);
            MaskBlt(dc, meter * 138, 0, 137, 75, memory, 0, 0, mask, meter * 138, 0, rop);
            SelectObject(memory, held);
            ReleaseDC(visWindow.handle, dc);
            DeleteDC(memory);
        }
        end = now();
        if (i >= 0) calls.add(start, end);
        if ((i & 63) == 0) pump();
    }

    SelectObject(face, previous);
    DeleteDC(face);
    ReleaseDC(visWindow.handle, window);
    report("VU module", render, {&maskBlts, &calls});
}

void benchScope(int frames, const std::vector<VisModule> &inputs)
{
    Stage stage(576, 512, false);
    HDC backBuffer = visWindow.backBuffer.dc;

    Series render{"renderScope", {}};
    Series calls{"bare: rectangle, 1,152 LineTo, 576 x 512 BitBlt", {}};

    // The rows each input's traces pass through, worked out beforehand.
    std::vector<int> rows(std::size_t(patternCount) * 2 * 576);
    for (int f = 0; f < patternCount; ++f)
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 576; ++i)
                rows[(std::size_t(f) * 2 + c) * 576 + i] = 256 * c + 128 + inputs[std::size_t(f)].waveform[c][i];

    VisModule module = inputs[0];
    for (int i = -50; i < frames; ++i) {
        const int pattern = (i + 50) % patternCount;
        const VisModule &input = inputs[std::size_t(pattern)];
        std::copy(&input.waveform[0][0], &input.waveform[0][0] + 2 * 576, &module.waveform[0][0]);

        LONGLONG start = now();
        renderScope(&module);
        LONGLONG end = now();
        if (i >= 0) render.add(start, end);

        start = now();
        Rectangle(backBuffer, 0, 0, 576, 512);
        for (int c = 0; c < 2; ++c) {
            const int *row = &rows[(std::size_t(pattern) * 2 + c) * 576];
            MoveToEx(backBuffer, 0, 256 * c, nullptr);
            for (int x = 0; x < 576; ++x) LineTo(backBuffer, x, row[x]);
        }
        HDC dc = GetDC(visWindow.handle);
        BitBlt(dc, 0, 0, 576, 512, backBuffer, 0, 0, SRCCOPY);
        ReleaseDC(visWindow.handle, dc);
        end = now();
        if (i >= 0) calls.add(start, end);
        if ((i & 63) == 0) pump();
    }
    report("Scope module", render, {&calls});
}

}  // namespace

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 2000;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMicrosecond = double(frequency.QuadPart) / 1e6;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = quietWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VlvisBench";
    RegisterClassA(&windowClass);

    std::vector<VisModule> inputs(patternCount);
    makeWaveforms(inputs);
    benchVu(frames, inputs);
    benchScope(frames, inputs);
    return 0;
}
