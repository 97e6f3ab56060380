// Live input read from standard input, where the launcher writes what it
// records of the desktop's sound (the frames of pipe_framing.h). A reader
// thread of its own takes the bytes as they come, so that the vis gets
// the newest sound at every frame and can sleep while there is none.
#pragma once

#include <windows.h>

#include <string>

#include "sound/sample_window.h"

// Starts the reader. Returns false with error set, one line for the user.
bool startStdinInput(std::string &error);

// What the vis gets this frame: the newest frames, or silence once nothing
// has come for a while (the launcher is waiting for the sound server).
// Returns the channel count.
int fillFromStdin(signed char waveform[waveformRows][waveformLength]);

// Signalled when sound that is not silence comes, or the input ends: a
// paused vis waits on it.
HANDLE stdinSoundEvent();

// Whether the launcher has closed the pipe: it has ended, and so does the run.
bool stdinEnded();

// The reader may be blocked in a read that only the process's end
// interrupts; it holds nothing that needs giving back, so it is left to
// that. This only tells it to take no more.
void stopStdinInput();
