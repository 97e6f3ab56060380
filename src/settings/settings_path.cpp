#include "settings/settings_path.h"

#include <cstring>

static const char settingsFileName[] = "plugin.ini";

int buildSettingsPath(const char *moduleFileName, std::size_t nameLength, char *path)
{
    path[0] = '\0';
    // A name that fills the whole buffer may have been cut anywhere; its
    // last backslash could then name some ancestor folder, and settings
    // written there would belong to no one.
    if (nameLength == 0 || nameLength >= settingsPathCapacity) return 1;

    std::size_t folderLength = nameLength;
    while (folderLength > 0 && moduleFileName[folderLength - 1] != '\\') --folderLength;

    if (folderLength + sizeof settingsFileName > settingsPathCapacity) return 1;
    std::memcpy(path, moduleFileName, folderLength);
    std::memcpy(path + folderLength, settingsFileName, sizeof settingsFileName);
    return 0;
}
