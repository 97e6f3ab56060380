#include <cstring>
#include <cstdio>

#include "run/host_run.h"

namespace {

constexpr int hostWindowWidth = 275;  // the player's main window
constexpr int hostWindowHeight = 116;
constexpr int keysShown = 4;

// The last keys the window received, newest first. Used on the main thread only.
char shownKeys[keysShown][48];

void rememberKey(UINT message, WPARAM key, LPARAM lParam)
{
    for (int i = keysShown - 1; i > 0; --i) std::memcpy(shownKeys[i], shownKeys[i - 1], sizeof shownKeys[i]);
    char name[32];
    if (GetKeyNameTextA(static_cast<LONG>(lParam), name, sizeof name) <= 0)
        std::snprintf(name, sizeof name, "key %u", static_cast<unsigned>(key));
    std::snprintf(shownKeys[0], sizeof shownKeys[0], "%s %s", name, message == WM_KEYDOWN ? "down" : "up");
}

void paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    char line[128];
    int y = 4;
    std::snprintf(line, sizeof line, "Keys from the vis (Esc ends):");
    TextOutA(dc, 6, y, line, static_cast<int>(std::strlen(line)));
    for (int i = 0; i < keysShown && shownKeys[i][0]; ++i) {
        y += 14;
        TextOutA(dc, 14, y, shownKeys[i], static_cast<int>(std::strlen(shownKeys[i])));
    }
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *run = reinterpret_cast<HostRun *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
        rememberKey(message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        if (message == WM_KEYDOWN && wParam == VK_ESCAPE && run) requestStop(*run);
        return 0;
    case WM_CLOSE:
        // The window goes when the vis thread has ended, after quit.
        if (run) requestStop(*run);
        return 0;
    case WM_PAINT:
        paint(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

HWND createHostWindow(HostRun &run)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "VisHostPlayer";
    if (!RegisterClassA(&windowClass)) return nullptr;
    HWND window = CreateWindowExA(0, "VisHostPlayer", "vishost", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  100, 200, hostWindowWidth, hostWindowHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&run));
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    return window;
}

void requestStop(HostRun &run)
{
    run.stopRequested = true;
    PostThreadMessageA(run.visThreadId, WM_QUIT, 0, 0);
}
