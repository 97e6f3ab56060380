// The sound the vis draws: the samples (a sound file or the built-in
// program) and the play position, from a sound device when there is one
// and from the clock when there is none.
#pragma once

#include <string>
#include <vector>

#include "sound/sample_window.h"

struct SoundSource {
    std::vector<unsigned char> bytes;
    PcmBlock block;
    int sampleRate;
    int bitsPerSample;
};

// Reads a whole sound file into source: a WAV file as it is, any other
// kind decoded by the system. A file cut short gives what it has. Returns
// false with error set, one line for the user, when it gives nothing.
bool loadSoundFile(const std::string &path, SoundSource &source, std::string &error);

// Reads a WAV file with the multimedia file functions. A file that is not
// a WAV file at all is left to the decoders; one that is but cannot be
// played is refused with error set.
enum class WavFileRead { loaded, notWav, refused };
WavFileRead loadWavFile(const std::string &path, SoundSource &source, std::string &error);

// The built-in program, looping.
void makeDemoSource(SoundSource &source);

// Starts playing: through the wave device unless mute is set or no device
// takes the format, else paced by the clock. Returns a note for the user
// when it fell back to the clock although sound was wanted, else empty.
std::string startPlayback(const SoundSource &source, bool mute);

// Frames played since the start; keeps counting past the end of a file.
long long playPosition();

// Makes the play position count the frames shown instead of the clock:
// from then on it moves only when a frame moves it by its delay. Frames
// then show the same moments of the sound however slow the machine is.
void useSteadyClock();
void advanceSteadyClock(int milliseconds);

void stopPlayback();
