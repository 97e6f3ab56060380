#include "sound/sound_stream.h"

#include <cstdint>
#include <new>

#include "owners/locks.h"
#include "sound/decoders.h"
#include "sound/demo_program.h"
#include "sound/sound_device.h"
#include "text/exception_text.h"

namespace {

// A decoder that gives nothing for this long is not coming back.
constexpr DWORD decoderSilenceMs = 60000;
// Waits for the threads to end.
constexpr DWORD decoderEndMs = 10000;

bool decode(SoundStream &stream)
{
    if (stream.entry.path.empty()) return decodeDemo(stream);
    switch (decodeWavFile(stream)) {
    case WavDecode::done:
        return true;
    case WavDecode::failed:
        return false;
    case WavDecode::notWav:
        break;
    case WavDecode::notHandled: {
        const std::string why = stream.error;
        stream.error.clear();
        if (decodeWithSystem(stream)) return true;
        if (stream.ring.written.load() == 0)
            stream.error = quotedName(stream) + " holds sound this host does not read itself (" + why +
                           "), and the system cannot decode it either";
        return false;
    }
    }
    return decodeWithSystem(stream);
}

void finish(SoundStream &stream, bool decoded)
{
    if (stream.state.load() != StreamState::opening) {
        endStream(stream.ring);
        HeldLock held(stream.deviceLock);
        giveChunksToDevice(stream);
    }
    stream.state.store(decoded ? StreamState::ended : StreamState::failed, std::memory_order_release);
    SetEvent(stream.progress);
}

DWORD WINAPI decoderMain(void *parameter)
{
    SoundStream &stream = *static_cast<SoundStream *>(parameter);
    bool decoded = false;
    try {
        decoded = decode(stream);
    } catch (...) {
        decoded = false;
        const char *what = exceptionText();
        stream.error.clear();
        try {
            stream.error = quotedName(stream) + " cannot be played: " + what;
        } catch (...) {
        }
    }
    // Left empty only when memory ran out for the message itself.
    if (!decoded && stream.error.empty()) stream.error = "the host ran out of memory decoding a file";
    finish(stream, decoded);
    return 0;
}

}  // namespace

std::string quotedName(const SoundStream &stream)
{
    return "'" + stream.entry.name + "'";
}

bool startStream(SoundStream &stream, const SoundEntry &entry, std::string &error)
{
    stream.entry = entry;
    InitializeCriticalSection(&stream.deviceLock);
    stream.lockMade = true;
    stream.stopping = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stream.progress = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (stream.stopping && stream.progress)
        stream.thread = CreateThread(nullptr, 0, decoderMain, &stream, 0, nullptr);
    if (!stream.thread) {
        error = "cannot start a decoder thread for " + quotedName(stream);
        return false;
    }
    // The vis comes first when both want the processor.
    SetThreadPriority(stream.thread, THREAD_PRIORITY_BELOW_NORMAL);
    return true;
}

bool streamFormat(SoundStream &stream, int sampleRate, int channels, int bitsPerSample)
{
    const long long chunkFrames = streamChunkFrames(sampleRate);
    const long long bytes = streamRingBytes(chunkFrames, channels, bitsPerSample / 8);
    if (bytes > static_cast<long long>(SIZE_MAX / 2)) {
        stream.error = "its sound takes more memory than this host has";
        return false;
    }
    try {
        stream.ringBytes.assign(static_cast<size_t>(bytes), 0);
    } catch (const std::bad_alloc &) {
        stream.error = "the host has not the memory to decode it";
        return false;
    }
    makeStreamRing(stream.ring, stream.ringBytes.data(), chunkFrames, channels, bitsPerSample / 8);
    stream.keepBehind = keepBehindFrames(sampleRate);
    stream.sampleRate = sampleRate;
    stream.channels = channels;
    stream.bitsPerSample = bitsPerSample;
    stream.state.store(StreamState::playing, std::memory_order_release);
    SetEvent(stream.progress);
    return true;
}

