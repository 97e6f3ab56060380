// The vis thread's state: the whole run's in VisRun, one module's in
// ModuleRun, and how a module's run goes on or ends.
#pragma once

#include <windows.h>

#include "capture/frame_capture.h"
#include "run/frame_stats.h"
#include "run/host_run.h"
#include "run/silence_pause.h"

enum class RunEnd { notYet, timeUp, fileEnded, inputEnded, quitMessage, stopRequested, renderEnded, failed };

// Where the time of one module's run went, for --stats, in the
// performance counter's ticks.
struct RunTimes {
    long long renderTicks = 0;
    long long waitTicks = 0;
    long long dispatchTicks = 0;
    long long captureTicks = 0;
    long long startTicks = 0, endTicks = 0;
    long long cpuStart = 0, cpuEnd = 0;
    CaptureCounts captureStart = {}, captureEnd = {};
    long long shortFrames = 0, missingSamples = 0;  // the decoder fell behind
    bool firstFrameHere = false;
    long long skippedRenders = 0, pauses = 0;  // render left out for silence
};

struct VisRun {
    explicit VisRun(HostRun &run) : host(run) {}
    VisRun(const VisRun &) = delete;
    VisRun &operator=(const VisRun &) = delete;

    HostRun &host;
    HANDLE timer = nullptr;
    Capture capture;
    bool capturing = false;
    long long frameNumber = 0;  // across modules, as the capture's files are numbered
    bool soundStarted = false;  // with the first module's first frame
    long long firstFrameMicroseconds = -1;  // after the process started; -1 before it
    FrameStats frameStats;  // of the module running
};

struct ModuleRun {
    ModuleRun(int pluginIndex, VisModule &visModule) : index(pluginIndex), module(visModule) {}

    int index;  // in the plug-in
    VisModule &module;
    HWND visWindow = nullptr;
    SilencePause silence = {0, false};
    RunTimes times;
};
