// The built-in program the host plays when it is given no file: ten seconds
// of stereo that show what a vis can do with silence, quiet and loud
// passages, tones sweeping apart and short bursts. Platform-free.
#pragma once

#include "sound/files/decode_target.h"

constexpr int demoSampleRate = 44100;
constexpr int demoChannels = 2;
constexpr int demoBytesPerSample = 2;

struct DemoSection {
    const char *name;
    double start, end;  // seconds
};

// In playing order; each begins where the one before ends.
constexpr DemoSection demoSections[] = {
    {"silence", 0.0, 0.5},
    {"quiet", 0.5, 2.0},
    {"loud", 2.0, 3.5},
    {"sweeps", 3.5, 7.0},  // a tone rising on the left, one falling on the right
    {"bursts", 7.0, 9.5},  // short decaying bursts, left and right in turn
    {"silence", 9.5, 10.0},
};

constexpr long long demoFrameCount = 10 * demoSampleRate;

// Writes the whole program as 16-bit little-endian stereo frames into bytes,
// which must hold demoFrameCount x 4 bytes.
void writeDemoProgram(unsigned char *bytes);

// Decodes the program, again and again until the target says stop.
// Returns whether it stopped without a failure (target.error says it).
bool decodeDemoProgram(const SoundEntry &entry, DecodeTarget &target);
