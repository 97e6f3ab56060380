#include "sound/files/sound_stream.h"

#include <cstdint>
#include <new>

#include "sound/files/demo_program.h"
#include "sound/files/system_decoder.h"
#include "sound/files/wav_file.h"
#include "text/exception_text.h"

namespace {

// A decoder that gives nothing for this long is not coming back.
constexpr DWORD decoderSilenceMs = 60000;
// Waits for the threads to end.
constexpr DWORD decoderEndMs = 10000;

std::string decoderWaitFailed(const SoundStream &stream)
{
    const DWORD code = GetLastError();
    return "the wait for the decoder of " + quotedName(stream.entry) + " failed (error " + std::to_string(code) + ")";
}

// Makes the ring for the format the decoder announced.
bool makeRing(void *context, int sampleRate, int channels, int bitsPerSample, std::string &why)
{
    SoundStream &stream = *static_cast<SoundStream *>(context);
    const long long chunkFrames = streamChunkFrames(sampleRate);
    const long long bytes = streamRingBytes(chunkFrames, channels, bitsPerSample / 8);
    if (bytes > static_cast<long long>(SIZE_MAX / 2)) {
        why = "its sound takes more memory than this host has";
        return false;
    }
    try {
        stream.ringBytes.assign(static_cast<size_t>(bytes), 0);
    } catch (const std::bad_alloc &) {
        why = "the host has not the memory to decode it";
        return false;
    }
    makeStreamRing(stream.ring, stream.ringBytes.data(), chunkFrames, channels, bitsPerSample / 8);
    stream.keepBehind = keepBehindFrames(sampleRate);
    stream.sampleRate = sampleRate;
    stream.state.store(StreamState::playing, std::memory_order_release);
    SetEvent(stream.progress);
    return true;
}

// Copies the decoder's frames into the ring as room comes free, one chunk
// at a time so that each goes to the device as soon as it is full.
bool putInRing(void *context, const unsigned char *frames, long long count, std::string &why)
{
    SoundStream &stream = *static_cast<SoundStream *>(context);
    StreamRing &ring = stream.ring;
    // A chunk's worth of playing frees a chunk; a quarter of that is soon enough to look again.
    DWORD pause = static_cast<DWORD>(ring.chunkFrames * 250 / stream.sampleRate);
    if (pause < 1) pause = 1;
    while (count > 0) {
        const long long written = ring.written.load(std::memory_order_relaxed);
        const long long chunk = written / ring.chunkFrames;
        long long limit = writableEndNow(ring);
        if (limit > (chunk + 1) * ring.chunkFrames) limit = (chunk + 1) * ring.chunkFrames;
        if (limit > written && slotFreeOfDevice(stream.device, chunk)) {
            const long long put = putFrames(ring, frames, count, limit);
            frames += put * ring.channels * ring.bytesPerSample;
            count -= put;
            if (ring.written.load(std::memory_order_relaxed) % ring.chunkFrames == 0)
                giveChunksToDevice(stream.device, ring);
            SetEvent(stream.progress);
            continue;
        }
        switch (WaitForSingleObject(stream.stopping, pause)) {
        case WAIT_TIMEOUT:
            break;
        case WAIT_OBJECT_0:
            return false;
        default:
            why = "the decoder's wait for room failed (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    return true;
}

// Runs the decoder the entry needs: the built-in program, WAV read here,
// or the system's decoders for the rest and for WAV of kinds left to them.
bool decode(SoundStream &stream, DecodeTarget &target)
{
    const SoundEntry &entry = stream.entry;
    if (entry.path.empty()) return decodeDemoProgram(entry, target);
    switch (decodeWavFile(entry, target)) {
    case WavDecode::done:
        return true;
    case WavDecode::failed:
        return false;
    case WavDecode::notWav:
        break;
    case WavDecode::notHandled: {
        const std::string why = target.error;
        target.error.clear();
        if (decodeWithSystem(entry, target)) return true;
        if (target.framesGiven == 0)
            target.error = quotedName(entry) + " holds sound this host does not read itself (" + why +
                           "), and the system cannot decode it either";
        return false;
    }
    }
    return decodeWithSystem(entry, target);
}

void finish(SoundStream &stream, bool decoded)
{
    if (stream.state.load() != StreamState::opening) {
        endStream(stream.ring);
        giveChunksToDevice(stream.device, stream.ring);
    }
    stream.state.store(decoded ? StreamState::ended : StreamState::failed, std::memory_order_release);
    SetEvent(stream.progress);
}

DWORD WINAPI decoderMain(void *parameter)
{
    SoundStream &stream = *static_cast<SoundStream *>(parameter);
    DecodeTarget target;
    target.context = &stream;
    target.format = makeRing;
    target.frames = putInRing;
    bool decoded = false;
    try {
        decoded = decode(stream, target);
        stream.error = target.error;
        stream.note = target.note;
    } catch (...) {
        decoded = false;
        const char *what = exceptionText();
        stream.error.clear();
        try {
            stream.error = quotedName(stream.entry) + " cannot be played: " + what;
        } catch (...) {
        }
    }
    // Left empty only when memory ran out for the message itself.
    if (!decoded && stream.error.empty()) stream.error = "the host ran out of memory decoding a file";
    finish(stream, decoded);
    return 0;
}

}  // namespace

bool startStream(SoundStream &stream, const SoundEntry &entry, std::string &error)
{
    stream.entry = entry;
    makeSoundDevice(stream.device);
    stream.stopping = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stream.progress = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (stream.stopping && stream.progress)
        stream.thread = CreateThread(nullptr, 0, decoderMain, &stream, 0, nullptr);
    if (!stream.thread) {
        error = "cannot start a decoder thread for " + quotedName(stream.entry);
        return false;
    }
    // The vis comes first when both want the processor.
    SetThreadPriority(stream.thread, THREAD_PRIORITY_BELOW_NORMAL);
    return true;
}

std::string startPlayback(SoundStream &stream, Pacing pacing)
{
    startPlayClock(stream.clock, pacing, stream.sampleRate);
    if (pacing != Pacing::device) return std::string();
    const std::string note = openSoundDevice(stream.device, stream.ring, stream.sampleRate);
    if (!note.empty()) stream.clock.pacing = Pacing::clock;
    return note;
}

long long streamPosition(SoundStream &stream)
{
    return playPosition(stream.clock, stream.device, stream.ring);
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
            error = "the decoder of " + quotedName(stream.entry) + " gave nothing for a minute";
            return false;
        }
        const DWORD woken = WaitForSingleObject(stream.progress, 100);
        if (woken == WAIT_TIMEOUT) {
            waited += 100;
        } else if (woken == WAIT_OBJECT_0) {
            waited = 0;
        } else {
            error = decoderWaitFailed(stream);
            return false;
        }
    }
}

StreamRead readFrame(SoundStream &stream, long long position, long long frameEnd,
                     signed char waveform[waveformRows][waveformLength], std::string &error)
{
    keepFramesFrom(stream.ring, position - stream.keepBehind);
    while (stream.clock.pacing == Pacing::steady && !streamHasFrames(stream.ring, frameEnd) &&
           stream.state.load(std::memory_order_acquire) == StreamState::playing) {
        const DWORD woken = WaitForSingleObject(stream.progress, 1000);
        if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT) {
            error = decoderWaitFailed(stream);
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
            error = "the decoder of " + quotedName(stream.entry) + " did not end";
            // Its ring and events stay: it may still use them.
            return false;
        }
        CloseHandle(stream.thread);
        stream.thread = nullptr;
    }
    freeSoundDevice(stream.device);
    if (stream.stopping) CloseHandle(stream.stopping);
    if (stream.progress) CloseHandle(stream.progress);
    stream.stopping = stream.progress = nullptr;
    std::vector<unsigned char>().swap(stream.ringBytes);
    return true;
}
