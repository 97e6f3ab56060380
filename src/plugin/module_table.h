// The header and the module table: the top of the plug-in, wiring each
// module's record to its renderer, its frame size and the shared window
// set-up.
#pragma once

#include "records/vis_records.h"

extern VisHeader visHeader;

// Index 0 (the VU meters) and 1 (the oscilloscope) give the two modules;
// anything else gives null, which ends the player's list.
VisModule *__cdecl moduleByIndex(int index);

// The About box, shared by both modules.
int __cdecl config(VisModule *module);
