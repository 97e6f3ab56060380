// The sound device's side of playing a file's ring, platform-free: which
// chunks go to the device and when a slot is free of it, and how far it has
// played. The device itself is a seam, as for recording, so that a test can
// stand in for it; the host's is waveOut.
#pragma once

#include <cstdint>

#include "sound/stream/stream_ring.h"

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
    long long framesGiven = 0;  // in those chunks
    // It refused a chunk, or stood still with sound in hand: it gets no
    // more, and the clock carries on from where it had got to.
    bool lost = false;
    bool lossSaid = false;
    long long counted = 0;      // the device's count, carried past its 32 bits
    long long played = 0;       // frames, as the device last said
    long long stillSince = -1;  // the clock, in frames, since when its count stands still with sound in hand
    long long clockTookOverAt = -1;
};

// Hands the device every chunk of ring filled since the last call, the last
// one short once the file has ended in it. Returns false when the device
// refused one in this call.
bool giveChunks(OutputState &output, const StreamRing &ring, const OutputDevice &device);

// Whether the decoder may fill chunk: the device is done with the chunk
// before it in the same slot, or never got it, or is lost.
bool slotFree(const OutputState &output, const OutputDevice &device, long long chunk);

// The frames played at clockFrames (frames the clock has counted since
// playback started): the device's count while it plays. Its count is taken
// as the step from the last one, and a count in bytes becomes frames only
// after the step, so neither wraps. A device that refused a chunk, cannot
// say its count, or whose count stands still for stillFrames of the clock
// while it holds sound it has not played, is lost: from then on the clock
// carries on from the frames it had played.
long long framesPlayed(OutputState &output, const OutputDevice &device, int frameBytes, long long clockFrames,
                       long long stillFrames);

// True once, the first time it is asked after the device was lost.
bool lossToSay(OutputState &output);
