// The header and the two module records, one of each per library.
#pragma once

#include "records/vis_records.h"

extern VisHeader visHeader;
extern VisModule vuModule;     // index 0
extern VisModule scopeModule;  // index 1

// Index 0 and 1 give the two modules; anything else gives null, which ends
// the player's list.
VisModule *__cdecl moduleByIndex(int index);

// The About box, shared by both modules.
int __cdecl config(VisModule *module);
