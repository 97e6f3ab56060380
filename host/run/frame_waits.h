// How the vis thread waits between frames: for the frame timer, or, while
// render is paused for silence on live input, for the sound itself; either
// way with its messages dispatched as they come, as the player's vis
// thread does, and without spinning.
#pragma once

#include "run/vis_run.h"

// Dispatches every message waiting in this thread's queue. Returns false
// when a WM_QUIT came: the module's run ends there.
bool dispatchMessages(RunTimes &times);

// Waits until the timer fires. Returns notYet then, quitMessage when a
// WM_QUIT came, failed when the wait failed (said to the user).
RunEnd waitForFrame(HANDLE timer, RunTimes &times);

// Waits until sound is signalled or the performance counter reaches
// endTicks (0: no end). Returns notYet then, else as waitForFrame.
RunEnd waitForSound(HANDLE sound, long long endTicks, RunTimes &times);
