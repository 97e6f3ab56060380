#include "sound/device/sound_output.h"

namespace {

// Chunks the decoder has filled, the last one short when the file ended in it.
long long readyChunks(const StreamRing &ring, long long written)
{
    const bool ended = ring.total.load(std::memory_order_acquire) >= 0;
    return written / ring.chunkFrames + (ended && written % ring.chunkFrames ? 1 : 0);
}

}  // namespace

bool giveChunks(OutputState &output, const StreamRing &ring, const OutputDevice &device)
{
    if (output.lost) return true;
    const long long written = ring.written.load(std::memory_order_acquire);
    const long long frameBytes = ring.channels * ring.bytesPerSample;
    const long long chunkBytes = ring.chunkFrames * frameBytes;
    for (const long long ready = readyChunks(ring, written); output.chunksGiven < ready; ++output.chunksGiven) {
        const long long chunk = output.chunksGiven;
        const long long frames = written - chunk * ring.chunkFrames;
        const int slot = static_cast<int>(chunk % streamChunks);
        const long long bytes = (frames < ring.chunkFrames ? frames : ring.chunkFrames) * frameBytes;
        if (!device.play(device.context, slot, ring.bytes + slot * chunkBytes, bytes)) {
            output.lost = true;
            return false;
        }
        output.framesGiven += bytes / frameBytes;
    }
    return true;
}

bool slotFree(const OutputState &output, const OutputDevice &device, long long chunk)
{
    const long long previous = chunk - streamChunks;
    if (output.lost || previous < 0 || previous >= output.chunksGiven) return true;
    return device.slotDone(device.context, static_cast<int>(chunk % streamChunks));
}

long long framesPlayed(OutputState &output, const OutputDevice &device, int frameBytes, long long clockFrames,
                       long long stillFrames)
{
    if (output.clockTookOverAt < 0) {
        DeviceCount count = {};
        // Asked even of a device that refused a chunk: it may have played
        // on up to it, and the clock takes over from there.
        const bool counts = device.playedCount(device.context, count);
        if (counts) {
            const long long before = output.counted;
            output.counted += static_cast<std::uint32_t>(count.value - static_cast<std::uint32_t>(output.counted));
            output.played = count.inBytes ? output.counted / frameBytes : output.counted;
            // Having played all it was given, it waits for the decoder: its
            // count stands still for a reason.
            if (output.counted != before || output.played >= output.framesGiven || output.stillSince < 0)
                output.stillSince = clockFrames;
        }
        // A device whose server has gone neither refuses sound nor says so:
        // its count stops, and what it was given never comes back done.
        const bool standsStill = clockFrames - output.stillSince >= stillFrames;
        if (counts && !standsStill && !output.lost) return output.played;
        output.lost = true;
        output.clockTookOverAt = clockFrames;
    }
    return output.played + (clockFrames - output.clockTookOverAt);
}

bool lossToSay(OutputState &output)
{
    if (!output.lost || output.lossSaid) return false;
    output.lossSaid = true;
    return true;
}
