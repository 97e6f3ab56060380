#include "sound/stream/stream_ring.h"

#include <cstring>

namespace {

long long floorDivide(long long value, long long by)
{
    const long long quotient = value / by;
    return quotient * by > value ? quotient - 1 : quotient;
}

long long ringFrames(const StreamRing &ring)
{
    return streamChunks * ring.chunkFrames;
}

}  // namespace

long long streamChunkFrames(int sampleRate)
{
    const long long eighth = sampleRate / 8;
    return eighth > 1024 ? eighth : 1024;
}

long long keepBehindFrames(int sampleRate)
{
    return sampleRate > 2 * waveformLength ? sampleRate : 2 * waveformLength;
}

long long streamRingBytes(long long chunkFrames, int channels, int bytesPerSample)
{
    return streamChunks * chunkFrames * channels * bytesPerSample;
}

void makeStreamRing(StreamRing &ring, unsigned char *bytes, long long chunkFrames, int channels, int bytesPerSample)
{
    ring.bytes = bytes;
    ring.chunkFrames = chunkFrames;
    ring.channels = channels;
    ring.bytesPerSample = bytesPerSample;
    ring.written = 0;
    ring.claimed = 0;
    ring.total = -1;
    ring.keepFrom = 0;
}

long long writableEnd(const StreamRing &ring, long long keepFrom)
{
    // Chunk n may be filled once the chunk it writes over, n - streamChunks,
    // ends at or before keepFrom.
    return (floorDivide(keepFrom, ring.chunkFrames) + streamChunks) * ring.chunkFrames;
}

// Where the vis and the decoder meet: the vis's reads of a frame come
// before the decoder's writing over it.
void keepFramesFrom(StreamRing &ring, long long frame)
{
    ring.keepFrom.store(frame, std::memory_order_release);
}

long long writableEndNow(const StreamRing &ring)
{
    return writableEnd(ring, ring.keepFrom.load(std::memory_order_acquire));
}

long long putFrames(StreamRing &ring, const unsigned char *frames, long long count, long long limit)
{
    const long long start = ring.written.load(std::memory_order_relaxed);
    if (count > limit - start) count = limit - start;
    if (count <= 0) return 0;
    // Readers that may have read the frames written over learn of it from
    // claimed, which they read after their copies.
    ring.claimed.store(start + count, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    const long long capacity = ringFrames(ring);
    const long long frameBytes = ring.channels * ring.bytesPerSample;
    long long done = 0;
    while (done < count) {
        const long long at = (start + done) % capacity;
        const long long run = count - done < capacity - at ? count - done : capacity - at;
        std::memcpy(ring.bytes + at * frameBytes, frames + done * frameBytes, static_cast<size_t>(run * frameBytes));
        done += run;
    }
    ring.written.store(start + count, std::memory_order_release);
    return count;
}

void endStream(StreamRing &ring)
{
    ring.total.store(ring.written.load(std::memory_order_relaxed), std::memory_order_release);
}

bool ringPlayedOut(const StreamRing &ring, long long position)
{
    const long long total = ring.total.load(std::memory_order_acquire);
    return total >= 0 && position >= total;
}

StreamRead readStream(const StreamRing &ring, long long frameEnd, signed char waveform[waveformRows][waveformLength])
{
    const long long written = ring.written.load(std::memory_order_acquire);
    const long long capacity = ringFrames(ring);
    const int frameBytes = ring.channels * ring.bytesPerSample;
    const long long first = frameEnd - waveformLength;
    for (int i = 0; i < waveformLength; ++i) {
        const long long frame = first + i;
        if (frame < 0 || frame >= written) continue;
        const unsigned char *sample = ring.bytes + frame % capacity * frameBytes;
        const int width = ring.bytesPerSample;
        waveform[0][i] = mostSignificantByte(sample, width);
        waveform[1][i] = ring.channels == 2 ? mostSignificantByte(sample + width, width) : waveform[0][i];
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    const long long oldestIntact = ring.claimed.load(std::memory_order_relaxed) - capacity;
    const long long total = ring.total.load(std::memory_order_acquire);
    StreamRead read = {ring.channels, 0};
    for (int i = 0; i < waveformLength; ++i) {
        const long long frame = first + i;
        const bool inFile = frame >= 0 && (total < 0 || frame < total);
        if (inFile && frame < written && frame >= oldestIntact) continue;
        waveform[0][i] = 0;
        waveform[1][i] = 0;
        read.missing += inFile;
    }
    return read;
}

bool streamHasFrames(const StreamRing &ring, long long frameEnd)
{
    const long long total = ring.total.load(std::memory_order_acquire);
    const long long end = total >= 0 && frameEnd > total ? total : frameEnd;
    return end <= ring.written.load(std::memory_order_acquire) ||
           end > writableEnd(ring, ring.keepFrom.load(std::memory_order_relaxed));
}
