// A vis plug-in that records what its host does, for the host's tests. Each
// call appends one line of key=value pairs to fake_vis_log.txt beside the
// DLL. Its modules differ only in how they end or what they lack.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "records/vis_records.h"

namespace {

HMODULE self;
HWND fakeWindow;
int renders;
constexpr int fakeWidth = 64;
constexpr int fakeHeight = 32;

void logLine(const char *format, ...)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    char *slash = std::strrchr(path, '\\');
    if (!length || !slash || slash - path + 20 >= MAX_PATH) return;
    std::strcpy(slash + 1, "fake_vis_log.txt");
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    const int size = std::vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (size <= 0) return;
    const int used = size < static_cast<int>(sizeof line - 1) ? size : static_cast<int>(sizeof line - 2);
    line[used] = '\n';
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, static_cast<DWORD>(used + 1), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK fakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        // As the real vis window does: its destruction ends the thread's loop.
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int __cdecl fakeConfig(VisModule *module);
int __cdecl fakeInit(VisModule *module);
int __cdecl fakeRender(VisModule *module);
int __cdecl idleRender(VisModule *module);
void __cdecl fakeQuit(VisModule *module);

VisModule makeModule(const char *description, VisInitFunction init, VisRenderFunction render, int latencyMs = 50)
{
    VisModule module = {};
    module.description = description;
    module.latencyMs = latencyMs;
    module.delayMs = 25;
    module.waveformChannels = 2;
    module.config = fakeConfig;
    module.init = init;
    module.render = render;
    module.quit = fakeQuit;
    return module;
}

VisModule fakeModules[] = {
    makeModule("Fake: records every call", fakeInit, fakeRender),
    makeModule("Fake: render returns 1 on frame 3", fakeInit, fakeRender),
    makeModule("Fake: posts WM_QUIT on frame 3", fakeInit, fakeRender),
    makeModule("Fake: no init", nullptr, fakeRender),
    makeModule("Fake: no render", fakeInit, nullptr),
    // Draws and records nothing per frame, so that --stats shows what the
    // host itself costs.
    makeModule("Fake: renders nothing", fakeInit, idleRender),
    // As a user would: Esc in the vis window, passed on to the player's
    // window, or the player's window closed.
    makeModule("Fake: passes Esc on at frame 3", fakeInit, fakeRender),
    makeModule("Fake: closes the host window at frame 3", fakeInit, fakeRender),
    // Far enough ahead that the frames of a file's last 400 ms, however
    // few a slow machine manages, look past its end.
    makeModule("Fake: records every call, 400 ms ahead", fakeInit, fakeRender, 400),
};
constexpr int fakeModuleCount = sizeof fakeModules / sizeof fakeModules[0];

int indexOf(const VisModule *module)
{
    return static_cast<int>(module - fakeModules);
}

VisModule *__cdecl fakeModuleByIndex(int index)
{
    return index >= 0 && index < fakeModuleCount ? &fakeModules[index] : nullptr;
}

VisHeader fakeHeader = {visInterfaceVersion, "Fake vis plug-in for the host's tests", fakeModuleByIndex};

int __cdecl fakeConfig(VisModule *module)
{
    char className[64] = "";
    GetClassNameA(module->parentWindow, className, sizeof className);
    logLine("call=config module=%d thread=%lu parentClass=%s", indexOf(module), GetCurrentThreadId(), className);
    return 0;
}

int __cdecl fakeInit(VisModule *module)
{
    MSG pending;
    const BOOL quitPending = PeekMessageA(&pending, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE);
    RECT parent = {};
    GetWindowRect(module->parentWindow, &parent);
    logLine("call=init module=%d thread=%lu parentThread=%lu parentWidth=%ld parentHeight=%ld instanceIsSelf=%d "
            "quitPending=%d",
            indexOf(module), GetCurrentThreadId(), GetWindowThreadProcessId(module->parentWindow, nullptr),
            parent.right - parent.left, parent.bottom - parent.top, module->dllInstance == self, quitPending ? 1 : 0);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = fakeWindowProc;
    windowClass.hInstance = module->dllInstance;
    windowClass.lpszClassName = "FakeVis";
    if (!RegisterClassA(&windowClass)) return 1;
    fakeWindow = CreateWindowExA(0, "FakeVis", "", WS_POPUP | WS_VISIBLE, 0, 0, fakeWidth, fakeHeight,
                                 module->parentWindow, nullptr, module->dllInstance, nullptr);
    renders = 0;
    return fakeWindow ? 0 : 1;
}

// The tests play ramps whose most significant bytes run 1, 2, ... 255, 1, ...
// on the left and 256 minus that on the right, with silence (0) around them.
int next(int value)
{
    return value % 255 + 1;
}

int __cdecl fakeRender(VisModule *module)
{
    ++renders;
    const auto *left = reinterpret_cast<const unsigned char *>(module->waveform[0]);
    const auto *right = reinterpret_cast<const unsigned char *>(module->waveform[1]);
    int lead = 0;
    while (lead < visSampleCount && left[lead] == 0) ++lead;
    int trail = 0;
    while (trail < visSampleCount - lead && left[visSampleCount - 1 - trail] == 0) ++trail;
    int ramp = 1;
    for (int i = lead + 1; i < visSampleCount - trail; ++i)
        if (left[i] != next(left[i - 1])) ramp = 0;
    int mirrored = 1, equal = 1;
    for (int i = 0; i < visSampleCount; ++i) {
        if (right[i] != ((256 - left[i]) & 255)) mirrored = 0;
        if (right[i] != left[i]) equal = 0;
    }
    logLine("call=render module=%d frame=%d thread=%lu rate=%d channels=%d lead=%d trail=%d ramp=%d mirrored=%d "
            "equal=%d",
            indexOf(module), renders, GetCurrentThreadId(), module->sampleRate, module->channelCount, lead, trail, ramp,
            mirrored, equal);

    // The frame number in red, for the capture to be checked against.
    HDC dc = GetDC(fakeWindow);
    HBRUSH brush = CreateSolidBrush(RGB(renders & 255, 64, 128));
    RECT all = {0, 0, fakeWidth, fakeHeight};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(fakeWindow, dc);

    if (renders == 3 && indexOf(module) == 1) return 1;
    if (renders == 3 && indexOf(module) == 2) PostQuitMessage(0);
    if (renders == 3 && indexOf(module) == 6) PostMessageA(module->parentWindow, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    if (renders == 3 && indexOf(module) == 7) PostMessageA(module->parentWindow, WM_CLOSE, 0, 0);
    return 0;
}

int __cdecl idleRender(VisModule *)
{
    return 0;
}

void __cdecl fakeQuit(VisModule *module)
{
    logLine("call=quit module=%d thread=%lu", indexOf(module), GetCurrentThreadId());
    DestroyWindow(fakeWindow);
    fakeWindow = nullptr;
    UnregisterClassA("FakeVis", module->dllInstance);
}

}  // namespace

extern "C" VisHeader *__cdecl winampVisGetHeader(void)
{
    return &fakeHeader;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}
