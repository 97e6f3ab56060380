#include "sound/device/sound_device.h"

#include "owners/locks.h"

namespace {

DWORD headerFlags(WAVEHDR &header)
{
    // The device sets the flags from a thread of its own.
    return static_cast<DWORD>(InterlockedCompareExchange(reinterpret_cast<volatile LONG *>(&header.dwFlags), 0, 0));
}

// The device's side of playing; called with the device's lock held.
bool playChunk(void *context, int slot, const unsigned char *bytes, long long count)
{
    SoundDevice &device = *static_cast<SoundDevice *>(context);
    WAVEHDR &header = device.chunkHeaders[slot];
    if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device.wave, &header, sizeof header);
    header = {};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<unsigned char *>(bytes));
    header.dwBufferLength = static_cast<DWORD>(count);
    return waveOutPrepareHeader(device.wave, &header, sizeof header) == MMSYSERR_NOERROR &&
           waveOutWrite(device.wave, &header, sizeof header) == MMSYSERR_NOERROR;
}

bool chunkDone(void *context, int slot)
{
    return (headerFlags(static_cast<SoundDevice *>(context)->chunkHeaders[slot]) & WHDR_DONE) != 0;
}

bool deviceCount(void *context, DeviceCount &count)
{
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(static_cast<SoundDevice *>(context)->wave, &time, sizeof time) != MMSYSERR_NOERROR)
        return false;
    if (time.wType == TIME_SAMPLES)
        count = DeviceCount{false, time.u.sample};
    else if (time.wType == TIME_BYTES)
        count = DeviceCount{true, time.u.cb};
    else
        return false;
    return true;
}

OutputDevice waveOutOf(SoundDevice &device)
{
    return OutputDevice{&device, playChunk, chunkDone, deviceCount};
}

}  // namespace

void makeSoundDevice(SoundDevice &device)
{
    InitializeCriticalSection(&device.lock);
    device.lockMade = true;
}

std::string openSoundDevice(SoundDevice &device, const StreamRing &ring, int sampleRate)
{
    if (waveOutGetNumDevs() == 0) return "no sound device: the clock paces the sound";
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(ring.channels);
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = static_cast<WORD>(ring.bytesPerSample * 8);
    format.nBlockAlign = static_cast<WORD>(ring.channels * ring.bytesPerSample);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    HeldLock held(device.lock);
    if (waveOutOpen(&device.wave, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        device.wave = nullptr;
        return "the sound device does not play this format: the clock paces the sound";
    }
    giveChunks(device.output, ring, waveOutOf(device));
    return std::string();
}

void giveChunksToDevice(SoundDevice &device, const StreamRing &ring)
{
    HeldLock held(device.lock);
    if (device.wave) giveChunks(device.output, ring, waveOutOf(device));
}

bool slotFreeOfDevice(SoundDevice &device, long long chunk)
{
    HeldLock held(device.lock);
    return !device.wave || slotFree(device.output, waveOutOf(device), chunk);
}

long long devicePosition(SoundDevice &device, const StreamRing &ring, long long clockFrames, long long stillFrames)
{
    HeldLock held(device.lock);
    if (!device.wave) return clockFrames;
    return framesPlayed(device.output, waveOutOf(device), ring.channels * ring.bytesPerSample, clockFrames,
                        stillFrames);
}

bool deviceLossToSay(SoundDevice &device)
{
    HeldLock held(device.lock);
    return device.wave && lossToSay(device.output);
}

void freeSoundDevice(SoundDevice &device)
{
    if (device.wave) {
        waveOutReset(device.wave);
        for (WAVEHDR &header : device.chunkHeaders)
            if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device.wave, &header, sizeof header);
        waveOutClose(device.wave);
        device.wave = nullptr;
    }
    if (device.lockMade) DeleteCriticalSection(&device.lock);
    device.lockMade = false;
}
