// Live input read from standard input, where the launcher writes what it
// records of the desktop's sound (the frames of pipe_framing.h). A reader
// thread of its own takes the bytes as they come, so that the vis gets
// the newest sound at every frame and can sleep while there is none.
#pragma once

#include <windows.h>

#include <string>

#include "sound/live/pipe_framing.h"

// Standard input as live input: shared by the reader and the vis thread
// under lock.
struct StdinInput {
    StdinInput() = default;
    // The reader thread holds on to it.
    StdinInput(const StdinInput &) = delete;
    StdinInput &operator=(const StdinInput &) = delete;

    CRITICAL_SECTION lock;
    HANDLE input = nullptr;
    HANDLE thread = nullptr;
    HANDLE soundEvent = nullptr;
    PipeFraming framing;
    InputRing ring;
    DWORD lastFramesTick = 0;
    bool ended = false;
    bool stopping = false;
};

// Starts the reader. Returns false with error set, one line for the user.
bool startStdinInput(StdinInput &in, std::string &error);

// What the vis gets this frame: the newest frames, or silence once nothing
// has come for a while (the launcher is waiting for the sound server).
// Returns the channel count.
int fillFromStdin(StdinInput &in, signed char waveform[waveformRows][waveformLength]);

// in.soundEvent is signalled when sound that is not silence comes, or the
// input ends: a paused vis waits on it.

// Whether the launcher has closed the pipe: it has ended, and so does the run.
bool stdinEnded(StdinInput &in);

// The reader may be blocked in a read that only the process's end
// interrupts; it holds nothing that needs giving back, so it is left to
// that. This only tells it to take no more.
void stopStdinInput(StdinInput &in);
