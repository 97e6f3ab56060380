#include <cstring>
#include <cstdio>

#include "run/host_run.h"

namespace {

constexpr int hostWindowWidth = 275;  // the player's main window
constexpr int hostWindowHeight = 116;
constexpr char hostWindowClass[] = "VisHostPlayer";

void rememberKey(char (&shownKeys)[keysShown][48], UINT message, WPARAM key, LPARAM lParam)
{
    for (int i = keysShown - 1; i > 0; --i) std::memcpy(shownKeys[i], shownKeys[i - 1], sizeof shownKeys[i]);
    char name[32];
    if (GetKeyNameTextA(static_cast<LONG>(lParam), name, sizeof name) <= 0)
        std::snprintf(name, sizeof name, "key %u", static_cast<unsigned>(key));
    std::snprintf(shownKeys[0], sizeof shownKeys[0], "%s %s", name, message == WM_KEYDOWN ? "down" : "up");
}

void paint(HWND window, const char (&shownKeys)[keysShown][48])
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
        if (run) rememberKey(run->shownKeys, message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        if (message == WM_KEYDOWN && wParam == VK_ESCAPE && run) requestStop(*run);
        return 0;
    case WM_CLOSE:
        // The window goes when the vis thread has ended, after quit.
        if (run) requestStop(*run);
        return 0;
    case WM_PAINT:
        if (!run) break;
        paint(window, run->shownKeys);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The system's own words for an error code, without the line break it ends with.
std::string systemErrorText(DWORD code)
{
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ')) --length;
    std::string said = "error " + std::to_string(code);
    if (length > 0) said += ": " + std::string(text, length);
    return said;
}

}  // namespace

HWND createHostWindow(HostRun &run, std::string &error)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = hostWindowClass;
    if (!RegisterClassA(&windowClass)) {
        error = "cannot create the host window: RegisterClassA failed (" + systemErrorText(GetLastError()) + ")";
        return nullptr;
    }
    HWND window = CreateWindowExA(0, hostWindowClass, "vishost", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  100, 200, hostWindowWidth, hostWindowHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        const DWORD code = GetLastError();
        error = "cannot create the host window: CreateWindowExA failed (" + systemErrorText(code) + ")";
        // Wine fails a window without an error code when it has no display
        // driver: no X display, or its desktop process (explorer.exe), which
        // the first window of a session starts, was not up within the 10 s
        // Wine waits for it, as happens on a slow or very busy machine.
        if (code == ERROR_SUCCESS)
            error = "cannot create the host window: CreateWindowExA failed with no error code, as Wine does when it "
                    "has no display driver: either no X display could be opened (is DISPLAY set?) or Wine's desktop "
                    "process, explorer.exe, was not up within the 10 s Wine waits for it, as on a slow or very busy "
                    "machine; run vishost again once the machine is less busy";
        return nullptr;
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&run));
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    return window;
}

HostRun *runOfHostWindow()
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, hostWindowClass, nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId())
            return reinterpret_cast<HostRun *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    return nullptr;
}

void requestStop(HostRun &run)
{
    run.stopRequested = true;
    PostThreadMessageA(run.visThreadId, WM_QUIT, 0, 0);
}
