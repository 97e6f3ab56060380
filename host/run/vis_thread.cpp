// The vis thread, as the player runs it: init, then a frame every delayMs
// with this thread's messages dispatched in between, then quit once.
#include <cstdio>

#include "capture/frame_capture.h"
#include "run/frame_stats.h"
#include "run/host_run.h"
#include "run/reporting.h"
#include "run/silence_pause.h"
#include "sound/pipe_framing.h"
#include "sound/sound_input.h"
#include "sound/stdin_input.h"

#include <psapi.h>

static_assert(waveformLength == visSampleCount && waveformRows == visChannelRows,
              "the sample path fills the records' rows exactly");

namespace {

// Used on the vis thread only; big enough that it lives here rather than on the stack.
FrameStats frameStats;

LARGE_INTEGER counterFrequency;

long long now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

long long microseconds(long long ticks)
{
    const long long frequency = counterFrequency.QuadPart;
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

long long fileTime(const FILETIME &time)
{
    return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

long long processCpu100ns()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return fileTime(kernel) + fileTime(user);
}

enum class RunEnd { frames, timeUp, fileEnded, inputEnded, quitMessage, stopRequested, renderEnded, failed };

// When the run's first frame came, in microseconds after the process started; -1 before it.
long long firstFrameMicroseconds = -1;

long long microsecondsSinceProcessStart()
{
    FILETIME created, exited, kernel, user, current;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&current);
    return (fileTime(current) - fileTime(created)) / 10;
}

double peakWorkingSetMegabytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
}

// Where the time of one module's run went, for --stats.
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
    // Whether render is paused for silence, and how often it was left out.
    SilencePause silence = {0, false};
    long long skippedRenders = 0, pauses = 0;
};

// Dispatches every message waiting in this thread's queue. Returns false
// when a WM_QUIT came: the module's run ends there.
bool dispatchMessages(RunTimes &times)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        const long long start = now();
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        times.dispatchTicks += now() - start;
    }
    return true;
}

// Waits until the timer fires, dispatching messages as they come, without
// spinning. Returns how the run goes on: frames, quitMessage when a WM_QUIT
// came, failed when the wait failed (said to the user).
RunEnd waitForFrame(HANDLE timer, RunTimes &times)
{
    for (;;) {
        const long long start = now();
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        times.waitTicks += now() - start;
        if (woken == WAIT_OBJECT_0) return RunEnd::frames;
        if (woken != WAIT_OBJECT_0 + 1) {
            reportError("the wait for the next frame failed (error " + std::to_string(GetLastError()) + ")");
            return RunEnd::failed;
        }
        if (!dispatchMessages(times)) return RunEnd::quitMessage;
    }
}

// While render is paused for silence on live input, nothing happens until
// the sound comes back: no timer, only the sound, messages and the end of
// the run wake this thread. Returns how the run goes on: frames when the
// sound (or the run's end) came, quitMessage or failed as waitForFrame.
RunEnd waitForSound(HANDLE sound, long long endTicks, RunTimes &times)
{
    for (;;) {
        DWORD timeoutMs = INFINITE;
        if (endTicks > 0) {
            const long long left = endTicks - now();
            if (left <= 0) return RunEnd::frames;
            timeoutMs = static_cast<DWORD>(microseconds(left) / 1000 + 1);
        }
        const long long start = now();
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &sound, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        times.waitTicks += now() - start;
        if (woken == WAIT_OBJECT_0 || woken == WAIT_TIMEOUT) return RunEnd::frames;
        if (woken != WAIT_OBJECT_0 + 1) {
            reportError("the wait for sound failed (error " + std::to_string(GetLastError()) + ")");
            return RunEnd::failed;
        }
        if (!dispatchMessages(times)) return RunEnd::quitMessage;
    }
}

// The window the plug-in made on this thread and gave the host window as
// owner: the vis window.
struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK findOwned(HWND window, LPARAM lParam)
{
    auto *search = reinterpret_cast<OwnedSearch *>(lParam);
    if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    search->found = window;
    return FALSE;
}

