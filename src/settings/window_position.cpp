#include "settings/window_position.h"

#include "settings/settings_path.h"

// Without a settings path (the library's name too long to hold) nothing is
// read or written: the position then lives in memory only.
static int settingsPathOf(const VisModule *module, char *path)
{
    char moduleFileName[settingsPathCapacity];
    const DWORD length = GetModuleFileNameA(module->dllInstance, moduleFileName, settingsPathCapacity);
    return buildSettingsPath(moduleFileName, length, path);
}

void loadWindowPosition(const VisModule *module)
{
    char path[settingsPathCapacity];
    if (settingsPathOf(module, path) != 0) return;
    windowPosition.x = static_cast<int>(GetPrivateProfileIntA(module->description, "Screen_x", windowPosition.x, path));
    windowPosition.y = static_cast<int>(GetPrivateProfileIntA(module->description, "Screen_y", windowPosition.y, path));
}

void saveWindowPosition(const VisModule *module)
{
    char path[settingsPathCapacity];
    if (settingsPathOf(module, path) != 0) return;
    char value[16];
    wsprintfA(value, "%d", windowPosition.x);
    WritePrivateProfileStringA(module->description, "Screen_x", value, path);
    wsprintfA(value, "%d", windowPosition.y);
    WritePrivateProfileStringA(module->description, "Screen_y", value, path);
}

void clampWindowPosition()
{
    windowPosition = clampedPosition(windowPosition);
}
