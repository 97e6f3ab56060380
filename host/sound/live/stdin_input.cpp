#include "sound/live/stdin_input.h"

#include "owners/locks.h"

namespace {

// As much as the vis may look back on, and then some.
constexpr long long ringFrames = 8192;
// The recorder delivers every 10 ms or so; this long without a byte means
// there is no recording now, and the needles should rest rather than hold
// the last sound.
constexpr DWORD staleAfterMs = 200;

DWORD WINAPI readStdin(void *parameter)
{
    StdinInput &in = *static_cast<StdinInput *>(parameter);
    unsigned char bytes[pipeReadBytes];
    for (;;) {
        DWORD count = 0;
        const BOOL read = ReadFile(in.input, bytes, sizeof bytes, &count, nullptr);
        HeldLock held(in.lock);
        if (in.stopping) return 0;
        if (!read || count == 0) {
            in.ended = true;
            SetEvent(in.soundEvent);
            return 0;
        }
        const PipeTake take = takePipeBytes(in.framing, bytes, static_cast<int>(count), in.ring);
        if (take.frames > 0) in.lastFramesTick = GetTickCount();
        if (take.sounding) SetEvent(in.soundEvent);
    }
}

}  // namespace

bool startStdinInput(StdinInput &in, std::string &error)
{
    in.input = GetStdHandle(STD_INPUT_HANDLE);
    if (in.input == nullptr || in.input == INVALID_HANDLE_VALUE) {
        error = "--stdin needs sound on standard input, and there is none";
        return false;
    }
    InitializeCriticalSection(&in.lock);
    makePipeFraming(in.framing);
    makeInputRing(in.ring, ringFrames, pipeChannels, pipeBytesPerSample);
    in.lastFramesTick = GetTickCount();
    in.ended = in.stopping = false;
    in.soundEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    in.thread = in.soundEvent ? CreateThread(nullptr, 0, readStdin, &in, 0, nullptr) : nullptr;
    if (!in.thread) {
        error = "cannot start reading standard input (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

int fillFromStdin(StdinInput &in, signed char waveform[waveformRows][waveformLength])
{
    HeldLock held(in.lock);
    if (GetTickCount() - in.lastFramesTick > staleAfterMs) {
        for (int row = 0; row < waveformRows; ++row)
            for (int i = 0; i < waveformLength; ++i) waveform[row][i] = 0;
        return pipeChannels;
    }
    return fillWaveform(in.ring.block, in.ring.framesWritten, waveform);
}

bool stdinEnded(StdinInput &in)
{
    HeldLock held(in.lock);
    return in.ended;
}

void stopStdinInput(StdinInput &in)
{
    if (!in.thread) return;
    HeldLock held(in.lock);
    in.stopping = true;
}
