// What the host's threads share for one run: the plug-in, the options, the
// sound, the host window, and the request to stop.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "run/command_line.h"
#include "records/vis_records.h"
#include "sound/play_queue.h"

struct HostRun {
    HostOptions options;
    HMODULE library = nullptr;
    VisHeader *header = nullptr;
    std::vector<VisModule *> modules;  // in the order of options.modules
    PlayQueue sound;  // unless options.input
    HWND hostWindow = nullptr;
    std::atomic<DWORD> visThreadId{0};  // read by the console's handler too
    std::atomic<bool> stopRequested{false};
    int exitCode = 0;
};

// The host window, standing in for the player's main window: owner of the
// vis window and target of the keys the vis forwards. Esc or closing it
// asks the vis thread to stop. On failure, error says which call failed and
// the system's reason.
HWND createHostWindow(HostRun &run, std::string &error);

// Sets stopRequested and posts WM_QUIT to the vis thread.
void requestStop(HostRun &run);

// The vis thread: runs each module of run.modules in turn.
DWORD WINAPI visThreadMain(void *run);
