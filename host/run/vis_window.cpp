#include "run/vis_window.h"

namespace {

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK findOwned(HWND window, LPARAM lParam)
{
    auto *search = reinterpret_cast<OwnedSearch *>(lParam);
    if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND findVisWindow(HWND hostWindow)
{
    OwnedSearch search = {hostWindow, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void placeUnderVisWindow(HWND hostWindow, HWND visWindow)
{
    RECT rect;
    GetWindowRect(visWindow, &rect);
    SetWindowPos(hostWindow, nullptr, rect.left, rect.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
