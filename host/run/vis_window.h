// The vis window, as the host finds it: the window the plug-in made on the
// vis thread and gave the host window as owner.
#pragma once

#include <windows.h>

// The vis window of hostWindow, or null when the plug-in made none.
HWND findVisWindow(HWND hostWindow);

// Puts the host window right under the vis window, where the vis snaps
// below the player's window.
void placeUnderVisWindow(HWND hostWindow, HWND visWindow);
