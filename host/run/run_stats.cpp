#include "run/run_stats.h"

#include <cstdio>

#include "run/process_probes.h"

void printStats(const VisRun &run, const ModuleRun &current)
{
    const VisModule &module = current.module;
    const RunTimes &times = current.times;
    const FrameStats &stats = run.frameStats;
    const long long frames = stats.frames;
    const double seconds = static_cast<double>(counterMicroseconds(times.endTicks - times.startTicks)) / 1e6;
    std::printf("module %d (%s): %lld frames in %.2f s\n", current.index,
                module.description ? module.description : "", frames, seconds);
    std::printf("  frame rate %.2f fps (the module asks for %.2f)\n", framesPerSecond(stats),
                module.delayMs > 0 ? 1000.0 / module.delayMs : 0.0);
    std::printf("  frame interval median %.2f ms, 99th percentile %.2f ms\n",
                static_cast<double>(intervalPercentile(stats, 50)) / 1000.0,
                static_cast<double>(intervalPercentile(stats, 99)) / 1000.0);
    if (frames > 0) {
        const long long whole = times.endTicks - times.startTicks;
        const long long hostOwn = whole - times.renderTicks - times.waitTicks - times.dispatchTicks - times.captureTicks;
        const auto perFrameMs = [frames](long long ticks) {
            return static_cast<double>(counterMicroseconds(ticks)) / 1000.0 / static_cast<double>(frames);
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
    if (!run.host.options.input)
        std::printf("  sound: %lld frames short of decoded sound (%lld samples), the decoder having fallen behind\n",
                    times.shortFrames, times.missingSamples);
    if (times.firstFrameHere)
        std::printf("  first frame %.1f ms after the host started\n",
                    static_cast<double>(run.firstFrameMicroseconds) / 1000.0);
    std::printf("  peak memory (working set) %.1f MB\n", peakWorkingSetMegabytes());
    std::fflush(stdout);
}
