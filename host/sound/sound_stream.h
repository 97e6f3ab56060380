// The sound a run plays: a sound file (or the built-in program) decoded
// while it plays, on a decoder thread of its own that keeps a bounded ring
// a few seconds ahead of the play position, and the play position itself,
// from the sound device when there is one and from the clock when there is
// none. The vis thread reads the ring without waiting; the decoder thread
// also hands the ring's chunks to the sound device as it fills them.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <string>
#include <vector>

#include "sound/sound_output.h"
#include "sound/stream_ring.h"

// What to play: a file by its path, or the built-in program.
struct SoundEntry {
    std::wstring path;  // empty: the built-in program
    std::string name;   // as the user gave it, for messages
};

// How the play position moves.
enum class PlayClock {
    device,  // the sound device's position, or the clock when no device takes the sound
    clock,   // the clock alone (--mute)
    steady,  // each frame moves it by the module's delay (--steady)
};

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
    int sampleRate = 0, channels = 0, bitsPerSample = 0;
    std::string note;   // the file plays, but the user should know this (a file cut short)
    std::string error;  // why it failed, naming the file
    std::atomic<StreamState> state{StreamState::opening};
    std::vector<unsigned char> ringBytes;
    StreamRing ring = {};
    long long keepBehind = 0;

    // The device, shared by the decoder, which hands it chunks, and the vis
    // thread, which opens it and reads its position.
    CRITICAL_SECTION deviceLock;
    bool lockMade = false;
    HWAVEOUT device = nullptr;
    WAVEHDR chunkHeaders[streamChunks] = {};
    OutputState output;

    PlayClock clock = PlayClock::clock;
    LARGE_INTEGER clockStart = {}, clockFrequency = {};
    long long steadyMilliseconds = 0;
};

// Starts the decoder of entry. Returns false with error set when no thread
// could be started.
bool startStream(SoundStream &stream, const SoundEntry &entry, std::string &error);

// Waits until the stream can start playing: its format known and its
// first chunk decoded, or its end reached. Returns false with error set
// when the file cannot be played (stream.error stays the decoder's own).
bool waitUntilReady(SoundStream &stream, std::string &error);

// Starts the play position, and the device for PlayClock::device. Returns a
// note for the user when it fell back to the clock although sound was
// wanted, else empty.
std::string startPlayback(SoundStream &stream, PlayClock clock);

// Frames played since the start; keeps counting past the end of the file.
long long playPosition(SoundStream &stream);

// The note, once, that the sound device was lost part way through and the
// clock paces the rest; else empty.
std::string deviceLossNote(SoundStream &stream);

// For PlayClock::steady: a frame moves the position on.
void advanceSteadyClock(SoundStream &stream, int milliseconds);

// Fills waveform for the newest frame frameEnd, as the vis sees it at
// playPosition position. Never waits, unless the clock is steady: a steady
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