HWND findVisWindow(HWND hostWindow)
{
    OwnedSearch search = {hostWindow, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void printStats(int index, const VisModule &module, const RunTimes &times, bool input)
{
    const long long frames = frameStats.frames;
    const double seconds = static_cast<double>(microseconds(times.endTicks - times.startTicks)) / 1e6;
    std::printf("module %d (%s): %lld frames in %.2f s\n", index, module.description ? module.description : "",
                frames, seconds);
    std::printf("  frame rate %.2f fps (the module asks for %.2f)\n", framesPerSecond(frameStats),
                module.delayMs > 0 ? 1000.0 / module.delayMs : 0.0);
    std::printf("  frame interval median %.2f ms, 99th percentile %.2f ms\n",
                static_cast<double>(intervalPercentile(frameStats, 50)) / 1000.0,
                static_cast<double>(intervalPercentile(frameStats, 99)) / 1000.0);
    if (frames > 0) {
        const long long run = times.endTicks - times.startTicks;
        const long long hostOwn = run - times.renderTicks - times.waitTicks - times.dispatchTicks - times.captureTicks;
        const auto perFrameMs = [frames](long long ticks) {
            return static_cast<double>(microseconds(ticks)) / 1000.0 / static_cast<double>(frames);
        };
        std::printf("  CPU per frame %.3f ms (the whole process: host and plug-in)\n",
                    static_cast<double>(times.cpuEnd - times.cpuStart) / 1e4 / static_cast<double>(frames));
        std::printf("  time per frame: render %.3f ms, messages %.3f ms, ", perFrameMs(times.renderTicks),
                    perFrameMs(times.dispatchTicks));
        if (times.captureTicks) std::printf("capture %.3f ms, ", perFrameMs(times.captureTicks));
        std::printf("host's own %.3f ms\n", perFrameMs(hostOwn));
    }
    if (times.captureTicks)
        std::printf("  capture: %lld frames queued for writing, %lld dropped because the writer fell behind\n",
                    times.captureEnd.queued - times.captureStart.queued,
                    times.captureEnd.dropped - times.captureStart.dropped);
    std::printf("  silence: render paused %lld times, %lld frames not rendered\n", times.pauses,
                times.skippedRenders);
    if (!input)
        std::printf("  sound: %lld frames short of decoded sound (%lld samples), the decoder having fallen behind\n",
                    times.shortFrames, times.missingSamples);
    if (times.firstFrameHere)
        std::printf("  first frame %.1f ms after the host started\n",
                    static_cast<double>(firstFrameMicroseconds) / 1000.0);
    std::printf("  peak memory (working set) %.1f MB\n", peakWorkingSetMegabytes());
    std::fflush(stdout);
}

// The sound the module is told of: the playing file's, or live input's.
void describeSound(const HostRun &run, VisModule &module)
{
    if (run.options.stdinInput) {
        module.sampleRate = inputRate;
        module.channelCount = pipeChannels;
    } else if (run.options.input) {
        module.sampleRate = inputRate;
        module.channelCount = inputBlock().channels;
    } else {
        module.sampleRate = run.sound.playing->sampleRate;
        module.channelCount = run.sound.playing->channels;
    }
}

// Starts the sound with the first picture, so that a run always shows it from its start.
bool startSound(HostRun &run)
{
    if (run.options.input) {
        std::string error;
        if (run.options.stdinInput ? startStdinInput(error) : startInput(error)) return true;
        reportError(error);
        return false;
    }
    run.sound.clock = run.options.steady ? PlayClock::steady : run.options.mute ? PlayClock::clock : PlayClock::device;
    startPlaying(run.sound);
    reportQueued(run.sound);
    return true;
}

LONG frameDelayMs(const VisModule &module)
{
    return module.delayMs > 0 ? module.delayMs : 1;
}

// Fills the module's waveform for this frame. Returns how the run goes on.
RunEnd fillFrame(HostRun &run, VisModule &module, RunTimes &times)
{
    std::string error;
    if (run.options.stdinInput) {
        // The launcher closed the pipe: it is gone, and the run with it.
        if (stdinEnded()) return RunEnd::inputEnded;
        module.channelCount = fillFromStdin(module.waveform);
        return RunEnd::frames;
    }
    if (run.options.input) {
        // The newest sound recorded: nothing lies ahead of it to look at.
        std::string note;
        const long long frameEnd = collectInput(error, note);
        if (!note.empty()) reportNote(note);
        if (frameEnd < 0) {
            reportError(error);
            return RunEnd::failed;
        }
        module.channelCount = fillWaveform(inputBlock(), frameEnd, module.waveform);
        return RunEnd::frames;
    }
    long long position = playPosition(*run.sound.playing);
    switch (stepQueue(run.sound, position)) {
    case QueueStep::ended:
        reportQueued(run.sound);
        return RunEnd::fileEnded;
    case QueueStep::moved:
        // As in a player, the vis runs on into the next file.
        reportQueued(run.sound);
        describeSound(run, module);
        position = playPosition(*run.sound.playing);
        break;
    case QueueStep::same:
        reportQueued(run.sound);
        break;
    }
    SoundStream &stream = *run.sound.playing;
    const long long frameEnd = newestFrameEnd(position, module.latencyMs, stream.sampleRate);
    const StreamRead read = readFrame(stream, position, frameEnd, module.waveform, error);
    if (read.channels < 0) {
        reportError(error);
        return RunEnd::failed;
    }
    module.channelCount = read.channels;
    times.missingSamples += read.missing;
    times.shortFrames += read.missing > 0;
    return RunEnd::frames;
}

// Calls the module's init and places the host window under its window,
// which visWindow is then; the sound starts with the first module. Returns
// false when the run cannot go on (said to the user), after quit when init
// had succeeded.
bool startModule(HostRun &run, int index, VisModule &module, bool &soundStarted, HWND &visWindow)
{
    module.parentWindow = run.hostWindow;
    module.dllInstance = run.library;
    describeSound(run, module);
    if (module.init(&module) != 0) {
        reportError("init of module " + std::to_string(index) + " failed");
        return false;
    }
    visWindow = findVisWindow(run.hostWindow);
    if (visWindow) {
        // The player's window sits right under the vis, where the vis snaps below it.
        RECT rect;
        GetWindowRect(visWindow, &rect);
        SetWindowPos(run.hostWindow, nullptr, rect.left, rect.bottom, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::string title = std::string("vishost - ") + (module.description ? module.description : "");
    SetWindowTextA(run.hostWindow, title.c_str());
    if (soundStarted) return true;
    if (!startSound(run)) {
        module.quit(&module);
        return false;
    }
    soundStarted = true;
    return true;
}

// One frame: its sound, render, and its capture. Returns how the run goes on.
RunEnd runFrame(HostRun &run, int index, VisModule &module, HWND &visWindow, long long &frameNumber, RunTimes &times)
{
    const HostOptions &options = run.options;
    const long long frameStart = now();
    RunEnd end = fillFrame(run, module, times);
    if (end != RunEnd::frames) return end;
    recordFrame(frameStats, microseconds(frameStart));
    if (firstFrameMicroseconds < 0) {
        firstFrameMicroseconds = microsecondsSinceProcessStart();
        times.firstFrameHere = true;
    }

    const long long renderStart = now();
    const bool wasPaused = times.silence.paused;
    const bool rendered = run.options.renderSilence || renderFrame(times.silence, module.waveform);
    const int result = rendered ? module.render(&module) : 0;
    times.skippedRenders += !rendered;
    times.pauses += !wasPaused && times.silence.paused;
    const long long renderEnd = now();
    times.renderTicks += renderEnd - renderStart;

    if (!options.captureFolder.empty()) {
        std::string error;
        if (!visWindow) visWindow = findVisWindow(run.hostWindow);
        const bool captured = visWindow ? captureFrame(visWindow, frameNumber, error)
                                        : (error = "the plug-in made no window owned by the host window", false);
        times.captureTicks += now() - renderEnd;
        if (!captured) {
            reportError(error);
            end = RunEnd::failed;
        }
    }
    ++frameNumber;
    if (options.steady) advanceSteadyClock(*run.sound.playing, static_cast<int>(frameDelayMs(module)));
    if (result == 1) {
        std::printf("vishost: module %d ended itself (render returned 1) after %lld frames\n", index,
                    frameStats.frames);
        if (end == RunEnd::frames) end = RunEnd::renderEnded;
    }
    return end;
}

// The frames from the first to the one that ends the run, on a periodic
// timer: it keeps them to a fixed schedule without a call per frame, and a
// frame that comes late is followed by one at once, not by a burst.
RunEnd runFrames(HostRun &run, int index, VisModule &module, HANDLE timer, HWND visWindow, long long &frameNumber,
                 RunTimes &times)
{
    const HostOptions &options = run.options;
    const long long runTicks = static_cast<long long>(options.seconds * static_cast<double>(counterFrequency.QuadPart));
    const LONG delayMs = frameDelayMs(module);
    LARGE_INTEGER firstDue;
    firstDue.QuadPart = -10000LL * delayMs;
    if (!SetWaitableTimer(timer, &firstDue, delayMs, nullptr, nullptr, FALSE)) {
        reportError("cannot set the frame timer (error " + std::to_string(GetLastError()) + ")");
        return RunEnd::failed;
    }
    RunEnd end = RunEnd::frames;
    while (end == RunEnd::frames) {
        if (!dispatchMessages(times)) return RunEnd::quitMessage;
        if (run.stopRequested) return RunEnd::stopRequested;
        if (runTicks > 0 && now() - times.startTicks >= runTicks) return RunEnd::timeUp;
        end = runFrame(run, index, module, visWindow, frameNumber, times);
        if (end != RunEnd::frames) break;
        if (!(options.stdinInput && times.silence.paused)) {
            end = waitForFrame(timer, times);
            continue;
        }
        // The frame after the sound comes back is rendered at once, and
        // the timer starts over from it.
        CancelWaitableTimer(timer);
        end = waitForSound(stdinSoundEvent(), runTicks > 0 ? times.startTicks + runTicks : 0, times);
        if (end == RunEnd::frames && !SetWaitableTimer(timer, &firstDue, delayMs, nullptr, nullptr, FALSE)) {
            reportError("cannot set the frame timer (error " + std::to_string(GetLastError()) + ")");
            return RunEnd::failed;
        }
    }
    return end;
}

// Stops the timer, calls quit, and prints the module's figures.
RunEnd endModule(HostRun &run, int index, VisModule &module, HANDLE timer, RunEnd end, RunTimes &times)
{
    times.endTicks = now();
    times.cpuEnd = processCpu100ns();
    if (!run.options.captureFolder.empty()) times.captureEnd = captureCounts();
    if (!CancelWaitableTimer(timer) && end != RunEnd::failed) {
        reportError("cannot stop the frame timer (error " + std::to_string(GetLastError()) + ")");
        end = RunEnd::failed;
    }
    module.quit(&module);
    // The vis window's destruction posted WM_QUIT to this thread; left in the
    // queue it would end the next module's run before its first frame.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    if (run.options.stats) printStats(index, module, times, run.options.input);
    return end;
}

// Runs one module from init to quit. Returns how the run ended; init's
// failure is reported and ends the host's run.
RunEnd runModule(HostRun &run, int index, VisModule &module, HANDLE timer, long long &frameNumber, bool &soundStarted)
{
    HWND visWindow = nullptr;
    if (!startModule(run, index, module, soundStarted, visWindow)) return RunEnd::failed;
    RunTimes times;
    resetFrameStats(frameStats);
    times.startTicks = now();
    times.cpuStart = processCpu100ns();
    if (!run.options.captureFolder.empty()) times.captureStart = captureCounts();
    const RunEnd end = runFrames(run, index, module, timer, visWindow, frameNumber, times);
    return endModule(run, index, module, timer, end, times);
}

// Runs each module in turn.
void runModules(HostRun &run, HANDLE timer)
{
    long long frameNumber = 0;
    bool soundStarted = false;
    for (size_t i = 0; i < run.modules.size(); ++i) {
        const RunEnd end = runModule(run, run.options.modules[i], *run.modules[i], timer, frameNumber, soundStarted);
        if (end == RunEnd::failed) run.exitCode = 1;
        if (end == RunEnd::stopRequested || end == RunEnd::fileEnded || end == RunEnd::inputEnded ||
            end == RunEnd::failed || run.stopRequested)
            break;
    }
}

// However the run ended: the decoders stop before the run that holds them
// is freed, and the frames queued are written.
void endRun(HostRun &run, bool capturing)
{
    if (!run.options.input) {
        stopQueue(run.sound);
        reportQueued(run.sound);
        // A run fails when nothing played without a failure.
        if (run.sound.goodEntries == 0) run.exitCode = 1;
    }
    std::string error;
    if (capturing && !stopCapture(error) && run.exitCode == 0) {
        reportError(error);
        run.exitCode = 1;
    }
}

}  // namespace

DWORD WINAPI visThreadMain(void *parameter)
{
    HostRun &run = *static_cast<HostRun *>(parameter);
    HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    bool capturing = false;
    // Nothing may escape the thread: the messages and the queue's steps
    // allocate, and memory may run out.
    try {
        QueryPerformanceFrequency(&counterFrequency);
        std::string error;
        if (!timer) {
            reportError("cannot create a waitable timer (error " + std::to_string(GetLastError()) + ")");
            run.exitCode = 1;
        } else if (!run.options.captureFolder.empty() &&
                   !(capturing = startCapture(run.options.captureFolder, error))) {
            reportError(error);
            run.exitCode = 1;
        } else {
            runModules(run, timer);
        }
    } catch (...) {
        reportException("the vis thread");
        run.exitCode = 1;
    }
    try {
        endRun(run, capturing);
    } catch (...) {
        reportException("the end of the run");
        run.exitCode = 1;
    }
    if (timer) CloseHandle(timer);
    return static_cast<DWORD>(run.exitCode);
}
