#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <vector>

#include "sound/live_input.h"
#include "sound/sound_input.h"
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

// One live input per program; used by the vis thread once recording starts.
HWAVEIN device = nullptr;
WAVEHDR headers[inputBufferCount];
std::vector<unsigned char> bufferBytes;
InputBuffers buffers;
bool refusalSaid = false;
DWORD lastBufferTick = 0;
InputRing ring;
std::string deviceName;

std::vector<std::string> deviceNames()
{
    std::vector<std::string> names;
    const UINT count = waveInGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        WAVEINCAPSW caps = {};
        names.push_back(waveInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR ? utf8Text(caps.szPname) : "");
    }
    return names;
}

bool openDevice(UINT id, int channels)
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = inputRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (waveInOpen(&device, id, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) return true;
    device = nullptr;
    return false;
}

// The device's side of collecting, through waveIn.
long long recordedFrames(void *, int buffer)
{
    // The device marks a buffer done from a thread of its own.
    WAVEHDR &header = headers[buffer];
    const LONG flags = InterlockedCompareExchange(reinterpret_cast<volatile LONG *>(&header.dwFlags), 0, 0);
    if (!(flags & WHDR_DONE)) return -1;
    return static_cast<long long>(header.dwBytesRecorded) / (ring.block.channels * ring.block.bytesPerSample);
}

const unsigned char *recordedBytes(void *, int buffer)
{
    return reinterpret_cast<const unsigned char *>(headers[buffer].lpData);
}

bool handOver(void *, int buffer)
{
    WAVEHDR &header = headers[buffer];
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    header.dwBytesRecorded = 0;
    return waveInAddBuffer(device, &header, sizeof header) == MMSYSERR_NOERROR;
}

const InputDevice waveInDevice = {nullptr, recordedFrames, recordedBytes, handOver};

}  // namespace

void listInputDevices()
{
    const std::vector<std::string> names = deviceNames();
    if (names.empty()) std::printf("no recording devices\n");
    for (size_t i = 0; i < names.size(); ++i) std::printf("%u: %s\n", static_cast<unsigned>(i), names[i].c_str());
    std::fflush(stdout);
}

bool openInput(const std::string &name, std::string &error)
{
    const std::vector<std::string> names = deviceNames();
    if (names.empty()) {
        error = "no recording device to listen to (under Wine: PulseAudio or PipeWire must be running)";
        return false;
    }
    UINT id = WAVE_MAPPER;
    deviceName = "the default recording device";
    if (!name.empty()) {
        const int index = pickInputDevice(names, name, error);
        if (index < 0) return false;
        id = static_cast<UINT>(index);
        deviceName = "'" + names[static_cast<size_t>(index)] + "'";
    }
    int channels = 2;
    if (!openDevice(id, channels) && !openDevice(id, channels = 1)) {
        error = "cannot open " + deviceName + " for 16-bit sound at 44.1 kHz";
        return false;
    }
    const int frameBytes = channels * 2;
    bufferBytes.assign(static_cast<size_t>(inputBufferCount * bufferFrames * frameBytes), 0);
    for (int i = 0; i < inputBufferCount; ++i) {
        headers[i] = {};
        headers[i].lpData = reinterpret_cast<LPSTR>(&bufferBytes[static_cast<size_t>(i * bufferFrames * frameBytes)]);
        headers[i].dwBufferLength = static_cast<DWORD>(bufferFrames * frameBytes);
        if (waveInPrepareHeader(device, &headers[i], sizeof headers[i]) != MMSYSERR_NOERROR) {
            closeInput();
            error = "cannot prepare the buffers of " + deviceName;
            return false;
        }
    }
    makeInputRing(ring, ringFrames, channels, 2);
    return true;
}

const PcmBlock &inputBlock()
{
    return ring.block;
}

bool startInput(std::string &error)
{
    for (WAVEHDR &header : headers)
        if (waveInAddBuffer(device, &header, sizeof header) != MMSYSERR_NOERROR) {
            error = "cannot hand buffers to " + deviceName;
            return false;
        }
    if (waveInStart(device) != MMSYSERR_NOERROR) {
        error = "cannot start recording from " + deviceName;
        return false;
    }
    makeInputBuffers(buffers);
    lastBufferTick = GetTickCount();
    return true;
}

long long collectInput(std::string &error, std::string &note)
{
    if (collectBuffers(buffers, ring, waveInDevice) > 0) lastBufferTick = GetTickCount();
    if (buffers.refusals > 0 && !refusalSaid) {
        note = deviceName + " would not take a recording buffer back; it is offered again each frame";
        refusalSaid = true;
    }
    const DWORD limit = ring.framesWritten > 0 ? silentDeviceMs : firstBufferMs;
    if (GetTickCount() - lastBufferTick > limit) {
        error = "no sound came from " + deviceName + " for " + (limit == silentDeviceMs ? "a second" : "3 seconds") +
                ": it went away or stopped";
        return -1;
    }
    return ring.framesWritten;
}

void closeInput()
{
    if (!device) return;
    waveInReset(device);
    for (WAVEHDR &header : headers)
        if (header.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(device, &header, sizeof header);
    waveInClose(device);
    device = nullptr;
}
