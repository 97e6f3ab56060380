// The sound the vis gets: from the playing file at its play position, from
// a recording device, or from standard input, told to the module at init
// and filled into its waveform each frame.
#pragma once

#include "run/vis_run.h"

// Tells the module the sound's rate and channels.
void describeSound(HostRun &run, VisModule &module);

// Starts the sound, with the first module's first frame so that a run
// always shows it from its start. Returns false when it cannot (said to
// the user).
bool startSound(HostRun &run);

// Fills the module's waveform for this frame. Returns how the run goes on.
RunEnd fillFrame(HostRun &run, ModuleRun &current);
