// Sound read from a pipe, as the launcher hands it over: raw frames of
// 16-bit little-endian stereo at 44.1 kHz, as a Linux recorder writes
// them. The launcher restarts its recorder when the desktop's output
// changes or its sound server comes back, and a recorder stopped part way
// through a frame would leave every later frame out of step; so before
// each new recording the launcher writes pipeStreamMark, after which the
// frames start again on a frame's first byte. Platform-free.
#pragma once

#include "sound/live/live_input.h"

constexpr char pipeStreamMark[] = "VLVIS-NEW-STREAM";
constexpr int pipeStreamMarkLength = sizeof pipeStreamMark - 1;
constexpr int pipeChannels = 2;
constexpr int pipeBytesPerSample = 2;
constexpr int pipeFrameBytes = pipeChannels * pipeBytesPerSample;

// The bytes held back from one read to the next: a frame's first bytes, or
// what may be the first bytes of a mark.
struct PipeFraming {
    unsigned char held[pipeStreamMarkLength + pipeFrameBytes];
    int heldCount;
};

void makePipeFraming(PipeFraming &framing);

// What one read brought.
struct PipeTake {
    long long frames;  // whole frames appended to the ring
    bool sounding;     // some frame is not silence as the vis sees it
    int marks;         // new recordings begun
};

// Appends the whole frames among the bytes just read to ring, which must
// hold frames of pipeChannels and pipeBytesPerSample; drops each mark and
// the part of a frame before it. count may be anything up to pipeReadBytes.
constexpr int pipeReadBytes = 16384;
PipeTake takePipeBytes(PipeFraming &framing, const unsigned char *bytes, int count, InputRing &ring);
