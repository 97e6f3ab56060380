// Live input's platform-free parts: the ring the recorded sound runs
// through on its way to the vis, and picking a recording device by name.
#pragma once

#include <string>
#include <vector>

#include "sound/sample_window.h"

// The newest recorded frames, oldest overwritten first. Read through
// block, which loops over the ring: with fillWaveform and the count of
// frames written as the end, the vis gets the newest frames in order.
struct InputRing {
    std::vector<unsigned char> bytes;
    PcmBlock block;
    long long framesWritten;
};

void makeInputRing(InputRing &ring, long long frames, int channels, int bytesPerSample);

// Appends whole frames, wrapping at the ring's end.
void appendToRing(InputRing &ring, const unsigned char *frames, long long count);

// The recording device a user means by name: the one named so exactly
// (ignoring case), else the only one whose name contains it. The platform
// gives at most deviceNameLimit characters of a name, so a longer name
// given in full is matched on that many. Returns the index in names, or -1
// with error set (no device, or several that contain it).
constexpr size_t deviceNameLimit = 31;
int pickInputDevice(const std::vector<std::string> &names, const std::string &wanted, std::string &error);
