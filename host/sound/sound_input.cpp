#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "sound/live_input.h"
#include "sound/sound_input.h"

namespace {

constexpr int inputRate = 44100;
// 10 ms a buffer: the newest sound the vis sees is at most that old. Enough
// of them that a frame late by 100 ms still finds a buffer to record into.
constexpr int bufferFrames = inputRate / 100;
constexpr int bufferCount = 16;
constexpr long long ringFrames = 8192;
// A device that disappears just stops delivering; this long without a
// buffer means it has. The first may take longer: a sound server whose
// output is idle starts with long blocks.
constexpr DWORD silentDeviceMs = 1000;
constexpr DWORD firstBufferMs = 3000;

// One live input per program; used by the vis thread once recording starts.
HWAVEIN device = nullptr;
WAVEHDR headers[bufferCount];
std::vector<unsigned char> bufferBytes;
int nextHeader = 0;
DWORD lastBufferTick = 0;
InputRing ring;
std::string deviceName;

std::vector<std::string> deviceNames()
{
    std::vector<std::string> names;
    const UINT count = waveInGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        WAVEINCAPSA caps = {};
        names.push_back(waveInGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR ? caps.szPname : "");
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

}  // namespace

void listInputDevices()
{
    const std::vector<std::string> names = deviceNames();
    if (names.empty()) std::printf("no recording devices\n");
    for (size_t i = 0; i < names.size(); ++i) std::printf("%u: %s\n", static_cast<unsigned>(i), names[i].c_str());
    std::fflush(stdout);
}

bool openInput(const std::string &name, SoundSource &source, std::string &error)
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
    bufferBytes.assign(static_cast<size_t>(bufferCount * bufferFrames * frameBytes), 0);
    for (int i = 0; i < bufferCount; ++i) {
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
    source.bytes.clear();
    source.block = ring.block;
    source.sampleRate = inputRate;
    source.bitsPerSample = 16;
    return true;
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
    nextHeader = 0;
    lastBufferTick = GetTickCount();
    return true;
}

long long collectInput(std::string &error)
{
    // The device fills the buffers in the order they were handed to it, and
    // marks each done from a thread of its own.
    const long long frameBytes = ring.block.channels * ring.block.bytesPerSample;
    while (static_cast<volatile DWORD &>(headers[nextHeader].dwFlags) & WHDR_DONE) {
        std::atomic_thread_fence(std::memory_order_acquire);
        WAVEHDR &header = headers[nextHeader];
        appendToRing(ring, reinterpret_cast<const unsigned char *>(header.lpData),
                     static_cast<long long>(header.dwBytesRecorded) / frameBytes);
        header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        header.dwBytesRecorded = 0;
        waveInAddBuffer(device, &header, sizeof header);
        nextHeader = (nextHeader + 1) % bufferCount;
        lastBufferTick = GetTickCount();
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
