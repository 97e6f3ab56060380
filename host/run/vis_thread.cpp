// The vis thread, as the player runs it: init, then a frame every delayMs
// with this thread's messages dispatched in between, then quit once.
#include <cstdio>

#include "capture/frame_capture.h"
#include "run/frame_stats.h"
#include "run/host_run.h"
#include "sound/sound_input.h"

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

long long processCpu100ns()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    const auto value = [](const FILETIME &time) {
        return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

enum class RunEnd { frames, timeUp, fileEnded, quitMessage, stopRequested, renderEnded, captureFailed, inputLost };

// Where the time of one module's run went, for --stats.
struct RunTimes {
    long long renderTicks = 0;
    long long waitTicks = 0;
    long long dispatchTicks = 0;
    long long captureTicks = 0;
    long long startTicks = 0, endTicks = 0;
    long long cpuStart = 0, cpuEnd = 0;
    CaptureCounts captureStart = {}, captureEnd = {};
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
// spinning. Returns false when a WM_QUIT came.
bool waitForFrame(HANDLE timer, DWORD delayMs, RunTimes &times)
{
    for (;;) {
        const long long start = now();
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 && woken != WAIT_OBJECT_0 + 1) Sleep(delayMs);  // a failed wait must not spin
        times.waitTicks += now() - start;
        if (woken != WAIT_OBJECT_0 + 1) return true;
        if (!dispatchMessages(times)) return false;
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

void printStats(int index, const VisModule &module, const RunTimes &times)
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
    std::fflush(stdout);
}

// Runs one module from init to quit. Returns how the run ended; init's
// failure is reported and ends the host's run.
RunEnd runModule(HostRun &run, int index, VisModule &module, HANDLE timer, long long &frameNumber, bool &soundStarted)
{
    const HostOptions &options = run.options;
    module.parentWindow = run.hostWindow;
    module.dllInstance = run.library;
    module.sampleRate = run.sound.sampleRate;
    module.channelCount = run.sound.block.channels;
    if (module.init(&module) != 0) {
        reportError("init of module " + std::to_string(index) + " failed");
        run.exitCode = 1;
        return RunEnd::stopRequested;
    }

    HWND visWindow = findVisWindow(run.hostWindow);
    if (visWindow) {
        // The player's window sits right under the vis, where the vis snaps below it.
        RECT rect;
        GetWindowRect(visWindow, &rect);
        SetWindowPos(run.hostWindow, nullptr, rect.left, rect.bottom, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::string title = std::string("vishost - ") + (module.description ? module.description : "");
    SetWindowTextA(run.hostWindow, title.c_str());

    if (!soundStarted) {
        // The sound begins with the first picture, so a run always shows the program from its start.
        std::string error;
        if (options.input && !startInput(error)) {
            reportError(error);
            run.exitCode = 1;
            module.quit(&module);
            return RunEnd::inputLost;
        }
        if (options.steady) useSteadyClock();
        const std::string note = options.input ? std::string() : startPlayback(run.sound, options.mute);
        if (!note.empty()) std::printf("vishost: %s\n", note.c_str());
        soundStarted = true;
    }

    RunTimes times;
    resetFrameStats(frameStats);
    const long long runTicks = static_cast<long long>(options.seconds * static_cast<double>(counterFrequency.QuadPart));
    times.startTicks = now();
    times.cpuStart = processCpu100ns();
    if (!options.captureFolder.empty()) times.captureStart = captureCounts();
    // A periodic timer keeps frames to a fixed schedule without a call per
    // frame; a frame that comes late is followed by one at once, not by a burst.
    const LONG delayMs = module.delayMs > 0 ? module.delayMs : 1;
    LARGE_INTEGER firstDue;
    firstDue.QuadPart = -10000LL * delayMs;
    SetWaitableTimer(timer, &firstDue, delayMs, nullptr, nullptr, FALSE);
    RunEnd end = RunEnd::frames;
    while (end == RunEnd::frames) {
        if (!dispatchMessages(times)) {
            end = RunEnd::quitMessage;
            break;
        }
        const long long frameStart = now();
        if (run.stopRequested) {
            end = RunEnd::stopRequested;
            break;
        }
        if (runTicks > 0 && frameStart - times.startTicks >= runTicks) {
            end = RunEnd::timeUp;
            break;
        }
        long long frameEnd;
        if (options.input) {
            // The newest sound recorded: nothing lies ahead of it to look at.
            std::string error;
            frameEnd = collectInput(error);
            if (frameEnd < 0) {
                reportError(error);
                run.exitCode = 1;
                end = RunEnd::inputLost;
                break;
            }
        } else {
            const long long position = playPosition();
            if (!run.sound.block.loops && position >= run.sound.block.frameCount) {
                end = RunEnd::fileEnded;
                break;
            }
            frameEnd = newestFrameEnd(position, module.latencyMs, run.sound.sampleRate);
        }
        module.channelCount = fillWaveform(run.sound.block, frameEnd, module.waveform);
        recordFrame(frameStats, microseconds(frameStart));

        const long long renderStart = now();
        const int result = module.render(&module);
        const long long renderEnd = now();
        times.renderTicks += renderEnd - renderStart;

        if (!options.captureFolder.empty()) {
            std::string error;
            if (!visWindow) visWindow = findVisWindow(run.hostWindow);
            const bool captured = visWindow
                                      ? captureFrame(visWindow, frameNumber, error)
                                      : (error = "the plug-in made no window owned by the host window", false);
            times.captureTicks += now() - renderEnd;
            if (!captured) {
                reportError(error);
                run.exitCode = 1;
                end = RunEnd::captureFailed;
            }
        }
        ++frameNumber;
        if (options.steady) advanceSteadyClock(delayMs);
        if (result == 1) {
            std::printf("vishost: module %d ended itself (render returned 1) after %lld frames\n", index,
                        frameStats.frames);
            if (end == RunEnd::frames) end = RunEnd::renderEnded;
        }
        if (end != RunEnd::frames) break;

        if (!waitForFrame(timer, static_cast<DWORD>(delayMs), times)) end = RunEnd::quitMessage;
    }
    times.endTicks = now();
    times.cpuEnd = processCpu100ns();
    if (!options.captureFolder.empty()) times.captureEnd = captureCounts();
    CancelWaitableTimer(timer);

    module.quit(&module);
    // The vis window's destruction posted WM_QUIT to this thread; left in the
    // queue it would end the next module's run before its first frame.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }

    if (options.stats) printStats(index, module, times);
    return end;
}

}  // namespace

DWORD WINAPI visThreadMain(void *parameter)
{
    HostRun &run = *static_cast<HostRun *>(parameter);
    QueryPerformanceFrequency(&counterFrequency);
    HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    std::string error;
    if (!timer) {
        reportError("cannot create a waitable timer");
        run.exitCode = 1;
        return 1;
    }
    if (!run.options.captureFolder.empty() && !startCapture(run.options.captureFolder, error)) {
        reportError(error);
        run.exitCode = 1;
        CloseHandle(timer);
        return 1;
    }
    long long frameNumber = 0;
    bool soundStarted = false;
    for (size_t i = 0; i < run.modules.size(); ++i) {
        const RunEnd end = runModule(run, run.options.modules[i], *run.modules[i], timer, frameNumber, soundStarted);
        if (end == RunEnd::stopRequested || end == RunEnd::fileEnded || end == RunEnd::captureFailed ||
            end == RunEnd::inputLost || run.stopRequested)
            break;
    }
    if (!run.options.captureFolder.empty() && !stopCapture(error) && run.exitCode == 0) {
        reportError(error);
        run.exitCode = 1;
    }
    CloseHandle(timer);
    return static_cast<DWORD>(run.exitCode);
}
