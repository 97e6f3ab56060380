// Where things lie in a RIFF WAVE file: its format and its sound, found by
// walking its top-level chunks through reads the caller supplies, so that
// the walk is the same for a file on disk and bytes in memory.
// Platform-free.
#pragma once

#include "sound/files/pcm_format.h"

// The file as the walk sees it: its real size, and reads at an offset.
struct ByteSource {
    void *context;
    long long size;
    // Reads up to count bytes at offset; how many came, or -1 on a failure.
    long long (*readAt)(void *context, long long offset, void *bytes, int count);
};

// How far the walk got: not a RIFF WAVE file at all; a WAV file without a
// format chunk, or with one under 16 bytes; one whose format this player
// leaves to the system's decoders; one without a data chunk; or one laid
// out to be read.
enum class WavLayoutStatus { notWav, noFormatChunk, formatTooShort, formatNotHandled, noDataChunk, found };

struct WavLayout {
    PcmFormat pcm;               // from formatNotHandled on
    const char *formatProblem;   // for formatNotHandled: pcmFormatProblem's words
    // For found: where the sound starts, the bytes the data chunk declares
    // (the rest of the file for a placeholder size, 0 or 0xFFFFFFFF), the
    // bytes of it the file holds, and the whole frames of those to read,
    // never more than it declares.
    long long dataOffset;
    long long declaredBytes;
    long long presentBytes;
    long long frames;
    bool placeholderSize;
    bool cutShort;  // the file ends before the sound it declares
};

WavLayoutStatus readWavLayout(const ByteSource &source, WavLayout &layout);
