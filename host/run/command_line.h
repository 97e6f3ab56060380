// The host's command line. Platform-free.
#pragma once

#include <string>
#include <vector>

struct HostOptions {
    std::string pluginPath;       // empty: vlvis003.dll beside the host
    std::vector<int> modules{0};  // run in turn on the one vis thread
    // Played in turn, a playlist's entries in its place; none: the built-in
    // program (or live input).
    std::vector<std::string> soundFiles;
    std::string captureFolder;    // empty: no capture
    double seconds = 0.0;         // per module; 0: until the user or the file ends it
    bool input = false;           // visualise a recording device instead of playing
    std::string inputName;        // part of the device's name; empty: the default device
    bool stdinInput = false;      // live input: the sound comes on standard input
    bool list = false;
    bool listInputs = false;
    bool about = false;
    bool stats = false;
    bool mute = false;    // pace by the clock even when a sound device exists
    bool steady = false;  // each frame moves the sound on by the module's delay; implies mute
    bool renderSilence = false;  // render every frame, even when silence has paused render
    bool help = false;
};

// Fills options from argv[1..argc-1]. Returns true when the line is sound;
// otherwise error says why, for the user.
bool parseCommandLine(int argc, const char *const *argv, HostOptions &options, std::string &error);

extern const char *const hostUsage;
