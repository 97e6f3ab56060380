#include "sound/live/recording_device.h"

#include <cstdio>

#include "text/wide_text.h"

namespace {

// 10 ms a buffer: the newest sound the vis sees is at most that old. Enough
// of them that a frame late by 100 ms still finds a buffer to record into.
constexpr int bufferFrames = inputRate / 100;
constexpr long long ringFrames = 8192;
// A device that disappears just stops delivering; this long without a
// buffer means it has. The first may take longer: a sound server whose
// output is idle starts with long blocks.
constexpr DWORD silentDeviceMs = 1000;
constexpr DWORD firstBufferMs = 3000;

std::vector<std::string> recordingDeviceNames()
{
    std::vector<std::string> names;
    const UINT count = waveInGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        WAVEINCAPSW caps = {};
        names.push_back(waveInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR ? utf8Text(caps.szPname) : "");
    }
    return names;
}

bool openDevice(RecordingDevice &device, UINT id, int channels)
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = inputRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (waveInOpen(&device.wave, id, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) return true;
    device.wave = nullptr;
    return false;
}

// The device's side of collecting, through waveIn.
long long recordedFrames(void *context, int buffer)
{
    RecordingDevice &device = *static_cast<RecordingDevice *>(context);
    // The device marks a buffer done from a thread of its own.
    WAVEHDR &header = device.headers[buffer];
    const LONG flags = InterlockedCompareExchange(reinterpret_cast<volatile LONG *>(&header.dwFlags), 0, 0);
    if (!(flags & WHDR_DONE)) return -1;
    return static_cast<long long>(header.dwBytesRecorded) / (device.ring.block.channels * device.ring.block.bytesPerSample);
}

const unsigned char *recordedBytes(void *context, int buffer)
{
    return reinterpret_cast<const unsigned char *>(static_cast<RecordingDevice *>(context)->headers[buffer].lpData);
}

bool handOver(void *context, int buffer)
{
    RecordingDevice &device = *static_cast<RecordingDevice *>(context);
    WAVEHDR &header = device.headers[buffer];
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    header.dwBytesRecorded = 0;
    return waveInAddBuffer(device.wave, &header, sizeof header) == MMSYSERR_NOERROR;
}

}  // namespace

void listInputDevices()
{
    const std::vector<std::string> names = recordingDeviceNames();
    if (names.empty()) std::printf("no recording devices\n");
    for (size_t i = 0; i < names.size(); ++i) std::printf("%u: %s\n", static_cast<unsigned>(i), names[i].c_str());
    std::fflush(stdout);
}

bool openInput(RecordingDevice &device, const std::string &name, std::string &error)
{
    const std::vector<std::string> names = recordingDeviceNames();
    if (names.empty()) {
        error = "no recording device to listen to (under Wine: PulseAudio or PipeWire must be running)";
        return false;
    }
    UINT id = WAVE_MAPPER;
    device.name = "the default recording device";
    if (!name.empty()) {
        const int index = pickInputDevice(names, name, error);
        if (index < 0) return false;
        id = static_cast<UINT>(index);
        device.name = "'" + names[static_cast<size_t>(index)] + "'";
    }
    int channels = 2;
    if (!openDevice(device, id, channels) && !openDevice(device, id, channels = 1)) {
        error = "cannot open " + device.name + " for 16-bit sound at 44.1 kHz";
        return false;
    }
    const int frameBytes = channels * 2;
    device.bufferBytes.assign(static_cast<size_t>(inputBufferCount * bufferFrames * frameBytes), 0);
    for (int i = 0; i < inputBufferCount; ++i) {
        device.headers[i] = {};
        device.headers[i].lpData = reinterpret_cast<LPSTR>(&device.bufferBytes[static_cast<size_t>(i * bufferFrames * frameBytes)]);
        device.headers[i].dwBufferLength = static_cast<DWORD>(bufferFrames * frameBytes);
        if (waveInPrepareHeader(device.wave, &device.headers[i], sizeof device.headers[i]) != MMSYSERR_NOERROR) {
            closeInput(device);
            error = "cannot prepare the buffers of " + device.name;
            return false;
        }
    }
    makeInputRing(device.ring, ringFrames, channels, 2);
    return true;
}

bool startInput(RecordingDevice &device, std::string &error)
{
    for (WAVEHDR &header : device.headers)
        if (waveInAddBuffer(device.wave, &header, sizeof header) != MMSYSERR_NOERROR) {
            error = "cannot hand buffers to " + device.name;
            return false;
        }
    if (waveInStart(device.wave) != MMSYSERR_NOERROR) {
        error = "cannot start recording from " + device.name;
        return false;
    }
    makeInputBuffers(device.buffers);
    device.lastBufferTick = GetTickCount();
    return true;
}

long long collectInput(RecordingDevice &device, std::string &error, std::string &note)
{
    const InputDevice waveIn = {&device, recordedFrames, recordedBytes, handOver};
    if (collectBuffers(device.buffers, device.ring, waveIn) > 0) device.lastBufferTick = GetTickCount();
    if (device.buffers.refusals > 0 && !device.refusalSaid) {
        note = device.name + " would not take a recording buffer back; it is offered again each frame";
        device.refusalSaid = true;
    }
    const DWORD limit = device.ring.framesWritten > 0 ? silentDeviceMs : firstBufferMs;
    if (GetTickCount() - device.lastBufferTick > limit) {
        error = "no sound came from " + device.name + " for " + (limit == silentDeviceMs ? "a second" : "3 seconds") +
                ": it went away or stopped";
        return -1;
    }
    return device.ring.framesWritten;
}

void closeInput(RecordingDevice &device)
{
    if (!device.wave) return;
    waveInReset(device.wave);
    for (WAVEHDR &header : device.headers)
        if (header.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(device.wave, &header, sizeof header);
    waveInClose(device.wave);
    device.wave = nullptr;
}
