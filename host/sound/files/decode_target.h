// What a decoder is given and where it puts what it decodes. A decoder
// knows nothing of the thread that runs it or of the ring behind the
// target: it announces the format, hands over frames until the end or
// until the target says stop, and says what went wrong. Platform-free.
#pragma once

#include <string>

#include "sound/files/pcm_format.h"

// What to play: a file by its path, or the built-in program.
struct SoundEntry {
    std::wstring path;  // empty: the built-in program
    std::string name;   // as the user gave it, for messages
};

// 'name': what messages say of an entry.
std::string quotedName(const SoundEntry &entry);

struct DecodeTarget {
    void *context;
    // Makes room for sound of this format; false with why set when there is none.
    bool (*format)(void *context, int sampleRate, int channels, int bitsPerSample, std::string &why);
    // Takes frames of that format; false when decoding is to stop: why is
    // empty when the run is ending, else says what failed.
    bool (*frames)(void *context, const unsigned char *frames, long long count, std::string &why);
    // Set by the decoder: why the entry cannot be played, naming it; and
    // what the user should know of one that plays (a file cut short).
    std::string error, note;
    long long framesGiven = 0;
};

// Announces what the ring keeps of pcm. False with error set, naming the entry.
bool announceFormat(DecodeTarget &target, const SoundEntry &entry, const PcmFormat &pcm);

// Makes frames of pcm into the ring's format in place and hands them over.
// False when decoding is to stop, with error saying why, not naming the
// entry, or empty when the run is ending.
bool giveFrames(DecodeTarget &target, unsigned char *bytes, long long frames, const PcmFormat &pcm);
