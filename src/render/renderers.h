// The two modules' per-frame drawing: `render` of the VU module and of the
// scope module. Both draw into the vis window's back buffer and copy the
// frame to the vis window.
#pragma once

#include "records/vis_records.h"

// The VU meters' smoothed levels in dB, left and right: 0.0 when the library
// loads, then each frame's result, carried from one run to the next (init
// and quit leave them alone).
extern double needleLevels[2];

// 0 when the frame went through; 1 when the left meter's masked copy failed,
// which ends the visualization.
int __cdecl renderVuMeters(VisModule *module);

// Always 0.
int __cdecl renderScope(VisModule *module);
