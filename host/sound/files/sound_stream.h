// One entry of the play queue decoded while it plays: its decoder thread,
// which keeps a bounded ring a few seconds ahead of the play position and
// hands the ring's chunks to the sound device as it fills them, and what
// the vis thread asks of it: the play position and each frame's samples.
// The vis reads the ring without waiting.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "sound/device/play_clock.h"
#include "sound/device/sound_device.h"
#include "sound/files/decode_target.h"
#include "sound/stream/stream_ring.h"

enum class StreamState { opening, playing, ended, failed };

struct SoundStream {
    SoundStream() = default;
    // Holds the ring the decoder writes into and the buffers the device reads.
    SoundStream(const SoundStream &) = delete;
    SoundStream &operator=(const SoundStream &) = delete;

    SoundEntry entry;
    HANDLE thread = nullptr;
    HANDLE stopping = nullptr;  // set: the decoder ends at once
    HANDLE progress = nullptr;  // set by the decoder after each step: the format known, frames written, the end
    // Set by the decoder before it publishes state.
    int sampleRate = 0;
    std::string note;   // the file plays, but the user should know this (a file cut short)
    std::string error;  // why it failed, naming the file
    std::atomic<StreamState> state{StreamState::opening};
    std::vector<unsigned char> ringBytes;
    StreamRing ring = {};
    long long keepBehind = 0;

    SoundDevice device;
    PlayClock clock;
};

// Starts the decoder of entry. Returns false with error set when no thread
// could be started.
bool startStream(SoundStream &stream, const SoundEntry &entry, std::string &error);

// Waits until the stream can start playing: its format known and its
// first chunk decoded, or its end reached. Returns false with error set
// when the file cannot be played (stream.error stays the decoder's own).
bool waitUntilReady(SoundStream &stream, std::string &error);

// Starts the play position, and the device for Pacing::device. Returns a
// note for the user when it fell back to the clock although sound was
// wanted, else empty.
std::string startPlayback(SoundStream &stream, Pacing pacing);

// Frames played since the start; keeps counting past the end of the file.
long long streamPosition(SoundStream &stream);

// Fills waveform for the newest frame frameEnd, as the vis sees it at
// playPosition position. Never waits, unless the pacing is steady: a steady
// run waits for the decoder, since its frames must not depend on the
// machine's speed. Returns the channel count and the samples the decoder
// had not decoded in time; a channel count of -1 when a wait failed, with
// error set.
StreamRead readFrame(SoundStream &stream, long long position, long long frameEnd,
                     signed char waveform[waveformRows][waveformLength], std::string &error);

// Whether the decoder has come to the file's end (or failed), so that the
// next file may start decoding.
bool decoderFinished(const SoundStream &stream);

// Whether everything decoded has been played at position.
bool playedToEnd(const SoundStream &stream, long long position);

// Ends the decoder and the device and gives back the ring. Returns false
// with error set when a wait failed.
bool stopStream(SoundStream &stream, std::string &error);
