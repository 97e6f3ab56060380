// The window position in memory and in plugin.ini, one section per module.
#pragma once

#include "records/vis_records.h"
#include "settings/position_clamp.h"

// Shared by both modules and kept for as long as the library is loaded: a
// module with no section of its own opens where the last one was left.
inline WindowPosition windowPosition = {50, 50};

// Reads "Screen_x" and "Screen_y" from the module's section; whatever is
// missing keeps its value in memory.
void loadWindowPosition(const VisModule *module);

// Writes both keys into the module's section and leaves the rest of the
// file alone.
void saveWindowPosition(const VisModule *module);

// Brings a loaded position back on screen, in memory too.
void clampWindowPosition();
