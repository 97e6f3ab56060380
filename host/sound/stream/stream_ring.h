// The decoded sound of one file on its way from its decoder thread to the
// vis and the sound device: a ring of equal chunks that the decoder fills
// in turn a few seconds ahead of the play position, so that memory does
// not grow with the file's length. The vis reads it without waiting and
// without a lock: the counters say which frames the ring holds intact, and
// a frame it does not hold (the decoder fell behind) is read as silence and
// counted. One thread writes, any number read. Platform-free.
#pragma once

#include <atomic>

#include "sound/stream/sample_window.h"

// 48 chunks of an eighth of a second: six seconds of sound, a second of it
// kept behind the play position for modules that look back, the rest ahead.
constexpr int streamChunks = 48;

struct StreamRing {
    unsigned char *bytes;  // streamChunks x chunkFrames frames, kept by the caller
    long long chunkFrames;
    int channels;        // 1 or 2
    int bytesPerSample;  // 1, 2 or 3
    // Frame f of the file lies at f % (streamChunks x chunkFrames).
    std::atomic<long long> written;  // frames decoded so far
    std::atomic<long long> claimed;  // written plus those being copied in now
    std::atomic<long long> total;    // the file's frames; -1 until the decoder has come to its end
    std::atomic<long long> keepFrom; // set by the vis: the oldest frame it may still read
};

// An eighth of a second, and never fewer frames than a few vis frames take.
long long streamChunkFrames(int sampleRate);

// How far behind the play position the ring keeps frames: a second, and
// never less than two vis frames.
long long keepBehindFrames(int sampleRate);

// The bytes a ring of chunks of chunkFrames takes.
long long streamRingBytes(long long chunkFrames, int channels, int bytesPerSample);

// Makes an empty ring over bytes, which must hold streamRingBytes.
void makeStreamRing(StreamRing &ring, unsigned char *bytes, long long chunkFrames, int channels, int bytesPerSample);

// Where the frames the decoder may write end while the vis may still read
// from keepFrom on: whole chunks, none of them over a frame at or after
// keepFrom.
long long writableEnd(const StreamRing &ring, long long keepFrom);

// The vis, after its reads: frames before frame may be written over.
void keepFramesFrom(StreamRing &ring, long long frame);

// The decoder: where it may write up to now, as writableEnd for what the
// vis keeps.
long long writableEndNow(const StreamRing &ring);

// Copies up to count frames in at the written end, but none at or past
// limit. Returns how many it copied.
long long putFrames(StreamRing &ring, const unsigned char *frames, long long count, long long limit);

// Marks the file's end at the frames written so far.
void endStream(StreamRing &ring);

// Whether everything of the file has been played at position: its end is
// known and position has reached it.
bool ringPlayedOut(const StreamRing &ring, long long position);

// Fills both rows of waveform with the waveformLength frames before
// frameEnd, oldest first (a mono ring fills both alike): frames before the
// start or past the file's end are silence. Frames of the file the ring
// does not hold intact (not decoded yet, or written over) are silence
// too, and counted in missing.
struct StreamRead {
    int channels;  // what the vis gets as channelCount
    int missing;
};
StreamRead readStream(const StreamRing &ring, long long frameEnd, signed char waveform[waveformRows][waveformLength]);

// Whether every frame readStream would take for frameEnd is decoded, or
// will never be: past the file's end, or beyond what the decoder may write
// while the vis keeps what it keeps now.
bool streamHasFrames(const StreamRing &ring, long long frameEnd);
