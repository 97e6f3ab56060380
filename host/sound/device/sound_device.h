// The sound device a file's ring plays on, through waveOut: the seam of
// sound_output filled in. The decoder thread hands it chunks as it fills
// them and the vis thread opens it and reads its count, so everything here
// takes the device's lock.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <string>

#include "sound/device/sound_output.h"
#include "sound/stream/stream_ring.h"

struct SoundDevice {
    SoundDevice() = default;
    // The device reads the headers where they are.
    SoundDevice(const SoundDevice &) = delete;
    SoundDevice &operator=(const SoundDevice &) = delete;

    CRITICAL_SECTION lock;
    bool lockMade = false;
    HWAVEOUT wave = nullptr;  // null: no device takes the sound
    WAVEHDR chunkHeaders[streamChunks] = {};
    OutputState output;
};

void makeSoundDevice(SoundDevice &device);

// Opens the device for the ring's format and hands it the chunks filled so
// far, none of which has been written over. Returns why it did not open, a
// note for the user (the clock then paces the sound), else empty.
std::string openSoundDevice(SoundDevice &device, const StreamRing &ring, int sampleRate);

// Hands the device every chunk of ring filled since the last call; once it
// refuses one it gets no more.
void giveChunksToDevice(SoundDevice &device, const StreamRing &ring);

// Whether the decoder may fill chunk: no device, or it is done with the
// chunk that slot held before.
bool slotFreeOfDevice(SoundDevice &device, long long chunk);

// The frames played when the clock has counted clockFrames: the device's
// count while it plays, the clock's from where it stopped once it is lost
// (it stood still for stillFrames with sound in hand, or refused a chunk),
// and the clock's alone when there is no device.
long long devicePosition(SoundDevice &device, const StreamRing &ring, long long clockFrames, long long stillFrames);

// True once, the first time it is asked after the device was lost part way.
bool deviceLossToSay(SoundDevice &device);

// Stops and closes the device, once the decoder has ended, and gives back the lock.
void freeSoundDevice(SoundDevice &device);
