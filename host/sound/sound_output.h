// The sound device's side of playing a file's ring, platform-free: which
// chunks go to the device and when a slot is free of it, and how far it has
// played. The device itself is a seam, as for recording, so that a test can
// stand in for it; the host's is waveOut.
#pragma once

#include <cstdint>

#include "sound/stream_ring.h"

// How far the device says it has played: a 32-bit count, of frames or of
// bytes, which a long file outlasts.
struct DeviceCount {
    bool inBytes;
    std::uint32_t value;
};

struct OutputDevice {
    void *context;
    // Queues count bytes (the chunk in the ring's slot) to play after those
    // queued before. False when it refused them.
    bool (*play)(void *context, int slot, const unsigned char *bytes, long long count);
    // Whether it is done with what it was last given of slot.
    bool (*slotDone)(void *context, int slot);
    // Its count; false when it cannot say.
    bool (*playedCount)(void *context, DeviceCount &count);
};

struct OutputState {
    long long chunksGiven = 0;  // in order
    bool failed = false;        // it refused a chunk: it gets no more, and the clock paces the rest
    long long counted = 0;      // the device's count, carried past its 32 bits
};

// Hands the device every chunk of ring filled since the last call, the last
// one short once the file has ended in it. Returns false when the device
// refused one in this call.
bool giveChunks(OutputState &output, const StreamRing &ring, const OutputDevice &device);

// Whether the decoder may fill chunk: the device is done with the chunk
// before it in the same slot, or never got it, or has failed.
bool slotFree(const OutputState &output, const OutputDevice &device, long long chunk);

// The frames the device has played, or -1 when it cannot say (or failed):
// its count is taken as the step from the last one, and a count in bytes
// becomes frames only after the step, so neither wraps.
long long framesPlayed(OutputState &output, const OutputDevice &device, int frameBytes);
