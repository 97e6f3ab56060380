// The window position in memory and in plugin.ini, one section per module.
#pragma once

#include <windows.h>

#include "settings/position_clamp.h"

// Shared by both modules and kept for as long as the library is loaded: a
// module with no section of its own opens where the last one was left. The
// window procedure writes it on every move of the vis window.
extern WindowPosition windowPosition;

// Reads "Screen_x" and "Screen_y" from the section of plugin.ini beside the
// library `library`; whatever is missing keeps its value in memory.
void loadWindowPosition(const char *section, HINSTANCE library);

// Writes both keys into that section and leaves the rest of the file alone.
void saveWindowPosition(const char *section, HINSTANCE library);

// Brings a loaded position back on screen, in memory too.
void clampWindowPosition();
