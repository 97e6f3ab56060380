// The two modules' per-frame drawing: `render` of the VU module and of the
// scope module. Both draw into the back buffer and copy to the vis window
// that init made.
#pragma once

#include "records/vis_records.h"

// 0 when the frame went through; 1 when the left meter's masked copy failed,
// which ends the visualization.
int __cdecl renderVuMeters(VisModule *module);

// Always 0.
int __cdecl renderScope(VisModule *module);
