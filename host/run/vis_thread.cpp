// The vis thread, as the player runs it: init, then a frame every delayMs
// with this thread's messages dispatched in between, then quit once.
#include <cstdio>
#include <memory>
#include <new>

#include "run/frame_sound.h"
#include "run/frame_waits.h"
#include "run/process_probes.h"
#include "run/reporting.h"
#include "run/run_stats.h"
#include "run/vis_window.h"

static_assert(waveformLength == visSampleCount && waveformRows == visChannelRows,
              "the sample path fills the records' rows exactly");

namespace {

LONG frameDelayMs(const VisModule &module)
{
    return module.delayMs > 0 ? module.delayMs : 1;
}

bool setFrameTimer(HANDLE timer, LONG delayMs)
{
    LARGE_INTEGER firstDue;
    firstDue.QuadPart = -10000LL * delayMs;
    if (SetWaitableTimer(timer, &firstDue, delayMs, nullptr, nullptr, FALSE)) return true;
    reportError("cannot set the frame timer (error " + std::to_string(GetLastError()) + ")");
    return false;
}

// Calls the module's init and places the host window under its window; the
// sound starts with the first module. Returns false when the run cannot go
// on (said to the user), after quit when init had succeeded.
bool startModule(VisRun &run, ModuleRun &current)
{
    HostRun &host = run.host;
    VisModule &module = current.module;
    module.parentWindow = host.hostWindow;
    module.dllInstance = host.library;
    describeSound(host, module);
    if (module.init(&module) != 0) {
        reportError("init of module " + std::to_string(current.index) + " failed");
        return false;
    }
    current.visWindow = findVisWindow(host.hostWindow);
    if (current.visWindow) placeUnderVisWindow(host.hostWindow, current.visWindow);
    const std::string title = std::string("vishost - ") + (module.description ? module.description : "");
    SetWindowTextA(host.hostWindow, title.c_str());
    if (run.soundStarted) return true;
    if (!startSound(host)) {
        module.quit(&module);
        return false;
    }
    run.soundStarted = true;
    return true;
}

// Render, unless silence has paused it.
int renderUnlessPaused(VisRun &run, ModuleRun &current)
{
    RunTimes &times = current.times;
    const long long start = counterNow();
    const bool wasPaused = current.silence.paused;
    const bool rendered = run.host.options.renderSilence || renderFrame(current.silence, current.module.waveform);
    const int result = rendered ? current.module.render(&current.module) : 0;
    times.skippedRenders += !rendered;
    times.pauses += !wasPaused && current.silence.paused;
    times.renderTicks += counterNow() - start;
    return result;
}

// Queues what the vis window shows now. Returns false when it cannot (said to the user).
bool captureVisWindow(VisRun &run, ModuleRun &current)
{
    const long long start = counterNow();
    if (!current.visWindow) current.visWindow = findVisWindow(run.host.hostWindow);
    std::string error = "the plug-in made no window owned by the host window";
    const bool captured =
        current.visWindow && captureFrame(run.capture, current.visWindow, run.frameNumber, error);
    current.times.captureTicks += counterNow() - start;
    if (!captured) reportError(error);
    return captured;
}

// One frame: its sound, render, and its capture. Returns how the run goes on.
RunEnd runFrame(VisRun &run, ModuleRun &current)
{
    const HostOptions &options = run.host.options;
    const long long frameStart = counterNow();
    RunEnd end = fillFrame(run.host, current);
    if (end != RunEnd::notYet) return end;
    recordFrame(run.frameStats, counterMicroseconds(frameStart));
    if (run.firstFrameMicroseconds < 0) {
        run.firstFrameMicroseconds = microsecondsSinceProcessStart();
        current.times.firstFrameHere = true;
    }
    const int result = renderUnlessPaused(run, current);
    if (run.capturing && !captureVisWindow(run, current)) end = RunEnd::failed;
    ++run.frameNumber;
    if (options.steady)
        advanceSteadyClock(run.host.sound.playing->clock, static_cast<int>(frameDelayMs(current.module)));
    if (result == 1) {
        std::printf("vishost: module %d ended itself (render returned 1) after %lld frames\n", current.index,
                    run.frameStats.frames);
        if (end == RunEnd::notYet) end = RunEnd::renderEnded;
    }
    return end;
}

// The frames from the first to the one that ends the run, on a periodic
// timer: it keeps them to a fixed schedule without a call per frame, and a
// frame that comes late is followed by one at once, not by a burst.
RunEnd runFrames(VisRun &run, ModuleRun &current)
{
    const HostOptions &options = run.host.options;
    RunTimes &times = current.times;
    const long long runTicks = static_cast<long long>(options.seconds * static_cast<double>(counterTicksPerSecond()));
    const LONG delayMs = frameDelayMs(current.module);
    if (!setFrameTimer(run.timer, delayMs)) return RunEnd::failed;
    RunEnd end = RunEnd::notYet;
    while (end == RunEnd::notYet) {
        if (!dispatchMessages(times)) return RunEnd::quitMessage;
        if (run.host.stopRequested) return RunEnd::stopRequested;
        if (runTicks > 0 && counterNow() - times.startTicks >= runTicks) return RunEnd::timeUp;
        end = runFrame(run, current);
        if (end != RunEnd::notYet) break;
        if (!(options.stdinInput && current.silence.paused)) {
            end = waitForFrame(run.timer, times);
            continue;
        }
        // The frame after the sound comes back is rendered at once, and
        // the timer starts over from it.
        CancelWaitableTimer(run.timer);
        end = waitForSound(run.host.stdinInput.soundEvent, runTicks > 0 ? times.startTicks + runTicks : 0, times);
        if (end == RunEnd::notYet && !setFrameTimer(run.timer, delayMs)) return RunEnd::failed;
    }
    return end;
}

// Stops the timer, calls quit, and prints the module's figures.
RunEnd endModule(VisRun &run, ModuleRun &current, RunEnd end)
{
    RunTimes &times = current.times;
    times.endTicks = counterNow();
    times.cpuEnd = processCpu100ns();
    if (run.capturing) times.captureEnd = captureCounts(run.capture);
    if (!CancelWaitableTimer(run.timer) && end != RunEnd::failed) {
        reportError("cannot stop the frame timer (error " + std::to_string(GetLastError()) + ")");
        end = RunEnd::failed;
    }
    current.module.quit(&current.module);
    // The vis window's destruction posted WM_QUIT to this thread; left in the
    // queue it would end the next module's run before its first frame.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    if (run.host.options.stats) printStats(run, current);
    return end;
}

// Runs one module from init to quit. Returns how the run ended; init's
// failure is reported and ends the host's run.
RunEnd runModule(VisRun &run, ModuleRun &current)
{
    if (!startModule(run, current)) return RunEnd::failed;
    RunTimes &times = current.times;
    resetFrameStats(run.frameStats);
    times.startTicks = counterNow();
    times.cpuStart = processCpu100ns();
    if (run.capturing) times.captureStart = captureCounts(run.capture);
    const RunEnd end = runFrames(run, current);
    return endModule(run, current, end);
}

// Runs each module in turn.
void runModules(VisRun &run)
{
    HostRun &host = run.host;
    for (size_t i = 0; i < host.modules.size(); ++i) {
        ModuleRun current(host.options.modules[i], *host.modules[i]);
        const RunEnd end = runModule(run, current);
        if (end == RunEnd::failed) host.exitCode = 1;
        if (end == RunEnd::stopRequested || end == RunEnd::fileEnded || end == RunEnd::inputEnded ||
            end == RunEnd::failed || host.stopRequested)
            break;
    }
}

// However the run ended: the decoders stop before the run that holds them
// is freed, and the frames queued are written.
void endRun(VisRun &run)
{
    HostRun &host = run.host;
    if (!host.options.input) {
        stopQueue(host.sound);
        reportQueued(host.sound);
        // A run fails when nothing played without a failure.
        if (host.sound.goodEntries == 0) host.exitCode = 1;
    }
    std::string error;
    if (run.capturing && !stopCapture(run.capture, error) && host.exitCode == 0) {
        reportError(error);
        host.exitCode = 1;
    }
}

}  // namespace

DWORD WINAPI visThreadMain(void *parameter)
{
    HostRun &host = *static_cast<HostRun *>(parameter);
    // Too big for the stack: its frame statistics hold a histogram.
    std::unique_ptr<VisRun> run(new (std::nothrow) VisRun(host));
    if (!run) {
        reportError("no memory for the vis thread");
        host.exitCode = 1;
        return 1;
    }
    run->timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    // Nothing may escape the thread: the messages and the queue's steps
    // allocate, and memory may run out.
    try {
        std::string error;
        if (!run->timer) {
            reportError("cannot create a waitable timer (error " + std::to_string(GetLastError()) + ")");
            host.exitCode = 1;
        } else if (!host.options.captureFolder.empty() &&
                   !(run->capturing = startCapture(run->capture, host.options.captureFolder, error))) {
            reportError(error);
            host.exitCode = 1;
        } else {
            runModules(*run);
        }
    } catch (...) {
        reportException("the vis thread");
        host.exitCode = 1;
    }
    try {
        endRun(*run);
    } catch (...) {
        reportException("the end of the run");
        host.exitCode = 1;
    }
    if (run->timer) CloseHandle(run->timer);
    return static_cast<DWORD>(host.exitCode);
}
