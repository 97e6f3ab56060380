#include "settings/window_position.h"

#include "settings/settings_path.h"

WindowPosition windowPosition = {50, 50};

// Without a settings path (the library's name too long to hold) nothing is
// read or written: the position then lives in memory only.
static int settingsPathOf(HINSTANCE library, char *path)
{
    char moduleFileName[settingsPathCapacity];
    const DWORD length = GetModuleFileNameA(library, moduleFileName, settingsPathCapacity);
    return buildSettingsPath(moduleFileName, length, path);
}

void loadWindowPosition(const char *section, HINSTANCE library)
{
    char path[settingsPathCapacity];
    if (settingsPathOf(library, path) != 0) return;
    windowPosition.x = static_cast<int>(GetPrivateProfileIntA(section, "Screen_x", windowPosition.x, path));
    windowPosition.y = static_cast<int>(GetPrivateProfileIntA(section, "Screen_y", windowPosition.y, path));
}

void saveWindowPosition(const char *section, HINSTANCE library)
{
    char path[settingsPathCapacity];
    if (settingsPathOf(library, path) != 0) return;
    char value[16];
    wsprintfA(value, "%d", windowPosition.x);
    WritePrivateProfileStringA(section, "Screen_x", value, path);
    wsprintfA(value, "%d", windowPosition.y);
    WritePrivateProfileStringA(section, "Screen_y", value, path);
}

void clampWindowPosition()
{
    windowPosition = clampedPosition(windowPosition);
}
