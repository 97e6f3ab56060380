// The samples the vis gets: the most significant byte of each, the newest
// frames of a ring of sound, and the play clock's frames. Platform-free.
#pragma once

constexpr int waveformLength = 576;  // samples per channel the vis gets each frame
constexpr int waveformRows = 2;

// A ring of interleaved PCM frames, frame f at f % frameCount: 1 or 2
// channels of unsigned 8-bit or signed little-endian 16- or 24-bit samples.
struct PcmBlock {
    const unsigned char *bytes;
    long long frameCount;
    int channels;        // 1 or 2
    int bytesPerSample;  // 1, 2 or 3
};

// The most significant byte of one sample, read as signed: what the vis
// sees of a sample whatever its width. 8-bit samples are unsigned with
// silence at 128, so theirs is shifted to be signed like the others.
signed char mostSignificantByte(const unsigned char *sample, int bytesPerSample);

// Frames played after ticks of a clock that runs at ticksPerSecond, without
// overflow for any run shorter than centuries.
long long framesInTicks(long long ticks, long long ticksPerSecond, int sampleRate);

// The frame just past the newest one the vis should see: the play position
// plus the module's latency, which is how far ahead of the speakers it draws.
long long newestFrameEnd(long long playPosition, int latencyMs, int sampleRate);

// Fills both rows of waveform with the waveformLength frames before
// frameEnd, oldest first, frame f at f % frameCount of the ring; frames
// before the first are silence. A mono block fills both rows alike, for
// modules that always read both. Returns the block's channel count, which
// is what the vis gets as channelCount.
int fillWaveform(const PcmBlock &block, long long frameEnd, signed char waveform[waveformRows][waveformLength]);
