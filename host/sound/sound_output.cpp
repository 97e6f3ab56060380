#include "sound/sound_output.h"

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
    if (output.failed) return true;
    const long long written = ring.written.load(std::memory_order_acquire);
    const long long frameBytes = ring.channels * ring.bytesPerSample;
    const long long chunkBytes = ring.chunkFrames * frameBytes;
    for (const long long ready = readyChunks(ring, written); output.chunksGiven < ready; ++output.chunksGiven) {
        const long long chunk = output.chunksGiven;
        const long long frames = written - chunk * ring.chunkFrames;
        const int slot = static_cast<int>(chunk % streamChunks);
        const long long bytes = (frames < ring.chunkFrames ? frames : ring.chunkFrames) * frameBytes;
        if (!device.play(device.context, slot, ring.bytes + slot * chunkBytes, bytes)) {
            output.failed = true;
            return false;
        }
    }
    return true;
}

bool slotFree(const OutputState &output, const OutputDevice &device, long long chunk)
{
    const long long previous = chunk - streamChunks;
    if (output.failed || previous < 0 || previous >= output.chunksGiven) return true;
    return device.slotDone(device.context, static_cast<int>(chunk % streamChunks));
}

long long framesPlayed(OutputState &output, const OutputDevice &device, int frameBytes)
{
    DeviceCount count = {};
    if (output.failed || !device.playedCount(device.context, count)) return -1;
    output.counted += static_cast<std::uint32_t>(count.value - static_cast<std::uint32_t>(output.counted));
    return count.inBytes ? output.counted / frameBytes : output.counted;
}
