// Live input's platform-free parts: the ring the recorded sound runs
// through on its way to the vis, collecting the buffers the device has
// filled, and picking a recording device by name.
#pragma once

#include <string>
#include <vector>

#include "sound/stream/sample_window.h"

// The newest recorded frames, oldest overwritten first. Read through
// block, which loops over the ring: with fillWaveform and the count of
// frames written as the end, the vis gets the newest frames in order.
struct InputRing {
    InputRing() = default;
    // block points into bytes.
    InputRing(const InputRing &) = delete;
    InputRing &operator=(const InputRing &) = delete;

    std::vector<unsigned char> bytes;
    PcmBlock block;
    long long framesWritten;
};

void makeInputRing(InputRing &ring, long long frames, int channels, int bytesPerSample);

// Appends whole frames, wrapping at the ring's end.
void appendToRing(InputRing &ring, const unsigned char *frames, long long count);

// The recording buffers and the order they were handed to the device in,
// which is the order it fills them in. The device marks each done from a
// thread of its own, and may hand one back late or refuse to take one
// again; neither may hold up the others.
constexpr int inputBufferCount = 16;
struct InputBuffers {
    long long handedAt[inputBufferCount];  // the how-manieth buffer handed over; -1: not with the device
    long long handedOut;                    // buffers handed to the device so far
    long long refusals;                     // times the device refused one back
};

// What collecting needs of the device: a seam, so that a test can stand in
// for it.
struct InputDevice {
    void *context;
    // The frames in the buffer when the device has marked it done, else -1.
    long long (*recordedFrames)(void *context, int buffer);
    const unsigned char *(*bufferBytes)(void *context, int buffer);
    // Hands the buffer to the device to be filled again; false when it refused.
    bool (*handOver)(void *context, int buffer);
};

// All buffers start with the device, handed over in index order.
void makeInputBuffers(InputBuffers &buffers);

// Moves the frames of every buffer the device has marked done into the
// ring, in the order the buffers were handed over, and hands each back;
// also hands back those it refused before. Returns how many buffers came
// back done.
int collectBuffers(InputBuffers &buffers, InputRing &ring, const InputDevice &device);

// The recording device a user means by name: the one named so exactly
// (ignoring case), else the only one whose name contains it. The platform
// gives at most deviceNameLimit characters of a name, so a longer name
// given in full is matched on that many. Returns the index in names, or -1
// with error set (no device, or several that contain it).
constexpr size_t deviceNameLimit = 31;
int pickInputDevice(const std::vector<std::string> &names, const std::string &wanted, std::string &error);
