// What the host's threads share for one run: the plug-in, the options, the
// sound, the host window, and the request to stop.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "records/vis_records.h"
#include "run/command_line.h"
#include "sound/files/play_queue.h"
#include "sound/live/recording_device.h"
#include "sound/live/stdin_input.h"

constexpr int keysShown = 4;

struct HostRun {
    HostRun() = default;
    HostRun(const HostRun &) = delete;
    HostRun &operator=(const HostRun &) = delete;

    HostOptions options;
    HMODULE library = nullptr;
    VisHeader *header = nullptr;
    std::vector<VisModule *> modules;  // in the order of options.modules
    // The sound: files, or live input from a recording device or from
    // standard input.
    PlayQueue sound;
    RecordingDevice recording;
    StdinInput stdinInput;
    HWND hostWindow = nullptr;
    // The last keys the host window received, newest first; its thread's alone.
    char shownKeys[keysShown][48] = {};
    std::atomic<DWORD> visThreadId{0};  // read by the console's handler too
    std::atomic<bool> stopRequested{false};
    // Set once the run is over and what it writes is written.
    HANDLE runOver = nullptr;
    int exitCode = 0;
};

// The host window, standing in for the player's main window: owner of the
// vis window and target of the keys the vis forwards. Esc or closing it
// asks the vis thread to stop. On failure, error says which call failed and
// the system's reason.
HWND createHostWindow(HostRun &run, std::string &error);

// The run of this process's host window, or null when it has none yet:
// for the console's handler, which the system calls with no context.
HostRun *runOfHostWindow();

// Sets stopRequested and posts WM_QUIT to the vis thread.
void requestStop(HostRun &run);

// The vis thread: runs each module of run.modules in turn.
DWORD WINAPI visThreadMain(void *run);
