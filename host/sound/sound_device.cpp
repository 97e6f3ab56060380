// The sound device and the play position: the waveOut side of the
// device's seam (sound_output), and the clocks that pace the sound when no
// device takes it or the device is lost.
#include "sound/sound_device.h"

#include "owners/locks.h"
#include "sound/decoders.h"
#include "sound/sample_window.h"

namespace {

DWORD headerFlags(WAVEHDR &header)
{
    // The device sets the flags from a thread of its own.
    return static_cast<DWORD>(InterlockedCompareExchange(reinterpret_cast<volatile LONG *>(&header.dwFlags), 0, 0));
}

int frameBytes(const SoundStream &stream)
{
    return stream.ring.channels * stream.ring.bytesPerSample;
}

// The device's side of playing, through waveOut; called with the device's
// lock held.
bool playChunk(void *context, int slot, const unsigned char *bytes, long long count)
{
    SoundStream &stream = *static_cast<SoundStream *>(context);
    WAVEHDR &header = stream.chunkHeaders[slot];
    if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(stream.device, &header, sizeof header);
    header = {};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<unsigned char *>(bytes));
    header.dwBufferLength = static_cast<DWORD>(count);
    return waveOutPrepareHeader(stream.device, &header, sizeof header) == MMSYSERR_NOERROR &&
           waveOutWrite(stream.device, &header, sizeof header) == MMSYSERR_NOERROR;
}

bool chunkDone(void *context, int slot)
{
    return (headerFlags(static_cast<SoundStream *>(context)->chunkHeaders[slot]) & WHDR_DONE) != 0;
}

bool deviceCount(void *context, DeviceCount &count)
{
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(static_cast<SoundStream *>(context)->device, &time, sizeof time) != MMSYSERR_NOERROR)
        return false;
    if (time.wType == TIME_SAMPLES)
        count = DeviceCount{false, time.u.sample};
    else if (time.wType == TIME_BYTES)
        count = DeviceCount{true, time.u.cb};
    else
        return false;
    return true;
}

OutputDevice waveOutOf(SoundStream &stream)
{
    return OutputDevice{&stream, playChunk, chunkDone, deviceCount};
}

}  // namespace

// Hands the device every chunk filled since the last call. Called with the
// device's lock held.
void giveChunksToDevice(SoundStream &stream)
{
    if (stream.device) giveChunks(stream.output, stream.ring, waveOutOf(stream));
}

bool slotFreeOfDevice(SoundStream &stream, long long chunk)
{
    HeldLock held(stream.deviceLock);
    return !stream.device || slotFree(stream.output, waveOutOf(stream), chunk);
}

void closeDevice(SoundStream &stream)
{
    if (!stream.device) return;
    waveOutReset(stream.device);
    for (WAVEHDR &header : stream.chunkHeaders)
        if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(stream.device, &header, sizeof header);
    waveOutClose(stream.device);
    stream.device = nullptr;
}

std::string startPlayback(SoundStream &stream, PlayClock clock)
{
    stream.clock = clock;
    QueryPerformanceFrequency(&stream.clockFrequency);
    QueryPerformanceCounter(&stream.clockStart);
    if (clock != PlayClock::device) return std::string();
    if (waveOutGetNumDevs() == 0) {
        stream.clock = PlayClock::clock;
        return "no sound device: the clock paces the sound";
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(stream.channels);
    format.nSamplesPerSec = static_cast<DWORD>(stream.sampleRate);
    format.wBitsPerSample = static_cast<WORD>(stream.bitsPerSample);
    format.nBlockAlign = static_cast<WORD>(frameBytes(stream));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    HeldLock held(stream.deviceLock);
    if (waveOutOpen(&stream.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        stream.device = nullptr;
        stream.clock = PlayClock::clock;
        return "the sound device does not play this format: the clock paces the sound";
    }
    // The decoder has not yet written over any chunk: nothing has played.
    giveChunksToDevice(stream);
    return std::string();
}

void advanceSteadyClock(SoundStream &stream, int milliseconds)
{
    stream.steadyMilliseconds += milliseconds;
}

long long playPosition(SoundStream &stream)
{
    if (stream.clock == PlayClock::steady) return framesInTicks(stream.steadyMilliseconds, 1000, stream.sampleRate);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const long long clockFrames =
        framesInTicks(now.QuadPart - stream.clockStart.QuadPart, stream.clockFrequency.QuadPart, stream.sampleRate);
    HeldLock held(stream.deviceLock);
    if (!stream.device) return clockFrames;
    // A second: far longer than a working device's count stands still
    // while it plays, short enough that the picture's pause is brief.
    return framesPlayed(stream.output, waveOutOf(stream), frameBytes(stream), clockFrames, stream.sampleRate);
}

std::string deviceLossNote(SoundStream &stream)
{
    HeldLock held(stream.deviceLock);
    if (!stream.device || !lossToSay(stream.output)) return std::string();
    return "the sound device stopped playing " + quotedName(stream) +
           " part way through: the clock paces the rest, unheard";
}
