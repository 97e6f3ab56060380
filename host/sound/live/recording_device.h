// Live input: a recording device through waveIn. Small buffers, handed
// back as soon as the vis thread has moved their sound into the ring, keep
// the vis within a few tens of milliseconds of the sound.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "sound/live/live_input.h"

// One recording device, used by the vis thread once recording starts.
struct RecordingDevice {
    RecordingDevice() = default;
    // The device fills the buffers where they are.
    RecordingDevice(const RecordingDevice &) = delete;
    RecordingDevice &operator=(const RecordingDevice &) = delete;

    HWAVEIN wave = nullptr;
    WAVEHDR headers[inputBufferCount] = {};
    std::vector<unsigned char> bufferBytes;
    InputBuffers buffers = {};
    bool refusalSaid = false;
    DWORD lastBufferTick = 0;
    InputRing ring;
    std::string name;  // what messages call it
};

// Prints the recording devices, one a line, or that there are none.
void listInputDevices();

// Opens the recording device whose name contains name (the default device
// when it is empty) for 16-bit sound at 44.1 kHz, stereo or else mono.
// Returns false with error set, one line for the user.
bool openInput(RecordingDevice &device, const std::string &name, std::string &error);

constexpr int inputRate = 44100;

// Starts recording; from then on the vis thread calls collectInput.
bool startInput(RecordingDevice &device, std::string &error);

// Moves what was recorded since the last call into device.ring, whose
// block fillWaveform reads, and hands the
// buffers back to the device. Returns the frames recorded so far, or -1
// with error set when no buffer at all has come for a second: the device
// went away or stopped. A buffer the device will not take back is said in
// note, once.
long long collectInput(RecordingDevice &device, std::string &error, std::string &note);

void closeInput(RecordingDevice &device);
