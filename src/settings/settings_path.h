// The settings file's path: "plugin.ini" in the library's own folder.
#pragma once

#include <cstddef>

// Characters, terminator included, of both the library's file name as
// fetched and the settings path built from it.
constexpr std::size_t settingsPathCapacity = 260;

// moduleFileName is what the platform delivered into a buffer of
// settingsPathCapacity characters and nameLength the length it reported.
// Fills path (settingsPathCapacity characters) and returns 0, or returns 1
// with path empty when no settings file can be named: the fetch failed, the
// name was cut short (its folder is then unknown), or the folder with
// "plugin.ini" appended would not fit.
int buildSettingsPath(const char *moduleFileName, std::size_t nameLength, char *path);
