// The sound the vis draws: the samples (a WAV file or the built-in
// program) and the play position, from a sound device when there is one
// and from the clock when there is none.
#pragma once

#include <string>
#include <vector>

#include "sample_window.h"

struct SoundSource {
    std::vector<unsigned char> bytes;
    PcmBlock block;
    int sampleRate;
    int bitsPerSample;
};

// Reads a PCM WAV file with the multimedia file functions. Returns false
// with error set when the file cannot be read or is not one the host plays.
bool loadWavFile(const std::string &path, SoundSource &source, std::string &error);

// The built-in program, looping.
void makeDemoSource(SoundSource &source);

// Starts playing: through the wave device unless mute is set or no device
// takes the format, else paced by the clock. Returns a note for the user
// when it fell back to the clock although sound was wanted, else empty.
std::string startPlayback(const SoundSource &source, bool mute);

// Frames played since the start; keeps counting past the end of a file.
long long playPosition();

void stopPlayback();