bool streamFrames(SoundStream &stream, const unsigned char *frames, long long count)
{
    StreamRing &ring = stream.ring;
    // A chunk's worth of playing frees a chunk; a quarter of that is soon enough to look again.
    DWORD pause = static_cast<DWORD>(ring.chunkFrames * 250 / stream.sampleRate);
    if (pause < 1) pause = 1;
    while (count > 0) {
        const long long written = ring.written.load(std::memory_order_relaxed);
        const long long chunk = written / ring.chunkFrames;
        // One chunk at a time, so that each goes to the device as soon as it is full.
        long long limit = writableEndNow(ring);
        if (limit > (chunk + 1) * ring.chunkFrames) limit = (chunk + 1) * ring.chunkFrames;
        if (limit > written && slotFreeOfDevice(stream, chunk)) {
            const long long put = putFrames(ring, frames, count, limit);
            frames += put * ring.channels * ring.bytesPerSample;
            count -= put;
            if (ring.written.load(std::memory_order_relaxed) % ring.chunkFrames == 0) {
                HeldLock held(stream.deviceLock);
                giveChunksToDevice(stream);
            }
            SetEvent(stream.progress);
            continue;
        }
        switch (WaitForSingleObject(stream.stopping, pause)) {
        case WAIT_TIMEOUT:
            break;
        case WAIT_OBJECT_0:
            return false;
        default:
            stream.error = "the decoder's wait for room failed (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    return true;
}

bool decodeDemo(SoundStream &stream)
{
    std::vector<unsigned char> program(static_cast<size_t>(demoFrameCount * demoChannels * demoBytesPerSample));
    writeDemoProgram(program.data());
    if (!streamFormat(stream, demoSampleRate, demoChannels, demoBytesPerSample * 8)) return false;
    // The program repeats until the run ends.
    while (streamFrames(stream, program.data(), demoFrameCount)) {
    }
    return stream.error.empty();
}

bool waitUntilReady(SoundStream &stream, std::string &error)
{
    DWORD waited = 0;
    for (;;) {
        const StreamState state = stream.state.load(std::memory_order_acquire);
        if (state == StreamState::failed) {
            // Written before the state was: the decoder has done with it.
            error = stream.error;
            return false;
        }
        if (state == StreamState::ended) return true;
        if (state == StreamState::playing &&
            stream.ring.written.load(std::memory_order_acquire) >= stream.ring.chunkFrames)
            return true;
        if (waited >= decoderSilenceMs) {
            error = "the decoder of " + quotedName(stream) + " gave nothing for a minute";
            return false;
        }
        const DWORD woken = WaitForSingleObject(stream.progress, 100);
        if (woken == WAIT_TIMEOUT) {
            waited += 100;
        } else if (woken == WAIT_OBJECT_0) {
            waited = 0;
        } else {
            error = "the wait for the decoder of " + quotedName(stream) + " failed (error " +
                    std::to_string(GetLastError()) + ")";
            return false;
        }
    }
}

StreamRead readFrame(SoundStream &stream, long long position, long long frameEnd,
                     signed char waveform[waveformRows][waveformLength], std::string &error)
{
    keepFramesFrom(stream.ring, position - stream.keepBehind);
    while (stream.clock == PlayClock::steady && !streamHasFrames(stream.ring, frameEnd) &&
           stream.state.load(std::memory_order_acquire) == StreamState::playing) {
        const DWORD woken = WaitForSingleObject(stream.progress, 1000);
        if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT) {
            error = "the wait for the decoder of " + quotedName(stream) + " failed (error " +
                    std::to_string(GetLastError()) + ")";
            return StreamRead{-1, 0};
        }
    }
    return readStream(stream.ring, frameEnd, waveform);
}

bool decoderFinished(const SoundStream &stream)
{
    const StreamState state = stream.state.load(std::memory_order_acquire);
    return state == StreamState::ended || state == StreamState::failed;
}

bool playedToEnd(const SoundStream &stream, long long position)
{
    return decoderFinished(stream) && ringPlayedOut(stream.ring, position);
}

bool stopStream(SoundStream &stream, std::string &error)
{
    if (stream.thread) {
        SetEvent(stream.stopping);
        if (WaitForSingleObject(stream.thread, decoderEndMs) != WAIT_OBJECT_0) {
            error = "the decoder of " + quotedName(stream) + " did not end";
            // Its ring and events stay: it may still use them.
            return false;
        }
        CloseHandle(stream.thread);
        stream.thread = nullptr;
    }
    closeDevice(stream);
    if (stream.stopping) CloseHandle(stream.stopping);
    if (stream.progress) CloseHandle(stream.progress);
    stream.stopping = stream.progress = nullptr;
    if (stream.lockMade) DeleteCriticalSection(&stream.deviceLock);
    stream.lockMade = false;
    std::vector<unsigned char>().swap(stream.ringBytes);
    return true;
}
